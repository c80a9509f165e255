// The request record and the dispatcher, on a fake link: completion rules,
// ordering, ownership and shutdown.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/device/FakeLink.h"
#include "device/link/HidRequest.h"
#include "device/link/RequestQueue.h"

namespace {

using std::chrono::milliseconds;

// Generous bound for waits on the real dispatcher thread.
constexpr uint32_t kThreadWaitMs = 10000;

std::shared_ptr<CHidRequest> Read(uint8_t* buffer, uint32_t length, uint32_t tag = 0,
                                  CHidRequest::Callback cb = nullptr) {
  auto r =
      CHidRequest::Make(HidOpRead, 0x8140, buffer, length, BridgeCmdRegister, 100, std::move(cb));
  r->tag = tag;
  return r;
}

TEST(HidRequest, HeaderCarriesOpCommandAddressAndLengthBigEndian) {
  CHidRequest r(HidOpWrite, 0x8B98, nullptr, 0x1234, BridgeCmdFrameRead, 100);
  EXPECT_EQ((std::array<uint8_t, 6>{0x01, 0x0D, 0x8B, 0x98, 0x12, 0x34}), r.header);
  EXPECT_EQ(0x8B98, r.Address());
  EXPECT_EQ(0u, r.result);
  EXPECT_EQ(0u, r.tag);
  EXPECT_FALSE(r.event.IsSet());
}

// Which requests can be carried at all, and where a bufferless request's bytes go.
TEST(HidRequest, BufferRules) {
  uint8_t big[0x10001] = {};
  struct Case {
    const char* name;
    uint8_t* buffer;
    uint32_t length;
    bool transferable;
    bool usesInline;
  } cases[] = {
      {"no buffer, nothing to carry", nullptr, 0, true, true},
      {"no buffer, one byte", nullptr, 1, true, true},
      {"no buffer, whole inline area", nullptr, CHidRequest::kInlineSize, true, true},
      {"no buffer, beyond the inline area", nullptr, CHidRequest::kInlineSize + 1, false, false},
      {"caller buffer, largest length", big, 0xFFFF, true, false},
      {"caller buffer, length beyond 16 bits", big, 0x10000, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CHidRequest r(HidOpRead, 0, c.buffer, c.length, BridgeCmdRegister, 100);
    EXPECT_EQ(c.transferable, r.IsTransferable());
    EXPECT_EQ(c.usesInline, r.buffer == r.inlineData.data());
  }
}

TEST(HidRequest, DefaultCompletionMarksOnlyFailedReads) {
  struct Case {
    uint32_t op;
    uint32_t result;
    uint8_t expected;
  } cases[] = {
      {HidOpRead, 0, 0xEE}, {HidOpRead, 1, 0x11}, {HidOpWrite, 0, 0x11}, {HidOpOpen, 0, 0x11}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "op " << c.op << " result " << c.result);
    std::array<uint8_t, 5> buf;
    buf.fill(0x11);
    CHidRequest r(c.op, 0, buf.data(), 4, BridgeCmdRegister, 100);
    r.Complete(c.result);
    EXPECT_EQ((std::array<uint8_t, 5>{c.expected, c.expected, c.expected, c.expected, 0x11}), buf);
    EXPECT_TRUE(r.event.IsSet());
  }
}

TEST(HidRequest, CompletionOrderIsResultThenCallbackThenEvent) {
  bool sawResult = false;
  bool sawEventSet = true;
  CHidRequest r(HidOpWrite, 0, nullptr, 0, BridgeCmdRegister, 100, [&](CHidRequest& req) {
    sawResult = req.result == 1;
    sawEventSet = req.event.IsSet();
  });
  r.Complete(1);
  EXPECT_TRUE(sawResult);
  EXPECT_FALSE(sawEventSet);
  EXPECT_TRUE(r.event.IsSet());
}

TEST(RequestQueue, WithoutDispatcherAPushCompletesAtOnceWithZero) {
  ASSERT_FALSE(GetRequestQueue().HasDispatcher());
  int calls = 0;
  uint8_t byte = 0x42;
  auto r = Read(&byte, 1, 0, [&](CHidRequest& req) {
    ++calls;
    DefaultRequestDone(req);
  });
  GetRequestQueue().PushBack(r);
  EXPECT_TRUE(r->event.IsSet());
  EXPECT_EQ(0u, r->result);
  EXPECT_EQ(1, calls);
  EXPECT_EQ(0xEE, byte);
  EXPECT_EQ(0u, GetRequestQueue().Count());
}

TEST(RequestQueue, RequestsThatCannotBeCarriedCompleteWithZeroAndNoTraffic) {
  FakeLink link;
  DispatcherOn dispatcher(link);
  ASSERT_TRUE(dispatcher.Started());
  std::vector<uint8_t> big(0x10000);
  auto noBuffer = Read(nullptr, CHidRequest::kInlineSize + 1);
  auto tooLong = Read(big.data(), 0x10000);
  auto fine = Read(nullptr, CHidRequest::kInlineSize);
  EXPECT_FALSE(PushAndWait(noBuffer));
  EXPECT_FALSE(PushAndWait(tooLong));
  EXPECT_EQ(0u, link.Executed());
  EXPECT_TRUE(PushAndWait(fine));
  EXPECT_EQ(1u, link.Executed());
}

TEST(RequestQueue, EightThreadsKeepTheirOwnOrderAndNothingOverlaps) {
  FakeLink link([](CHidRequest& r) {
    // A little work inside Execute widens the window for overlap.
    volatile uint32_t spin = 0;
    for (int i = 0; i < 50; ++i) spin = spin + r.tag;
    return 1u;
  });
  DispatcherOn dispatcher(link);
  constexpr uint32_t kThreads = 8;
  constexpr uint32_t kPerThread = 1000;
  std::atomic<uint32_t> completed{0};
  std::vector<std::thread> pushers;
  std::vector<std::shared_ptr<CHidRequest>> last(kThreads);
  for (uint32_t t = 0; t < kThreads; ++t) {
    pushers.emplace_back([&, t] {
      for (uint32_t i = 0; i < kPerThread; ++i) {
        auto r = CHidRequest::Make(HidOpWrite, 0, nullptr, 0, BridgeCmdAsyncWrite, 100,
                                   [&](CHidRequest&) { completed.fetch_add(1); });
        r->tag = t << 16 | i;
        if (i == kPerThread - 1) last[t] = r;
        GetRequestQueue().PushBack(r);
      }
    });
  }
  for (auto& p : pushers) p.join();
  for (auto& r : last) ASSERT_TRUE(r->event.Wait(kThreadWaitMs));

  EXPECT_FALSE(link.Overlapped());
  EXPECT_EQ(kThreads * kPerThread, completed.load());
  std::vector<int64_t> next(kThreads, 0);
  for (uint32_t tag : link.Tags()) {
    const uint32_t t = tag >> 16;
    ASSERT_LT(t, kThreads);
    ASSERT_EQ(next[t], static_cast<int64_t>(tag & 0xFFFF)) << "thread " << t;
    ++next[t];
  }
  for (uint32_t t = 0; t < kThreads; ++t) EXPECT_EQ(kPerThread, next[t]);
}

// The dispatcher waiting for the next request and a caller waiting for its
// completion both spin briefly before they sleep. Whatever comes while one
// spins, just as its spin runs out, or while it sleeps must be taken all the
// same, once: gaps between requests and link times range from none to well
// past the spin, on four threads, waited for and not.
TEST(RequestQueue, RequestsArrivingAroundTheWaitersSpinsCompleteExactlyOnce) {
  // A rough pause: each yield gives the CPU away once.
  const auto pause = [](uint32_t yields) {
    for (uint32_t i = 0; i < yields; ++i) std::this_thread::yield();
  };
  FakeLink link([&](CHidRequest& r) {
    pause(r.tag * 7 % 97);
    return 1u;
  });
  DispatcherOn dispatcher(link);
  constexpr uint32_t kThreads = 4;
  constexpr uint32_t kPerThread = 500;
  std::vector<std::atomic<int>> completions(kThreads * kPerThread);
  std::vector<std::shared_ptr<CHidRequest>> requests(kThreads * kPerThread);
  std::atomic<uint32_t> waitsFailed{0};
  std::vector<std::thread> callers;
  for (uint32_t t = 0; t < kThreads; ++t) {
    callers.emplace_back([&, t] {
      for (uint32_t i = 0; i < kPerThread; ++i) {
        pause(i * 13 % 131);
        const uint32_t tag = t * kPerThread + i;
        const bool waited = i % 3 != 0;
        auto r = CHidRequest::Make(HidOpRead, 0x8140, nullptr, 1,
                                   waited ? BridgeCmdRegister : BridgeCmdAsyncRead, 100,
                                   [&, tag](CHidRequest&) { completions[tag].fetch_add(1); });
        r->tag = tag;
        requests[tag] = r;
        if (!waited) {
          GetRequestQueue().PushBack(r);
        } else if (!PushAndWait(r, kThreadWaitMs)) {
          waitsFailed.fetch_add(1);
        }
      }
    });
  }
  for (auto& c : callers) c.join();
  for (auto& r : requests) ASSERT_TRUE(r->event.Wait(kThreadWaitMs)) << "request " << r->tag;

  EXPECT_EQ(0u, waitsFailed.load());
  EXPECT_FALSE(link.Overlapped());
  for (uint32_t tag = 0; tag < completions.size(); ++tag) {
    EXPECT_EQ(1, completions[tag].load()) << "request " << tag;
  }
}

TEST(RequestQueue, AsyncRequestsAreReleasedAfterTheirCallbackEvenWhenTheyFail) {
  FakeLink link([](CHidRequest&) { return 0u; });
  DispatcherOn dispatcher(link);
  for (uint32_t cmd : {BridgeCmdAsyncWrite, BridgeCmdAsyncRead, BridgeCmdFrameRead}) {
    SCOPED_TRACE(cmd);
    platform::Event done;
    int calls = 0;
    uint32_t seenResult = 99;
    std::weak_ptr<CHidRequest> watch;
    {
      auto r = CHidRequest::Make(HidOpRead, 0x8B98, nullptr, 1, cmd, 100, [&](CHidRequest& req) {
        ++calls;
        seenResult = req.result;
      });
      watch = r;
      GetRequestQueue().PushBack(std::move(r));
    }
    // One more request behind it: once it has completed, the dispatcher has
    // finished with the first one.
    auto marker = Read(nullptr, 1);
    EXPECT_FALSE(PushAndWait(marker));
    EXPECT_EQ(1, calls);
    EXPECT_EQ(0u, seenResult);
    EXPECT_TRUE(watch.expired());
  }
}

TEST(RequestQueue, ACallbackMayPushAndItsRequestsRunAfterThoseQueuedEarlier) {
  platform::Event gate;
  FakeLink link([&](CHidRequest& r) {
    if (r.tag == 1) gate.Wait(kThreadWaitMs);  // hold the dispatcher until all are queued
    return 1u;
  });
  DispatcherOn dispatcher(link);
  std::shared_ptr<CHidRequest> chained;
  auto first =
      CHidRequest::Make(HidOpWrite, 0, nullptr, 0, BridgeCmdAsyncWrite, 100, [&](CHidRequest&) {
        for (uint32_t tag : {10u, 11u}) {
          auto r = CHidRequest::Make(HidOpWrite, 0, nullptr, 0, BridgeCmdRegister, 100);
          r->tag = tag;
          if (tag == 11) chained = r;
          GetRequestQueue().PushBack(r);
        }
      });
  first->tag = 1;
  auto second = Read(nullptr, 1, 2);
  auto third = Read(nullptr, 1, 3);
  GetRequestQueue().PushBack(first);
  GetRequestQueue().PushBack(second);
  GetRequestQueue().PushBack(third);
  gate.Set();
  ASSERT_TRUE(third->event.Wait(kThreadWaitMs));
  ASSERT_TRUE(first->event.Wait(kThreadWaitMs));
  ASSERT_TRUE(chained);
  ASSERT_TRUE(chained->event.Wait(kThreadWaitMs));
  EXPECT_EQ((std::vector<uint32_t>{1, 2, 3, 10, 11}), link.Tags());
}

TEST(RequestQueue, AThrowingCallbackDoesNotStopTheDispatcher) {
  FakeLink link;
  DispatcherOn dispatcher(link);
  auto thrower = CHidRequest::Make(HidOpWrite, 0, nullptr, 0, BridgeCmdRegister, 100,
                                   [](CHidRequest&) { throw std::runtime_error("callback"); });
  EXPECT_TRUE(PushAndWait(thrower));
  EXPECT_TRUE(PushAndWait(Read(nullptr, 1)));
}

// The dispatcher cannot wait for a request it would have to run itself.
TEST(RequestQueue, AWaitingCallFromACallbackFailsInsteadOfHanging) {
  FakeLink link;
  DispatcherOn dispatcher(link);
  int innerResult = -1;
  auto outer = CHidRequest::Make(
      HidOpWrite, 0, nullptr, 0, BridgeCmdAsyncWrite, 100,
      [&](CHidRequest&) { innerResult = PushAndWait(Read(nullptr, 1, 7)) ? 1 : 0; });
  EXPECT_TRUE(PushAndWait(outer));
  EXPECT_EQ(0, innerResult);
  EXPECT_EQ(1u, link.Executed());
}

TEST(RequestQueue, ALimitedWaitGivesUpButTheRequestStillCompletes) {
  platform::Event gate;
  FakeLink link([&](CHidRequest&) {
    gate.Wait(kThreadWaitMs);  // a stuck transfer until the wait has given up
    return 1u;
  });
  DispatcherOn dispatcher(link);
  auto stuck = Read(nullptr, 1);
  EXPECT_FALSE(PushAndWait(stuck, 1));
  gate.Set();
  ASSERT_TRUE(stuck->event.Wait(kThreadWaitMs));
  EXPECT_EQ(1u, stuck->result);

  // From a callback a limited wait fails at once too, without traffic.
  int innerResult = -1;
  auto outer = CHidRequest::Make(
      HidOpWrite, 0, nullptr, 0, BridgeCmdAsyncWrite, 100,
      [&](CHidRequest&) { innerResult = PushAndWait(Read(nullptr, 1), 5000) ? 1 : 0; });
  EXPECT_TRUE(PushAndWait(outer, kThreadWaitMs));
  EXPECT_EQ(0, innerResult);
  EXPECT_EQ(2u, link.Executed());
}

TEST(RequestQueue, StopRunsEveryQueuedRequestThenLaterPushesCompleteAtOnce) {
  // The queue reads its clock when a stop is asked for; the first transfer
  // waits for that, so all 50 requests are still queued at the stop.
  platform::Event stopAsked;
  GetRequestQueue().SetClock([&] {
    stopAsked.Set();
    return std::chrono::steady_clock::now();
  });
  FakeLink link([&](CHidRequest& r) {
    if (r.tag == 0) stopAsked.Wait(kThreadWaitMs);
    return 1u;
  });
  DispatcherOn dispatcher(link);
  std::vector<std::shared_ptr<CHidRequest>> queued;
  for (uint32_t i = 0; i < 50; ++i) {
    queued.push_back(Read(nullptr, 1, i));
    GetRequestQueue().PushBack(queued.back());
  }
  dispatcher.Stop();
  GetRequestQueue().SetClock(nullptr);
  EXPECT_FALSE(GetRequestQueue().HasDispatcher());
  EXPECT_EQ(50u, link.Executed());
  for (auto& r : queued) EXPECT_EQ(1u, r->result);

  auto late = Read(nullptr, 1, 99);
  GetRequestQueue().PushBack(late);
  EXPECT_TRUE(late->event.IsSet());
  EXPECT_EQ(0u, late->result);
  EXPECT_EQ(50u, link.Executed());
}

// A frame chain that renews itself on every completion would keep a stopping
// dispatcher alive for ever; after the grace period its requests complete
// with 0 without I/O. The link advances a fake clock instead of taking time.
TEST(RequestQueue, StopGracePeriodEndsASelfRenewingChain) {
  // The clock is first read when the stop is asked for.
  std::atomic<int64_t> nowMs{0};
  std::atomic<int64_t> stopAtMs{-1};
  GetRequestQueue().SetClock([&] {
    int64_t unset = -1;
    stopAtMs.compare_exchange_strong(unset, nowMs.load());
    return std::chrono::steady_clock::time_point(milliseconds(nowMs.load()));
  });
  FakeLink link([&](CHidRequest&) {
    nowMs += 300;
    return 1u;
  });
  DispatcherOn dispatcher(link);
  std::atomic<int> completions{0};
  std::atomic<int> failures{0};
  std::function<void(CHidRequest&)> renew = [&](CHidRequest& r) {
    ++completions;
    if (r.result == 0) {
      ++failures;
      return;  // like a frame view: a failed frame ends the chain
    }
    GetRequestQueue().PushBack(
        CHidRequest::Make(HidOpRead, 0, nullptr, 1, BridgeCmdFrameRead, 100, renew));
  };
  GetRequestQueue().PushBack(
      CHidRequest::Make(HidOpRead, 0, nullptr, 1, BridgeCmdFrameRead, 100, renew));
  dispatcher.Stop();
  GetRequestQueue().SetClock(nullptr);

  // Transfers went on while at most 2000 ms had passed since the stop; the
  // first request popped later completed with 0 and ended the chain.
  EXPECT_EQ(1, failures.load());
  EXPECT_EQ(static_cast<int>(link.Executed()) + 1, completions.load());
  const int64_t sinceStop = nowMs.load() - stopAtMs.load();
  EXPECT_GT(sinceStop, 2000);
  EXPECT_LE(sinceStop, 2300);
}

TEST(RequestQueue, SelectLinkRoutesTheFollowingRequests) {
  FakeLink hid;
  FakeLink other;
  DispatcherOn dispatcher(hid);
  EXPECT_TRUE(PushAndWait(Read(nullptr, 1, 1)));
  GetRequestQueue().SelectLink(&other);
  EXPECT_EQ(&other, GetRequestQueue().SelectedLink());
  EXPECT_TRUE(PushAndWait(Read(nullptr, 1, 2)));
  GetRequestQueue().SelectLink(nullptr);
  EXPECT_TRUE(PushAndWait(Read(nullptr, 1, 3)));
  EXPECT_EQ((std::vector<uint32_t>{1, 3}), hid.Tags());
  EXPECT_EQ((std::vector<uint32_t>{2}), other.Tags());
}

TEST(RequestQueue, IdleOnlyWhileNothingRuns) {
  platform::Event inside;
  platform::Event release;
  FakeLink link([&](CHidRequest&) {
    inside.Set();
    release.Wait(kThreadWaitMs);
    return 1u;
  });
  DispatcherOn dispatcher(link);
  EXPECT_TRUE(GetRequestQueue().IsIdle());
  auto r = Read(nullptr, 1);
  GetRequestQueue().PushBack(r);
  ASSERT_TRUE(inside.Wait(kThreadWaitMs));
  EXPECT_FALSE(GetRequestQueue().IsIdle());
  release.Set();
  ASSERT_TRUE(r->WaitDone());
  // SelectLink waits for the running request, so afterwards the queue is idle.
  GetRequestQueue().SelectLink(nullptr);
  EXPECT_TRUE(GetRequestQueue().IsIdle());
}

TEST(RequestQueue, TheDispatcherCanBeStartedAgainAfterAStop) {
  FakeLink a;
  FakeLink b;
  {
    DispatcherOn first(a);
    ASSERT_TRUE(first.Started());
    DispatcherOn second(b);
    EXPECT_FALSE(second.Started());  // one dispatcher per process
    EXPECT_TRUE(PushAndWait(Read(nullptr, 1)));
  }
  DispatcherOn again(b);
  ASSERT_TRUE(again.Started());
  EXPECT_TRUE(PushAndWait(Read(nullptr, 1)));
  EXPECT_EQ(1u, a.Executed());
  EXPECT_EQ(1u, b.Executed());
}

}  // namespace

// A chain whose every completion queues the next request keeps the queue
// full; switching links must still get in between two of its requests.
TEST(RequestQueue, SelectLinkGetsInBetweenTheRequestsOfAChain) {
  FakeLink hid;
  FakeLink other;
  DispatcherOn dispatcher(hid);
  std::atomic<bool> stop{false};
  std::atomic<int> done{0};
  std::function<void(uint32_t)> push = [&](uint32_t tag) {
    GetRequestQueue().PushBack(Read(nullptr, 1, tag, [&](CHidRequest& r) {
      done.fetch_add(1);
      if (!stop.load()) push(r.tag + 1);
    }));
  };
  push(0);
  while (done.load() < 10) std::this_thread::yield();
  GetRequestQueue().SelectLink(&other);
  const size_t onHid = hid.Executed();
  while (other.Executed() < 10) std::this_thread::yield();
  GetRequestQueue().SelectLink(nullptr);
  stop = true;
  dispatcher.Stop();
  // The chain went on, in order, on the other link.
  const std::vector<uint32_t> moved = other.Tags();
  for (size_t i = 0; i < moved.size(); ++i) EXPECT_EQ(onHid + i, moved[i]);
}
