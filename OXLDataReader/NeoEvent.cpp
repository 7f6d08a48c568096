#include "OXLDataReader/NeoEvent.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>

namespace neosmart {

// One multi-event wait, shared by the waiting thread and its registrations.
// Lock order: an event's mutex before a wait record's mutex.
struct neosmart_wfmo_t_ {
  std::mutex Mutex;
  std::condition_variable CVariable;
  int EventsLeft = 0;
  bool WaitAll = false;
  bool StillWaiting = true;
  int FiredEvent = -1;
};

// A multi-event wait queued on one of its events.
struct neosmart_wfmo_info_t_ {
  std::shared_ptr<neosmart_wfmo_t_> Waiter;
  int WaitIndex = 0;
};

struct neosmart_event_t_ {
  std::condition_variable CVariable;
  std::mutex Mutex;
  bool AutoReset = false;
  bool State = false;
  std::deque<neosmart_wfmo_info_t_> RegisteredWaits;
};

namespace {

using Clock = std::chrono::steady_clock;

// Far enough to mean "never" without overflowing the clock's range.
const uint64_t kLongestTimedWaitMs = uint64_t(100) * 365 * 24 * 3600 * 1000;

// Waits on `cv` until `done()` or the timeout; returns done().
template <typename Lock, typename Predicate>
bool WaitUntil(std::condition_variable& cv, Lock& lock, uint64_t milliseconds, Predicate done) {
  if (done() || milliseconds == 0) return done();
  if (milliseconds == WAIT_INFINITE || milliseconds > kLongestTimedWaitMs) {
    cv.wait(lock, done);
    return true;
  }
  return cv.wait_until(lock, Clock::now() + std::chrono::milliseconds(milliseconds), done);
}

// Counts the event down in its registered wait and wakes the waiter. False
// when that wait has already ended (timed out or fired by another event).
// Caller holds the event's mutex.
bool FireRegistration(const neosmart_wfmo_info_t_& info) {
  neosmart_wfmo_t_& wait = *info.Waiter;
  std::lock_guard<std::mutex> lock(wait.Mutex);
  if (!wait.StillWaiting) return false;
  --wait.EventsLeft;
  if (!wait.WaitAll || wait.EventsLeft <= 0) {
    wait.FiredEvent = info.WaitIndex;
    wait.StillWaiting = false;
  }
  wait.CVariable.notify_one();
  return true;
}

// Auto-reset: the first registration still waiting takes the signal.
bool FireFirstRegistration(neosmart_event_t_& event) {
  while (!event.RegisteredWaits.empty()) {
    const neosmart_wfmo_info_t_ info = event.RegisteredWaits.front();
    event.RegisteredWaits.pop_front();
    if (FireRegistration(info)) return true;
  }
  return false;
}

void FireAllRegistrations(neosmart_event_t_& event) {
  for (const neosmart_wfmo_info_t_& info : event.RegisteredWaits) FireRegistration(info);
  event.RegisteredWaits.clear();
}

// Drops registrations of waits that have ended, so that an event that is
// rarely set does not collect them. Caller holds the event's mutex.
void PruneEndedRegistrations(neosmart_event_t_& event) {
  auto& waits = event.RegisteredWaits;
  for (auto it = waits.begin(); it != waits.end();) {
    // The erase may drop the last other owner of the wait: this copy keeps
    // its mutex alive until the lock below has released it.
    const std::shared_ptr<neosmart_wfmo_t_> waiter = it->Waiter;
    std::lock_guard<std::mutex> lock(waiter->Mutex);
    it = waiter->StillWaiting ? it + 1 : waits.erase(it);
  }
}

// Takes a signalled event into the wait, or registers the wait with it.
// Returns true when the wait is complete.
bool JoinWait(neosmart_event_t_& event, const std::shared_ptr<neosmart_wfmo_t_>& wait, int index) {
  std::lock_guard<std::mutex> eventLock(event.Mutex);
  PruneEndedRegistrations(event);
  if (!event.State) {
    event.RegisteredWaits.push_back(neosmart_wfmo_info_t_{wait, index});
    return false;
  }
  // A wait already ended by another of its events leaves this one signalled.
  if (FireRegistration(neosmart_wfmo_info_t_{wait, index}) && event.AutoReset) event.State = false;
  std::lock_guard<std::mutex> waitLock(wait->Mutex);
  return !wait->StillWaiting;
}

}  // namespace

neosmart_event_t CreateNeoEvent(bool autoReset, bool initialState) {
  neosmart_event_t event = new (std::nothrow) neosmart_event_t_;
  if (!event) return nullptr;
  event->AutoReset = autoReset;
  event->State = initialState;
  return event;
}

int DestroyNeoEvent(neosmart_event_t event) {
  delete event;
  return 0;
}

int SetNeoEvent(neosmart_event_t event) {
  if (!event) return EINVAL;
  std::lock_guard<std::mutex> lock(event->Mutex);
  event->State = true;
  if (!event->AutoReset) {
    FireAllRegistrations(*event);
    event->CVariable.notify_all();
    return 0;
  }
  if (FireFirstRegistration(*event)) {
    event->State = false;
    return 0;
  }
  event->CVariable.notify_one();
  return 0;
}

int ResetNeoEvent(neosmart_event_t event) {
  if (!event) return EINVAL;
  std::lock_guard<std::mutex> lock(event->Mutex);
  event->State = false;
  return 0;
}

bool IsNeoEventSet(neosmart_event_t event) {
  if (!event) return false;
  std::lock_guard<std::mutex> lock(event->Mutex);
  return event->State;
}

int WaitForNeoEvent(neosmart_event_t event, uint64_t milliseconds) {
  if (!event) return EINVAL;
  std::unique_lock<std::mutex> lock(event->Mutex);
  if (!WaitUntil(event->CVariable, lock, milliseconds, [event] { return event->State; })) return WAIT_TIMEOUT;
  if (event->AutoReset) event->State = false;
  return 0;
}

int WaitForMultipleNeoEvents(const neosmart_event_t* events, int count, bool waitAll, uint64_t milliseconds,
                             int& firedIndex) {
  if (!events || count <= 0) return EINVAL;
  for (int i = 0; i < count; ++i) {
    if (!events[i]) return EINVAL;
  }
  auto wait = std::make_shared<neosmart_wfmo_t_>();
  wait->EventsLeft = count;
  wait->WaitAll = waitAll;
  for (int i = 0; i < count; ++i) {
    if (JoinWait(*events[i], wait, i)) break;
  }
  std::unique_lock<std::mutex> lock(wait->Mutex);
  const bool fired = WaitUntil(wait->CVariable, lock, milliseconds, [&wait] { return !wait->StillWaiting; });
  if (!fired) {
    wait->StillWaiting = false;  // registrations left on the events are dropped when next met
    return WAIT_TIMEOUT;
  }
  firedIndex = wait->FiredEvent;
  return 0;
}

}  // namespace neosmart
