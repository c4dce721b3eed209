// Helpers shared by the files of the reporting module.
#ifndef ARVEX_REPORT_LEVELS_PRIVATE_H
#define ARVEX_REPORT_LEVELS_PRIVATE_H

#include <pthread.h>

namespace arvex::supply {

// The reporting thread runs with cancellation disabled, so that it never
// stops halfway through a report line or a syslog call. It opens a window
// for StopReportLevels only where it waits: in the side-channel requests
// and in the sleep between cycles.
//
// Cancellation unwinds the thread's C++ frames: nothing on the way from a
// window to the thread's start may be noexcept or catch everything.

// Allow cancellation; returns the previous state for closeCancelWindow.
inline int openCancelWindow()
{
  int previous = PTHREAD_CANCEL_DISABLE;
  pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, &previous);
  return previous;
}

// Return to the state openCancelWindow found.
inline void closeCancelWindow(int previous)
{
  pthread_setcancelstate(previous, nullptr);
}

// Create a thread that starts with every signal blocked, so that SIGTERM
// always reaches the job stream's blocking read or write on the main thread
// and never a waiting side-channel request. 0 or the pthread_create error.
int createQuietThread(pthread_t *thread, void *(*routine)(void *), void *argument);

// Write the "STATE:" lines of the conditions that differ between two
// printer states; every condition when previous is negative.
void reportStateChanges(int previous, int state);

}  // namespace arvex::supply

#endif
