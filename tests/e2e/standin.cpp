// The target kernel's scheduler, preloaded into the unchanged programs: its five
// scheduling calls, and the three a program may make by syscall(2), answer from
// one model, as the environment says:
//   SCHED_STANDIN_RANGES  "policy:min:max,...", a policy not listed unknown
//                         (EINVAL); unset or empty, 0 to 0 for OTHER, else 1 to 99
//   SCHED_STANDIN_STATE   a file "pid:policy:priority,..." of the runner's child
//                         and pid 0, the caller; set rewrites it
//   SCHED_STANDIN_FAIL    min, max, set, policy or param: that C library call fails
//                         (EPERM); "set ENOSYS"...: with ENOSYS, as musl's, the
//                         model untouched, the system call still answered
//   SCHED_STANDIN_LOG     a file that gets "loaded;", then "min 4;", "sys set 812 1 10;"...
// A list it cannot honour whole (more records than the model holds, a number
// malformed or beyond 32 bits) or another name it refuses on stderr; the call
// fails (EINVAL). Every other system call goes on to the C library's syscall.
#include <dlfcn.h>
#include <errno.h>
#include <sched.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <string_view>

#include "cases.h"

namespace {

using Record = std::array<int, 3>;  // a range {policy, min, max} or a process {pid, policy, priority}
Record processes[2];                // as the state file holds them, and how many
int processCount = 0;
bool bySyscall = false;  // logged "sys ...", and SCHED_STANDIN_FAIL fails no such call

// Reads at most `size` records "a:b:c,..." into `records`; their number, or -1 when refused.
int Parse(const char* name, const char* text, Record* records, int size)
{
    const char* const last = text + strlen(text);
    int count = 0;
    for (const char* at = text; at != last; ++count) {
        bool whole = count < size;
        for (size_t field = 0; field < 3 && whole; ++field) {
            const auto [end, error] = std::from_chars(at, last, records[count][field]);
            whole = error == std::errc() && (end == last ? field == 2 : *end == (field < 2 ? ':' : ','));
            at = end + (whole && end != last ? 1 : 0);
        }
        if (!whole) {
            fprintf(stderr, "sched standin: %s: cannot honour \"%.60s\"\n", name, text);
            return -1;
        }
    }
    return count;
}

// The record of `key` among `count`, or null, errno `missing` (EINVAL after a refusal).
Record* Find(Record* records, int count, int key, int missing)
{
    Record* const end = records + std::max(count, 0);
    Record* const found =
        std::find_if(records, end, [key](const Record& record) { return record[0] == key; });
    errno = found != end ? errno : count < 0 ? EINVAL : missing;  // a found record leaves it as it was
    return found == end ? nullptr : found;
}

// Logs a call, named by `format` up to a blank; true when SCHED_STANDIN_FAIL
// names it (errno EPERM, or ENOSYS) or nothing it knows (EINVAL).
bool Called(const char* format, long a = 0, long b = 0, long c = 0)
{
    const char* log = getenv("SCHED_STANDIN_LOG");
    FILE* file = log != nullptr ? fopen(log, "a") : nullptr;
    if (file != nullptr) {
        fputs(bySyscall ? "sys " : "", file);
        fprintf(file, format, a, b, c);
        fputc(';', file);
        fclose(file);
    }
    static const std::string_view kCalls[] = {"", "min", "max", "set", "policy", "param"};
    const char* fail = getenv("SCHED_STANDIN_FAIL");
    std::string_view failing = fail != nullptr ? fail : "";
    const bool nosys = failing.ends_with(" ENOSYS");
    failing.remove_suffix(nosys ? 7 : 0);
    if (std::ranges::find(kCalls, failing) == std::end(kCalls) || (nosys && failing.empty())) {
        fprintf(stderr, "sched standin: SCHED_STANDIN_FAIL: cannot honour \"%.60s\"\n", fail);
        errno = EINVAL;
        return true;
    }
    const bool failed = !bySyscall && failing == std::string_view(format, strcspn(format, " "));
    errno = !failed ? errno : nosys ? ENOSYS : EPERM;
    return failed;
}

__attribute__((constructor)) void Loaded()
{
    Called("loaded");
}

// The range of `policy`, or null (EINVAL) for an unknown policy.
const Record* Range(int policy)
{
    static Record ranges[std::size(kExpectedPolicies)];
    int count = 0;
    for (const ExpectedPolicy& known : kExpectedPolicies) {
        ranges[count++] = {known.number, known.number == 0 ? 0 : 1, known.number == 0 ? 0 : 99};
    }
    const char* text = getenv("SCHED_STANDIN_RANGES");
    count = text != nullptr && *text != '\0' ? Parse("SCHED_STANDIN_RANGES", text, ranges, count) : count;
    return Find(ranges, count, policy, EINVAL);
}

// The record of `pid` in the state file, or null with errno as the kernel
// sets it. A file that fills the buffer is refused, never read in part.
Record* Process(int pid)
{
    const char* path = getenv("SCHED_STANDIN_STATE");
    FILE* file = path != nullptr ? fopen(path, "r") : nullptr;
    char text[64] = "";
    const size_t length = file != nullptr ? fread(text, 1, sizeof text - 1, file) : 0;
    if (file != nullptr) {
        fclose(file);
    }
    const char* records = length < sizeof text - 1 ? text : "(a file of 63 bytes or more)";
    processCount = Parse("SCHED_STANDIN_STATE", records, processes, std::size(processes));
    return Find(processes, processCount, pid, pid < 0 ? EINVAL : ESRCH);
}

}  // namespace

