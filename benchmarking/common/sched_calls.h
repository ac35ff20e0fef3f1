// The scheduling calls both programs make. musl answers sched_setscheduler,
// sched_getscheduler and sched_getparam with ENOSYS, never asking the kernel:
// Linux applies them to a thread, POSIX to a process. These programs name a
// thread on purpose, so after ENOSYS each wrapper makes the same request by
// syscall(2), once, and takes the kernel's answer (an ENOSYS of the kernel's
// own comes twice). Every other answer stands: glibc's, a preloaded stand-in's.
#ifndef SCHEDTOOLS_SCHED_CALLS_H
#define SCHEDTOOLS_SCHED_CALLS_H

#include <errno.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

inline int SchedSetscheduler(pid_t pid, int policy, const sched_param* param)
{
    const int result = sched_setscheduler(pid, policy, param);
    return result == -1 && errno == ENOSYS ? static_cast<int>(syscall(SYS_sched_setscheduler, pid, policy, param))
                                           : result;
}

inline int SchedGetscheduler(pid_t pid)
{
    const int result = sched_getscheduler(pid);
    return result == -1 && errno == ENOSYS ? static_cast<int>(syscall(SYS_sched_getscheduler, pid)) : result;
}

inline int SchedGetparam(pid_t pid, sched_param* param)
{
    const int result = sched_getparam(pid, param);
    return result == -1 && errno == ENOSYS ? static_cast<int>(syscall(SYS_sched_getparam, pid, param)) : result;
}

#endif
