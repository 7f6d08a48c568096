// The event primitive: what each kind of event releases, through single and
// multiple waits, a timeout and a null event.
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

// Each kind of event with four waiters (half waiting on it through the
// multiple wait) and four sets, one at a time: an auto-reset event releases
// one waiter per set, a manual-reset one every waiter at the first.
TEST(NeoEventTest, SetsReleaseOneWaiterOrAll) {
  for (const bool autoReset : {true, false}) {
    EventHolder e(autoReset);
    std::atomic<int> released{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
      threads.emplace_back([&, i] {
        int index = -1;
        released += (i % 2 ? WaitForMultipleNeoEvents(&e.event, 1, false, WAIT_INFINITE, index)
                           : WaitForNeoEvent(e.event, WAIT_INFINITE)) == 0;
      });
    for (int sets = 1; sets <= 4; ++sets) {
      ASSERT_EQ(SetNeoEvent(e.event), 0);
      const int expected = autoReset ? sets : 4;
      const auto end = Clock::now() + std::chrono::seconds(10);
      while (released < expected && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // and no more
      ASSERT_EQ(released, expected) << "auto-reset " << autoReset << " set " << sets;
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(IsNeoEventSet(e.event), !autoReset);
    ASSERT_EQ(ResetNeoEvent(e.event), 0);
    EXPECT_EQ(WaitForNeoEvent(e.event, 0), WAIT_TIMEOUT);
  }
  // A set without a waiter is kept for one wait of an auto-reset event and
  // does not count up; a timed wait times out.
  EventHolder e(true, true);
  ASSERT_EQ(SetNeoEvent(e.event), 0);
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), 0);
  const auto start = Clock::now();
  EXPECT_EQ(WaitForNeoEvent(e.event, 60), WAIT_TIMEOUT);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(60));
  int index = -1;
  EXPECT_EQ(WaitForMultipleNeoEvents(&e.event, 1, false, 0, index), WAIT_TIMEOUT);
  EXPECT_EQ(SetNeoEvent(nullptr), EINVAL);
  EXPECT_EQ(WaitForNeoEvent(nullptr, 0), EINVAL);
}

}  // namespace
