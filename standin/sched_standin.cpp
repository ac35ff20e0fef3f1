// A stand-in for the target kernel's scheduler, preloaded (LD_PRELOAD) into
// the unchanged programs. It answers the five POSIX scheduling calls from a
// small model instead of the real kernel, so that policies this host's kernel
// lacks (4, 64, 256, 1024) can be exercised, and failures the real kernel
// rarely gives can be forced. It is steered by environment variables; the
// programs themselves read none:
//   SCHED_STANDIN_RANGES  "policy:min:max,..." the priority range of each
//                         policy; a policy not listed is unknown (EINVAL).
//                         Unset: 0 to 0 for OTHER, 1 to 99 for the others.
//   SCHED_STANDIN_STATE   a file of "pid policy priority" lines, the
//                         processes there are; any other pid names none
//                         (ESRCH). sched_setscheduler rewrites it, so that a
//                         later run sees what an earlier one set. Pid 0 names
//                         the calling process, as for the kernel, and is
//                         listed as pid 0.
//   SCHED_STANDIN_FAIL    "call,call,..." calls that return -1 (EPERM).
//   SCHED_STANDIN_LOG     a file to which each call is appended as one line,
//                         its name and arguments; "loaded" comes first, as
//                         the library is loaded, so that a test can prove it
//                         is in place.
#include <sched.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "policies.h"

namespace {

// A range (policy, min, max) or a process (pid, policy, priority).
struct Triple {
    int key;
    int first;
    int second;
};
constexpr int kMaxTriples = 64;

void Log(const char* format, long a = 0, long b = 0, long c = 0)
{
    const char* path = std::getenv("SCHED_STANDIN_LOG");
    FILE* file = path != nullptr ? std::fopen(path, "a") : nullptr;
    if (file != nullptr) {
        std::fprintf(file, format, a, b, c);
        std::fputc('\n', file);
        std::fclose(file);
    }
}

// Tells the call log, before the program starts, that the library is in place.
__attribute__((constructor)) void Loaded()
{
    Log("loaded");
}

// Reads the triples of `text`, each as `format` reads it ("%d:%d:%d%n")
// and followed by one separator; returns how many.
int Triples(const char* text, const char* format, Triple* triples)
{
    int count = 0;
    int used = 0;
    while (count < kMaxTriples && std::sscanf(text, format, &triples[count].key, &triples[count].first,
                                              &triples[count].second, &used) == 3) {
        ++count;
        text += used;
        text += (*text != '\0') ? 1 : 0;
    }
    return count;
}

// True, with errno EPERM, when `call` is listed in SCHED_STANDIN_FAIL.
bool ForcedToFail(const char* call)
{
    const char* list = std::getenv("SCHED_STANDIN_FAIL");
    char wrapped[256];
    char item[64];
    std::snprintf(wrapped, sizeof wrapped, ",%s,", list != nullptr ? list : "");
    std::snprintf(item, sizeof item, ",%s,", call);
    const bool forced = std::strstr(wrapped, item) != nullptr;
    if (forced) {
        errno = EPERM;
    }
    return forced;
}

// The range of `policy`; false, with errno EINVAL, for an unknown policy.
bool FindRange(int policy, Triple* range)
{
    const char* text = std::getenv("SCHED_STANDIN_RANGES");
    Triple ranges[kMaxTriples];
    int count = 0;
    if (text != nullptr) {
        count = Triples(text, "%d:%d:%d%n", ranges);
    } else {
        for (const ExpectedPolicy& known : kExpectedPolicies) {
            ranges[count++] = {known.number, known.number == 0 ? 0 : 1, known.number == 0 ? 0 : 99};
        }
    }
    for (int i = 0; i < count; ++i) {
        if (ranges[i].key == policy) {
            *range = ranges[i];
            return true;
        }
    }
    errno = EINVAL;
    return false;
}

// Reads the process table into `table`; returns the number of processes.
int LoadProcesses(Triple* table)
{
    const char* path = std::getenv("SCHED_STANDIN_STATE");
    FILE* file = path != nullptr ? std::fopen(path, "r") : nullptr;
    if (file == nullptr) {
        return 0;
    }
    char text[kMaxTriples * 40];
    text[std::fread(text, 1, sizeof text - 1, file)] = '\0';
    std::fclose(file);
    return Triples(text, " %d %d %d%n", table);
}

// The index of the process `pid` in `table`, or -1 with errno set as the
// kernel sets it.
int FindProcess(const Triple* table, int count, pid_t pid)
{
    for (int i = 0; i < count && pid >= 0; ++i) {
        if (table[i].key == pid) {
            return i;
        }
    }
    errno = pid < 0 ? EINVAL : ESRCH;
    return -1;
}

int Bound(const char* call, int policy, bool highest)
{
    Log(highest ? "sched_get_priority_max %ld" : "sched_get_priority_min %ld", policy);
    Triple range{};
    if (ForcedToFail(call) || !FindRange(policy, &range)) {
        return -1;
    }
    return highest ? range.second : range.first;
}

}  // namespace

extern "C" {

int sched_get_priority_min(int algorithm) noexcept
{
    return Bound("sched_get_priority_min", algorithm, false);
}

int sched_get_priority_max(int algorithm) noexcept
{
    return Bound("sched_get_priority_max", algorithm, true);
}

int sched_setscheduler(pid_t pid, int policy, const sched_param* param) noexcept
{
    const int priority = param != nullptr ? param->sched_priority : 0;
    Log("sched_setscheduler %ld %ld %ld", pid, policy, priority);
    Triple table[kMaxTriples];
    const int count = LoadProcesses(table);
    const int index = FindProcess(table, count, pid);
    Triple range{};
    if (ForcedToFail("sched_setscheduler") || index < 0 || !FindRange(policy, &range)) {
        return -1;
    }
    if (param == nullptr || priority < range.first || priority > range.second) {
        errno = EINVAL;
        return -1;
    }
    table[index] = {static_cast<int>(pid), policy, priority};
    FILE* file = std::fopen(std::getenv("SCHED_STANDIN_STATE"), "w");
    for (int i = 0; file != nullptr && i < count; ++i) {
        std::fprintf(file, "%d %d %d\n", table[i].key, table[i].first, table[i].second);
    }
    return file != nullptr && std::fclose(file) == 0 ? 0 : -1;
}

int sched_getscheduler(pid_t pid) noexcept
{
    Log("sched_getscheduler %ld", pid);
    Triple table[kMaxTriples];
    const int count = LoadProcesses(table);
    const int index = FindProcess(table, count, pid);
    return ForcedToFail("sched_getscheduler") || index < 0 ? -1 : table[index].first;
}

int sched_getparam(pid_t pid, sched_param* param) noexcept
{
    Log("sched_getparam %ld", pid);
    Triple table[kMaxTriples];
    const int count = LoadProcesses(table);
    const int index = FindProcess(table, count, pid);
    if (ForcedToFail("sched_getparam") || index < 0 || param == nullptr) {
        return -1;
    }
    param->sched_priority = table[index].second;
    return 0;
}

}  // extern "C"
