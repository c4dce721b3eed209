// The reporting thread: one query cycle after the other until the job
// stream stops it.

#include "reporting.h"

#include <csignal>
#include <unistd.h>

#include "reporting_private.h"

namespace arvex::supply {

int createQuietThread(pthread_t *thread, void *(*routine)(void *), void *argument)
{
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  const int result = pthread_create(thread, nullptr, routine, argument);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return result;
}

}  // namespace arvex::supply

namespace {

// Sleep between two cycles; StopReportLevels may end the thread here.
void waitForNextCycle(unsigned seconds)
{
  const int previous = arvex::supply::openCancelWindow();
  pthread_testcancel();
  sleep(seconds);
  arvex::supply::closeCancelWindow(previous);
}

}  // namespace

extern "C" {

// Report the levels every cycleTime seconds, the first cycle at once. The
// thread ends by itself when the CUPS library lacks the SNMP request or the
// backend doesn't implement the query; otherwise StopReportLevels ends it,
// in a side-channel request or in the sleep.
void *ProcReportLevels(void *argument)
{
  auto *context = static_cast<ReportLevelsContext *>(argument);
  if (!context)
    return nullptr;
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
  pthread_setcanceltype(PTHREAD_CANCEL_DEFERRED, nullptr);

  if (!IsAvailableRelatedAPI())
    return nullptr;

  for (;;) {
    const int status = GetCurrentSupplyInfo(context->supplyInfo, context->deviceType, context->colorType);
    if (status == REPORT_STATUS_OK)
      SendSupplyInfo(context->supplyInfo, context->colorType);
    else if (!IsEnableRetrySupplyInfo(status))
      break;
    waitForNextCycle(static_cast<unsigned>(context->cycleTime));
  }
  return nullptr;
}

}  // extern "C"
