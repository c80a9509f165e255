// The remote link's thread pool: how many workers it makes, the order tasks
// run in, hand-offs that must never be lost, and stopping.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/net/ThreadPool.h"

namespace {

// Tasks that hold their worker until the gate opens.
class Gate {
 public:
  CThreadPool::Task Blocker() {
    return [this] {
      std::unique_lock lock(mutex_);
      ++inside_;
      changed_.notify_all();
      changed_.wait(lock, [&] { return open_; });
    };
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  bool WaitInside(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return inside_ >= count; });
  }
  int Inside() {
    std::lock_guard lock(mutex_);
    return inside_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int inside_ = 0;
  bool open_ = false;
};

TEST(ThreadPool, GrowsOnDemandUpToTenWorkers) {
  struct Case {
    int tasks;
    int workers;
    int running;
  } cases[] = {{3, 4, 3}, {5, 5, 5}, {10, 10, 10}, {11, 10, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tasks);
    Gate gate;
    CThreadPool pool;
    for (int i = 0; i < c.tasks; ++i) pool.AddTask(gate.Blocker());
    ASSERT_TRUE(gate.WaitInside(c.running));
    EXPECT_EQ(c.workers, pool.WorkerCount());
    EXPECT_EQ(c.running, pool.BusyCount());
    EXPECT_EQ(static_cast<size_t>(c.tasks - c.running), pool.WaitingTasks());
    gate.Open();
  }
}

TEST(ThreadPool, AWaitingTaskRunsWhenAWorkerFreesUp) {
  Gate gate;
  CThreadPool pool;
  for (int i = 0; i < CThreadPool::kMaxThreads; ++i) pool.AddTask(gate.Blocker());
  ASSERT_TRUE(gate.WaitInside(CThreadPool::kMaxThreads));
  std::atomic<bool> ran{false};
  std::mutex mutex;
  std::condition_variable done;
  pool.AddTask([&] {
    std::lock_guard lock(mutex);
    ran = true;
    done.notify_all();
  });
  EXPECT_EQ(1u, pool.WaitingTasks());
  EXPECT_FALSE(ran.load());
  gate.Open();
  std::unique_lock lock(mutex);
  EXPECT_TRUE(done.wait_for(lock, std::chrono::seconds(10), [&] { return ran.load(); }));
}

TEST(ThreadPool, MoreThan300WaitingTasksBringAnEleventhWorker) {
  Gate gate;
  CThreadPool pool;
  for (int i = 0; i < CThreadPool::kMaxThreads; ++i) pool.AddTask(gate.Blocker());
  ASSERT_TRUE(gate.WaitInside(CThreadPool::kMaxThreads));
  for (size_t i = 0; i < CThreadPool::kBacklogForExtraWorker; ++i) pool.AddTask(gate.Blocker());
  EXPECT_EQ(CThreadPool::kMaxThreads, pool.WorkerCount());
  EXPECT_EQ(CThreadPool::kBacklogForExtraWorker, pool.WaitingTasks());

  pool.AddTask(gate.Blocker());  // the 301st waiting task
  EXPECT_EQ(CThreadPool::kMaxThreads + 1, pool.WorkerCount());
  EXPECT_EQ(CThreadPool::kMaxThreads + 1, pool.MaxThreads());
  EXPECT_EQ(CThreadPool::kBacklogForExtraWorker, pool.WaitingTasks());
  gate.Open();
}

TEST(ThreadPool, WaitingTasksRunOldestFirst) {
  // Nine workers stay blocked; the tenth, once free, takes every waiting
  // task itself, one after the other.
  Gate held;
  Gate freed;
  CThreadPool pool;
  for (int i = 0; i < CThreadPool::kMaxThreads - 1; ++i) pool.AddTask(held.Blocker());
  pool.AddTask(freed.Blocker());
  ASSERT_TRUE(held.WaitInside(CThreadPool::kMaxThreads - 1));
  ASSERT_TRUE(freed.WaitInside(1));
  std::mutex mutex;
  std::vector<int> order;
  std::condition_variable done;
  for (int i = 0; i < 50; ++i) {
    pool.AddTask([&, i] {
      std::lock_guard lock(mutex);
      order.push_back(i);
      done.notify_all();
    });
  }
  freed.Open();
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(10), [&] { return order.size() == 50; }));
  }
  for (int i = 0; i < 50; ++i) EXPECT_EQ(i, order[static_cast<size_t>(i)]);
  held.Open();
}

TEST(ThreadPool, ManyTinyTasksFromSeveralThreadsEachRunOnce) {
  constexpr int kProducers = 4;
  constexpr int kPerProducer = 25000;
  std::vector<std::atomic<int>> runs(kProducers * kPerProducer);
  std::atomic<int> total{0};
  {
    CThreadPool pool;
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
      producers.emplace_back([&, p] {
        for (int i = 0; i < kPerProducer; ++i) {
          pool.AddTask([&, slot = p * kPerProducer + i] {
            runs[slot].fetch_add(1);
            total.fetch_add(1);
          });
        }
      });
    }
    for (auto& t : producers) t.join();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (total.load() < kProducers * kPerProducer &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
    }
  }
  ASSERT_EQ(kProducers * kPerProducer, total.load());
  for (const auto& r : runs) ASSERT_EQ(1, r.load());
}

TEST(ThreadPool, StoppingEndsIdleWorkersAndWaitsForRunningTasks) {
  // Idle workers only.
  { CThreadPool pool; }

  // A running task finishes before the destructor returns.
  Gate gate;
  std::atomic<bool> finished{false};
  std::thread opener;
  {
    CThreadPool pool;
    for (int i = 0; i < CThreadPool::kMaxThreads - 1; ++i) pool.AddTask(gate.Blocker());
    pool.AddTask([&] {
      gate.Blocker()();
      finished = true;
    });
    ASSERT_TRUE(gate.WaitInside(CThreadPool::kMaxThreads));
    opener = std::thread([&] { gate.Open(); });
  }
  opener.join();
  EXPECT_TRUE(finished.load());
}

}  // namespace
