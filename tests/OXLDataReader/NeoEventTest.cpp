// The event primitive: what each kind of event releases, timeouts, and waits
// on several events.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "OXLDataReader/NeoEvent.h"

using namespace neosmart;

namespace {

using Clock = std::chrono::steady_clock;

struct EventHolder {
  explicit EventHolder(bool autoReset, bool initialState = false) : event(CreateNeoEvent(autoReset, initialState)) {}
  ~EventHolder() { DestroyNeoEvent(event); }
  neosmart_event_t event;
};

// Polls `condition` for up to ten seconds.
template <typename Condition>
bool Eventually(Condition condition) {
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Threads that each wait once on `event` and count their successes.
struct Waiters {
  Waiters(neosmart_event_t event, int count) {
    for (int i = 0; i < count; ++i) {
      threads.emplace_back([this, event] {
        if (WaitForNeoEvent(event, WAIT_INFINITE) == 0) ++released;
      });
    }
  }
  void JoinAll() {
    for (auto& t : threads) t.join();
    threads.clear();
  }
  ~Waiters() { JoinAll(); }
  std::atomic<int> released{0};
  std::vector<std::thread> threads;
};

}  // namespace

TEST(NeoEventTest, ManualResetReleasesEveryWaiterAndStaysSignalled) {
  EventHolder e(false);
  Waiters waiters(e.event, 3);
  ASSERT_EQ(SetNeoEvent(e.event), 0);
  waiters.JoinAll();
  EXPECT_EQ(waiters.released, 3);
  EXPECT_TRUE(IsNeoEventSet(e.event));
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), 0);
  ASSERT_EQ(ResetNeoEvent(e.event), 0);
  EXPECT_FALSE(IsNeoEventSet(e.event));
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), WAIT_TIMEOUT);
}

TEST(NeoEventTest, AutoResetReleasesOneWaiterPerSet) {
  EventHolder e(true);
  Waiters waiters(e.event, 2);
  ASSERT_EQ(SetNeoEvent(e.event), 0);
  ASSERT_TRUE(Eventually([&] { return waiters.released == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(waiters.released, 1);  // the second waiter is still waiting
  ASSERT_EQ(SetNeoEvent(e.event), 0);
  waiters.JoinAll();
  EXPECT_EQ(waiters.released, 2);
  EXPECT_FALSE(IsNeoEventSet(e.event));
}

TEST(NeoEventTest, AutoResetSetWithoutWaiterIsKeptForOneWait) {
  EventHolder e(true);
  ASSERT_EQ(SetNeoEvent(e.event), 0);
  ASSERT_EQ(SetNeoEvent(e.event), 0);  // does not count up
  EXPECT_TRUE(IsNeoEventSet(e.event));
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), 0);
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), WAIT_TIMEOUT);
  EventHolder initiallySet(true, true);
  EXPECT_EQ(WaitForNeoEvent(initiallySet.event, 0), 0);
  EXPECT_FALSE(IsNeoEventSet(initiallySet.event));
}

TEST(NeoEventTest, WaitTimesOutAfterItsTime) {
  EventHolder e(true);
  const auto start = Clock::now();
  EXPECT_EQ(WaitForNeoEvent(e.event, 60), WAIT_TIMEOUT);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(60));
}

TEST(NeoEventTest, NullEventIsRefused) {
  EXPECT_EQ(SetNeoEvent(nullptr), EINVAL);
  EXPECT_EQ(ResetNeoEvent(nullptr), EINVAL);
  EXPECT_EQ(WaitForNeoEvent(nullptr, 0), EINVAL);
  int index = -1;
  neosmart_event_t none[1] = {nullptr};
  EXPECT_EQ(WaitForMultipleNeoEvents(none, 1, false, 0, index), EINVAL);
}

