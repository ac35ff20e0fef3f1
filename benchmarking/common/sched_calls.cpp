// musl answers sched_setscheduler, sched_getscheduler and sched_getparam
// with ENOSYS and never asks the kernel, because Linux applies them to one
// thread where POSIX speaks of a whole process. These programs name a thread
// by its id on purpose, so they ask the kernel themselves. Any other answer
// of the C library stands: glibc's calls, and a stand-in preloaded in their
// place, are used as they are. A kernel that itself answers ENOSYS gives the
// same answer to the second try.
#include "sched_calls.h"

#include <errno.h>
#include <sys/syscall.h>
#include <unistd.h>

int SchedSetscheduler(pid_t pid, int policy, const sched_param* param)
{
    const int result = sched_setscheduler(pid, policy, param);
    return result == -1 && errno == ENOSYS ? static_cast<int>(syscall(SYS_sched_setscheduler, pid, policy, param))
                                           : result;
}

int SchedGetscheduler(pid_t pid)
{
    const int result = sched_getscheduler(pid);
    return result == -1 && errno == ENOSYS ? static_cast<int>(syscall(SYS_sched_getscheduler, pid)) : result;
}

int SchedGetparam(pid_t pid, sched_param* param)
{
    const int result = sched_getparam(pid, param);
    return result == -1 && errno == ENOSYS ? static_cast<int>(syscall(SYS_sched_getparam, pid, param)) : result;
}
