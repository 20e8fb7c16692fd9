#include "deck/TimeCritical.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <sched.h>
#endif

#ifdef _WIN32

TimeCritical::TimeCritical() {
  policy_ = GetThreadPriority(GetCurrentThread());
  raised_ = policy_ != THREAD_PRIORITY_ERROR_RETURN &&
            SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0;
}

TimeCritical::~TimeCritical() {
  if (raised_) {
    SetThreadPriority(GetCurrentThread(), policy_);
  }
}

#else

TimeCritical::TimeCritical() {
  sched_param param{};
  if (pthread_getschedparam(pthread_self(), &policy_, &param) != 0) {
    return;
  }
  priority_ = param.sched_priority;
  sched_param fifo{};
  fifo.sched_priority = sched_get_priority_min(SCHED_FIFO);
  raised_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) == 0;
}

TimeCritical::~TimeCritical() {
  if (raised_) {
    sched_param param{};
    param.sched_priority = priority_;
    pthread_setschedparam(pthread_self(), policy_, &param);
  }
}

#endif
