// The scheduling calls that both programs make and that a C library may
// refuse to pass on to the kernel, shared by both programs.
#ifndef SCHEDTOOLS_SCHED_CALLS_H
#define SCHEDTOOLS_SCHED_CALLS_H

#include <sched.h>

// Each is the C library's call of the same name; where the library answers
// -1 with ENOSYS without asking the kernel (musl), the same request goes to
// the kernel by syscall(2), once, and the kernel's answer is taken.
int SchedSetscheduler(pid_t pid, int policy, const sched_param* param);
int SchedGetscheduler(pid_t pid);
int SchedGetparam(pid_t pid, sched_param* param);

#endif
