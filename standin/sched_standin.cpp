// A stand-in for the target kernel's scheduler, preloaded (LD_PRELOAD) into
// the unchanged programs. It answers the five POSIX scheduling calls from a
// small model instead of the real kernel, so that policies this host's kernel
// lacks (4, 64, 256, 1024) can be exercised, and failures the real kernel
// rarely gives can be forced. It is steered by environment variables; the
// programs themselves read none. Each call has a short name: min and max
// (sched_get_priority_min and _max), set (sched_setscheduler), policy
// (sched_getscheduler) and param (sched_getparam).
//   SCHED_STANDIN_RANGES  "policy:min:max,..." the priority range of each
//                         policy; a policy not listed is unknown (EINVAL).
//                         Unset: 0 to 0 for OTHER, 1 to 99 for the others.
//   SCHED_STANDIN_STATE   a file of "pid policy priority" lines, the
//                         processes there are; any other pid names none
//                         (ESRCH). set rewrites it, so that a later run sees
//                         what an earlier one set. Pid 0 names the calling
//                         process, as for the kernel, and is listed as pid 0.
//   SCHED_STANDIN_FAIL    "name,name,..." calls that return -1 (EPERM).
//   SCHED_STANDIN_LOG     a file to which each call is appended as one line,
//                         its short name and arguments ("set 812 2 10");
//                         "loaded" comes first, as the library is loaded, so
//                         that a test can prove it is in place.
#include <sched.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "policies.h"

namespace {

struct Range {
    int policy;
    int min;
    int max;
};
struct Process {
    int pid;
    int policy;
    int priority;
};
constexpr int kMaxRecords = 64;

// Logs the call `name` with its arguments (`arguments` formats them); true,
// with errno EPERM, when SCHED_STANDIN_FAIL lists it.
bool Called(const char* name, const char* arguments = "", long a = 0, long b = 0, long c = 0)
{
    const char* path = std::getenv("SCHED_STANDIN_LOG");
    FILE* file = path != nullptr ? std::fopen(path, "a") : nullptr;
    if (file != nullptr) {
        std::fputs(name, file);
        std::fprintf(file, arguments, a, b, c);
        std::fputc('\n', file);
        std::fclose(file);
    }
    const char* list = std::getenv("SCHED_STANDIN_FAIL");
    char wrapped[256];
    char item[64];
    std::snprintf(wrapped, sizeof wrapped, ",%s,", list != nullptr ? list : "");
    std::snprintf(item, sizeof item, ",%s,", name);
    const bool forced = std::strstr(wrapped, item) != nullptr;
    errno = forced ? EPERM : errno;
    return forced;
}

// Tells the call log, before the program starts, that the library is in place.
__attribute__((constructor)) void Loaded()
{
    Called("loaded");
}

// Reads records of three numbers from `text`, each as `format` reads one
// ("%d:%d:%d%n") and followed by one separator; returns how many.
template <typename Record>
int Parse(const char* text, const char* format, Record* records)
{
    int count = 0;
    int used = 0;
    for (; count < kMaxRecords; ++count, text += used, text += (*text != '\0') ? 1 : 0) {
        auto& [a, b, c] = records[count];
        if (std::sscanf(text, format, &a, &b, &c, &used) != 3) {
            break;
        }
    }
    return count;
}

// The range of `policy`; false, with errno EINVAL, for an unknown policy.
bool FindRange(int policy, Range* range)
{
    const char* text = std::getenv("SCHED_STANDIN_RANGES");
    Range ranges[kMaxRecords];
    int count = 0;
    if (text != nullptr) {
        count = Parse(text, "%d:%d:%d%n", ranges);
    } else {
        for (const ExpectedPolicy& known : kExpectedPolicies) {
            ranges[count++] = {known.number, known.number == 0 ? 0 : 1, known.number == 0 ? 0 : 99};
        }
    }
    for (int i = 0; i < count; ++i) {
        if (ranges[i].policy == policy) {
            *range = ranges[i];
            return true;
        }
    }
    errno = EINVAL;
    return false;
}

// Reads the processes there are into `table`, their number into *count,
// and returns the index of `pid` there, or -1 with errno set as the kernel
// sets it.
int FindProcess(pid_t pid, Process* table, int* count)
{
    const char* path = std::getenv("SCHED_STANDIN_STATE");
    FILE* file = path != nullptr ? std::fopen(path, "r") : nullptr;
    char text[kMaxRecords * 40] = "";
    if (file != nullptr) {
        text[std::fread(text, 1, sizeof text - 1, file)] = '\0';
        std::fclose(file);
    }
    *count = Parse(text, " %d %d %d%n", table);
    for (int i = 0; i < *count && pid >= 0; ++i) {
        if (table[i].pid == pid) {
            return i;
        }
    }
    errno = pid < 0 ? EINVAL : ESRCH;
    return -1;
}

int Bound(int policy, bool highest)
{
    Range range{};
    if (Called(highest ? "max" : "min", " %ld", policy) || !FindRange(policy, &range)) {
        return -1;
    }
    return highest ? range.max : range.min;
}

}  // namespace

extern "C" {

int sched_get_priority_min(int algorithm) noexcept
{
    return Bound(algorithm, false);
}

int sched_get_priority_max(int algorithm) noexcept
{
    return Bound(algorithm, true);
}

int sched_setscheduler(pid_t pid, int policy, const sched_param* param) noexcept
{
    const int priority = param != nullptr ? param->sched_priority : 0;
    Process table[kMaxRecords];
    int count = 0;
    Range range{};
    const int index = Called("set", " %ld %ld %ld", pid, policy, priority) ? -1 : FindProcess(pid, table, &count);
    if (index < 0 || !FindRange(policy, &range)) {
        return -1;
    }
    if (param == nullptr || priority < range.min || priority > range.max) {
        errno = EINVAL;
        return -1;
    }
    table[index] = {static_cast<int>(pid), policy, priority};
    FILE* file = std::fopen(std::getenv("SCHED_STANDIN_STATE"), "w");
    for (int i = 0; file != nullptr && i < count; ++i) {
        std::fprintf(file, "%d %d %d\n", table[i].pid, table[i].policy, table[i].priority);
    }
    return file != nullptr && std::fclose(file) == 0 ? 0 : -1;
}

int sched_getscheduler(pid_t pid) noexcept
{
    Process table[kMaxRecords];
    int count = 0;
    const int index = Called("policy", " %ld", pid) ? -1 : FindProcess(pid, table, &count);
    return index < 0 ? -1 : table[index].policy;
}

int sched_getparam(pid_t pid, sched_param* param) noexcept
{
    Process table[kMaxRecords];
    int count = 0;
    const int index = Called("param", " %ld", pid) ? -1 : FindProcess(pid, table, &count);
    if (index < 0 || param == nullptr) {
        return -1;
    }
    param->sched_priority = table[index].priority;
    return 0;
}

}  // extern "C"