TEST(NeoEventTest, WaitForAnyNamesTheEventThatFiredAndTakesOnlyIt) {
  EventHolder a(true), b(true);
  neosmart_event_t events[2] = {a.event, b.event};
  int index = -1;
  int result = -1;
  std::thread waiter([&] { result = WaitForMultipleNeoEvents(events, 2, false, WAIT_INFINITE, index); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(SetNeoEvent(b.event), 0);
  waiter.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(IsNeoEventSet(b.event));  // taken by the wait
  // A later set of the other event is not swallowed by the finished wait.
  ASSERT_EQ(SetNeoEvent(a.event), 0);
  EXPECT_TRUE(IsNeoEventSet(a.event));
}

TEST(NeoEventTest, WaitForAnyTakesAnAlreadySignalledEventAtOnce) {
  EventHolder a(true), b(false, true);
  neosmart_event_t events[2] = {a.event, b.event};
  int index = -1;
  ASSERT_EQ(WaitForMultipleNeoEvents(events, 2, false, 0, index), 0);
  EXPECT_EQ(index, 1);
  EXPECT_TRUE(IsNeoEventSet(b.event));  // manual reset: stays signalled
  ASSERT_EQ(SetNeoEvent(a.event), 0);
  ASSERT_EQ(ResetNeoEvent(b.event), 0);
  ASSERT_EQ(WaitForMultipleNeoEvents(events, 2, false, 0, index), 0);
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(IsNeoEventSet(a.event));
}

TEST(NeoEventTest, WaitForAllEndsOnlyWhenEveryEventFired) {
  EventHolder a(false), b(true);
  neosmart_event_t events[2] = {a.event, b.event};
  std::atomic<bool> done{false};
  int result = -1, index = -1;
  std::thread waiter([&] {
    result = WaitForMultipleNeoEvents(events, 2, true, WAIT_INFINITE, index);
    done = true;
  });
  ASSERT_EQ(SetNeoEvent(a.event), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done);
  ASSERT_EQ(SetNeoEvent(b.event), 0);
  waiter.join();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(IsNeoEventSet(a.event));
  EXPECT_FALSE(IsNeoEventSet(b.event));
}

TEST(NeoEventTest, MultipleWaitsOnOneAutoResetEventAreReleasedOnePerSet) {
  EventHolder e(true);
  neosmart_event_t events[1] = {e.event};
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      int index = -1;
      if (WaitForMultipleNeoEvents(events, 1, false, WAIT_INFINITE, index) == 0 && index == 0) ++released;
    });
  }
  for (int sets = 1; sets <= 3; ++sets) {
    ASSERT_EQ(SetNeoEvent(e.event), 0);
    ASSERT_TRUE(Eventually([&] { return released == sets; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(released, sets);
  }
  for (auto& t : waiters) t.join();
  EXPECT_FALSE(IsNeoEventSet(e.event));
}

TEST(NeoEventTest, TimedOutMultipleWaitLeavesLaterSignalsToOthers) {
  EventHolder e(true);
  neosmart_event_t events[1] = {e.event};
  int index = -1;
  const auto start = Clock::now();
  EXPECT_EQ(WaitForMultipleNeoEvents(events, 1, false, 30, index), WAIT_TIMEOUT);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
  ASSERT_EQ(SetNeoEvent(e.event), 0);
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), 0);
}

TEST(NeoEventTest, AutoResetServesEachWaiterOnceUnderLoad) {
  // Every set releases exactly one wait, whichever kind of wait it is.
  EventHolder e(true);
  const int perThread = 500;
  std::atomic<int> released{0};
  std::thread single([&] {
    for (int i = 0; i < perThread; ++i) released += WaitForNeoEvent(e.event, WAIT_INFINITE) == 0;
  });
  std::thread multiple([&] {
    neosmart_event_t events[1] = {e.event};
    int index = -1;
    for (int i = 0; i < perThread; ++i) released += WaitForMultipleNeoEvents(events, 1, false, WAIT_INFINITE, index) == 0;
  });
  for (int sets = 1; sets <= 2 * perThread; ++sets) {
    ASSERT_EQ(SetNeoEvent(e.event), 0);
    ASSERT_TRUE(Eventually([&] { return released == sets; })) << "after set " << sets;
  }
  single.join();
  multiple.join();
  EXPECT_EQ(released, 2 * perThread);
  EXPECT_FALSE(IsNeoEventSet(e.event));
}
