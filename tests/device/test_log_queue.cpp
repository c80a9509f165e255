#include "device/LogQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(LogQueueTest, WakesOncePerBatchAndHandsLinesOverInOrder) {
  LogQueue queue;
  EXPECT_TRUE(queue.Push("a", LOG_BUSY));
  EXPECT_FALSE(queue.Push("b", LOG_OK));  // the first wake-up covers it
  EXPECT_EQ(queue.Size(), 2u);

  std::deque<LogLine> lines = queue.TakeAll().lines;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "a");
  EXPECT_EQ(lines[0].level, LOG_BUSY);
  EXPECT_EQ(lines[1].text, "b");
  EXPECT_EQ(lines[1].level, LOG_OK);
  EXPECT_EQ(queue.Size(), 0u);

  EXPECT_TRUE(queue.TakeAll().lines.empty());
  EXPECT_TRUE(queue.Push("c", static_cast<LogLevel>(9)));  // a new batch needs a new wake-up
  EXPECT_EQ(queue.TakeAll().lines.front().level, 9);
}

// A clear drops the lines queued before it, keeps the ones after it and
// reaches the consumer once, whether or not a wake-up is already pending.
TEST(LogQueueTest, ClearDropsEarlierLinesAndReachesTheConsumerOnce) {
  struct Case {
    const char* name;
    std::vector<std::string> before;  // "" stands for a clear
    std::vector<std::string> kept;
  } cases[] = {
      {"alone", {""}, {}},
      {"after lines", {"a", "b", ""}, {}},
      {"between lines", {"a", "", "b"}, {"b"}},
      {"twice", {"a", "", "b", "", "c"}, {"c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogQueue queue;
    int wakeups = 0;
    for (const std::string& item : c.before) {
      wakeups += item.empty() ? queue.Clear() : queue.Push(item, LOG_INFO);
    }
    EXPECT_EQ(wakeups, 1);
    EXPECT_EQ(queue.Size(), c.kept.size());
    LogBatch batch = queue.TakeAll();
    EXPECT_TRUE(batch.cleared);
    std::vector<std::string> texts;
    for (const LogLine& line : batch.lines) texts.push_back(line.text);
    EXPECT_EQ(texts, c.kept);
    EXPECT_FALSE(queue.TakeAll().cleared) << "one clear is taken once";
  }
}

// A full queue keeps the newest lines: a worker logging faster than the pane
// draws must not grow it without end, and the pane would drop the oldest anyway.
TEST(LogQueueTest, AFullQueueKeepsTheNewestLines) {
  struct Case {
    const char* name;
    std::size_t capacity;
    std::vector<std::string> pushed;  // "" stands for a clear
    std::vector<std::string> kept;
  } cases[] = {
      {"under the bound", 3, {"a", "b"}, {"a", "b"}},
      {"at the bound", 3, {"a", "b", "c"}, {"a", "b", "c"}},
      {"over the bound", 3, {"a", "b", "c", "d", "e"}, {"c", "d", "e"}},
      {"a clear makes room", 2, {"a", "b", "", "c"}, {"c"}},
      {"a zero bound keeps one", 0, {"a", "b"}, {"b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogQueue queue(c.capacity);
    int wakeups = 0;
    for (const std::string& item : c.pushed) {
      wakeups += item.empty() ? queue.Clear() : queue.Push(item, LOG_INFO);
    }
    EXPECT_EQ(wakeups, 1) << "dropping an old line asks for no wake-up of its own";
    std::vector<std::string> texts;
    for (const LogLine& line : queue.TakeAll().lines) texts.push_back(line.text);
    EXPECT_EQ(texts, c.kept);
  }
}

// Four producers and a consumer that takes a batch whenever it is woken, as the
// UI thread does: nothing is lost, lines stay whole, each thread's order holds,
// and a line pushed after a TakeAll always asks for a wake-up of its own.
TEST(LogQueueTest, FourThreadsLoseNothingAndKeepTheirOrder) {
  constexpr int kThreads = 4;
  constexpr int kLinesPerThread = 2000;
  LogQueue queue;
  std::atomic<int> wakeups{0};
  std::atomic<int> finished{0};

  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&, t] {
      for (int n = 0; n < kLinesPerThread; ++n) {
        const std::string text = "thread " + std::to_string(t) + " line " + std::to_string(n);
        if (queue.Push(text, static_cast<LogLevel>(t))) {
          wakeups.fetch_add(1);
        }
      }
      finished.fetch_add(1);
    });
  }

  std::vector<int> next(kThreads, 0);
  int received = 0;
  int consumedWakeups = 0;
  while (received < kThreads * kLinesPerThread) {
    if (wakeups.load() == consumedWakeups) {
      // All producers done and no wake-up left to serve: whatever is missing was lost.
      if (finished.load() == kThreads && wakeups.load() == consumedWakeups) {
        break;
      }
      std::this_thread::yield();
      continue;
    }
    ++consumedWakeups;
    for (const LogLine& line : queue.TakeAll().lines) {
      const int t = line.level;
      if (t < 0 || t >= kThreads) {  // no ASSERT here: the producers must still be joined
        ADD_FAILURE() << "unexpected level " << t;
        continue;
      }
      EXPECT_EQ(line.text, "thread " + std::to_string(t) + " line " + std::to_string(next[t]));
      ++next[t];
      ++received;
    }
  }
  for (auto& p : producers) {
    p.join();
  }
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_EQ(received, kThreads * kLinesPerThread);
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(next[t], kLinesPerThread) << "thread " << t;
  }
}

}  // namespace
