#pragma once
// Win32-style events for POSIX threads: auto-reset and manual-reset events
// over a mutex and a condition variable, with waits on one event or on several
// at once.
//
// A manual-reset event stays signalled until it is reset and releases every
// waiter. An auto-reset event releases one waiter and is cleared by that
// waiter's successful wait; set while nobody waits, it stays signalled until
// the next wait takes it. A multi-event wait registers with each event it has
// to wait for; setting an event serves these registrations first, in the order
// they were made, then the threads waiting on that event alone.
//
// Results: 0 success, WAIT_TIMEOUT when the time ran out, EINVAL for a null
// event or a bad argument. Timeouts are in milliseconds; WAIT_INFINITE waits
// without a deadline.
//
// An event must not be destroyed while a thread waits on it.
#include <cerrno>
#include <cstdint>

namespace neosmart {

struct neosmart_event_t_;
typedef neosmart_event_t_* neosmart_event_t;

constexpr uint64_t WAIT_INFINITE = ~uint64_t(0);
constexpr int WAIT_TIMEOUT = ETIMEDOUT;

// A new event, or null when memory cannot be had.
neosmart_event_t CreateNeoEvent(bool autoReset, bool initialState);
// Frees the event and any registrations still queued on it; null is ignored.
int DestroyNeoEvent(neosmart_event_t event);

int SetNeoEvent(neosmart_event_t event);
int ResetNeoEvent(neosmart_event_t event);
// Whether the event is signalled now; it is not consumed. False for null.
bool IsNeoEventSet(neosmart_event_t event);

// Waits until the event is signalled; a timeout of 0 only looks.
int WaitForNeoEvent(neosmart_event_t event, uint64_t milliseconds);

// Waits for any one (waitAll false) or for all (waitAll true) of `count`
// events. When waiting for any, `firedIndex` receives the index of the event
// that ended the wait; when waiting for all, the index of the last one.
// Auto-reset events are consumed as they fire into a wait-all, so a wait-all
// that times out may have taken the signal of some of them.
int WaitForMultipleNeoEvents(const neosmart_event_t* events, int count, bool waitAll, uint64_t milliseconds,
                             int& firedIndex);

}  // namespace neosmart