extern "C" {

int sched_get_priority_min(int algorithm) noexcept
{
    const Record* range = Called("min %ld", algorithm) ? nullptr : Range(algorithm);
    return range == nullptr ? -1 : (*range)[1];
}

int sched_get_priority_max(int algorithm) noexcept
{
    const Record* range = Called("max %ld", algorithm) ? nullptr : Range(algorithm);
    return range == nullptr ? -1 : (*range)[2];
}

int sched_setscheduler(pid_t pid, int policy, const sched_param* param) noexcept
{
    const int priority = param != nullptr ? param->sched_priority : 0;
    Record* process = Called("set %ld %ld %ld", pid, policy, priority) ? nullptr : Process(pid);
    const Record* range = process == nullptr ? nullptr : Range(policy);
    if (range == nullptr || param == nullptr || priority < (*range)[1] || priority > (*range)[2]) {
        errno = range == nullptr ? errno : EINVAL;
        return -1;
    }
    *process = {pid, policy, priority};
    FILE* file = fopen(getenv("SCHED_STANDIN_STATE"), "w");
    for (int i = 0; file != nullptr && i < processCount; ++i) {
        fprintf(file, "%s%d:%d:%d", i == 0 ? "" : ",", processes[i][0], processes[i][1], processes[i][2]);
    }
    return file != nullptr && fclose(file) == 0 ? 0 : -1;
}

int sched_getscheduler(pid_t pid) noexcept
{
    const Record* process = Called("policy %ld", pid) ? nullptr : Process(pid);
    return process == nullptr ? -1 : (*process)[1];
}

int sched_getparam(pid_t pid, sched_param* param) noexcept
{
    const Record* process = Called("param %ld", pid) ? nullptr : Process(pid);
    if (process == nullptr || param == nullptr) {
        return -1;
    }
    param->sched_priority = (*process)[2];
    return 0;
}

// The same three requests by syscall(2), answered as above. It reads six
// arguments as long, as the C library's syscall does, whatever the caller
// passed: an int's upper half is unspecified on x86-64, so a pid or a policy is
// taken as an int, as the kernel takes it.
long syscall(long sysno, ...) noexcept
{
    va_list list;
    va_start(list, sysno);
    const long a[6] = {va_arg(list, long), va_arg(list, long), va_arg(list, long),
                       va_arg(list, long), va_arg(list, long), va_arg(list, long)};  // in this order
    va_end(list);
    static auto* const next = reinterpret_cast<long (*)(long, ...)>(dlsym(RTLD_NEXT, "syscall"));
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the pointer came as a long
    auto* const param = reinterpret_cast<sched_param*>(a[sysno == SYS_sched_setscheduler ? 2 : 1]);
    const int pid = static_cast<int>(a[0]);
    bySyscall = true;
    const long result = sysno == SYS_sched_setscheduler
                            ? sched_setscheduler(pid, static_cast<int>(a[1]), param)
                        : sysno == SYS_sched_getscheduler ? sched_getscheduler(pid)
                        : sysno == SYS_sched_getparam     ? sched_getparam(pid, param)
                                                          : next(sysno, a[0], a[1], a[2], a[3], a[4], a[5]);
    bySyscall = false;
    return result;
}

}  // extern "C"
