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

// Threads that each wait once on `events` (any of them) and count their successes.
struct Waiters {
  Waiters(std::vector<neosmart_event_t> events, int count) : events(std::move(events)) {
    for (int i = 0; i < count; ++i) {
      threads.emplace_back([this, i] {
        int index = -1;
        const int result = i % 2 ? WaitForMultipleNeoEvents(this->events.data(), int(this->events.size()), false,
                                                             WAIT_INFINITE, index)
                                 : WaitForNeoEvent(this->events[0], WAIT_INFINITE);
        released += result == 0;
      });
    }
  }
  // Waits until `count` are released, then a little longer to see that no more are.
  bool Released(int count) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (released < count && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    return released == count;
  }
  ~Waiters() {
    for (auto& t : threads) t.join();
  }
  std::vector<neosmart_event_t> events;
  std::atomic<int> released{0};
  std::vector<std::thread> threads;
};

}  // namespace

TEST(NeoEventTest, ManualResetReleasesEveryWaiterAndStaysSignalled) {
  EventHolder e(false);
  {
    Waiters waiters({e.event}, 4);
    ASSERT_EQ(SetNeoEvent(e.event), 0);
    EXPECT_TRUE(waiters.Released(4));
  }
  EXPECT_TRUE(IsNeoEventSet(e.event));
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), 0);
  ASSERT_EQ(ResetNeoEvent(e.event), 0);
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), WAIT_TIMEOUT);
}

// Single and multiple waits alike: every set releases exactly one.
TEST(NeoEventTest, AutoResetReleasesOneWaiterPerSet) {
  EventHolder e(true);
  {
    Waiters waiters({e.event}, 4);
    for (int sets = 1; sets <= 4; ++sets) {
      ASSERT_EQ(SetNeoEvent(e.event), 0);
      ASSERT_TRUE(waiters.Released(sets)) << "after set " << sets;
    }
  }
  EXPECT_FALSE(IsNeoEventSet(e.event));
  // A set without a waiter is kept for one wait and does not count up.
  ASSERT_EQ(SetNeoEvent(e.event), 0);
  ASSERT_EQ(SetNeoEvent(e.event), 0);
  EXPECT_TRUE(IsNeoEventSet(e.event));
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), 0);
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), WAIT_TIMEOUT);
  EventHolder initiallySet(true, true);
  EXPECT_EQ(WaitForNeoEvent(initiallySet.event, 0), 0);
  EXPECT_FALSE(IsNeoEventSet(initiallySet.event));
}

TEST(NeoEventTest, TimeoutsAndNullEvents) {
  EventHolder e(true);
  neosmart_event_t events[1] = {e.event};
  int index = -1;
  const auto start = Clock::now();
  EXPECT_EQ(WaitForNeoEvent(e.event, 60), WAIT_TIMEOUT);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(60));
  EXPECT_EQ(WaitForMultipleNeoEvents(events, 1, false, 30, index), WAIT_TIMEOUT);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(90));
  // A timed-out multiple wait leaves later signals to others.
  ASSERT_EQ(SetNeoEvent(e.event), 0);
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), 0);

  EXPECT_EQ(SetNeoEvent(nullptr), EINVAL);
  EXPECT_EQ(ResetNeoEvent(nullptr), EINVAL);
  EXPECT_EQ(WaitForNeoEvent(nullptr, 0), EINVAL);
  events[0] = nullptr;
  EXPECT_EQ(WaitForMultipleNeoEvents(events, 1, false, 0, index), EINVAL);
}

TEST(NeoEventTest, WaitForAnyNamesTheEventThatFiredAndTakesOnlyIt) {
  EventHolder a(true), b(true), manual(false, true);
  neosmart_event_t events[2] = {a.event, b.event};
  int index = -1, result = -1;
  std::thread waiter([&] { result = WaitForMultipleNeoEvents(events, 2, false, WAIT_INFINITE, index); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(SetNeoEvent(b.event), 0);
  waiter.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(IsNeoEventSet(b.event));  // taken by the wait
  // An already signalled event is taken at once: a manual-reset one stays signalled.
  events[1] = manual.event;
  ASSERT_EQ(WaitForMultipleNeoEvents(events, 2, false, 0, index), 0);
  EXPECT_EQ(index, 1);
  EXPECT_TRUE(IsNeoEventSet(manual.event));
  ASSERT_EQ(SetNeoEvent(a.event), 0);
  ASSERT_EQ(ResetNeoEvent(manual.event), 0);
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
