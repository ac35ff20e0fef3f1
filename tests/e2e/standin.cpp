// The target kernel's scheduler, preloaded into the unchanged programs: it
// answers the five scheduling calls from a model, as the environment says:
//   SCHED_STANDIN_RANGES  "policy:min:max,...", a policy not listed unknown
//                         (EINVAL); unset or empty, 0 to 0 for OTHER, else 1 to 99
//   SCHED_STANDIN_STATE   a file "pid:policy:priority,...", pid 0 the caller;
//                         set rewrites it for the next program
//   SCHED_STANDIN_FAIL    min, max, set, policy or param: that call fails (EPERM)
//   SCHED_STANDIN_LOG     a file that gets "loaded;" on loading, then "min 4;"...
// A list it cannot honour whole (over eight records, a number malformed or
// beyond 32 bits) or another name it refuses on stderr; the call fails (EINVAL).
#include <errno.h>
#include <limits.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <array>
#include <string_view>

#include "cases.h"

namespace {

using Record = std::array<int, 3>;  // a range {policy, min, max} or a process {pid, policy, priority}
constexpr int kMaxRecords = 8;
static_assert(std::size(kExpectedPolicies) <= kMaxRecords);  // a default range for each
Record processes[kMaxRecords];  // as the state file holds them, and how many
int processCount = 0;

// Reads "a:b:c,..." into `records`; their number, or -1 when refused.
int Parse(const char* name, const char* text, Record* records)
{
    int count = 0;
    for (const char* at = text; *at != '\0'; ++count) {
        bool whole = count < kMaxRecords;
        for (size_t field = 0; field < 3 && whole; ++field) {
            char* end = nullptr;
            const long long number = strtoll(at, &end, 10);
            whole = end != at && number >= INT_MIN && number <= INT_MAX &&
                    (*end == (field < 2 ? ':' : ',') || (field == 2 && *end == '\0'));
            records[count][field] = static_cast<int>(number);
            at = end + (whole && *end != '\0' ? 1 : 0);
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
    for (int i = 0; i < count; ++i) {
        if (records[i][0] == key) {
            return records + i;
        }
    }
    errno = count < 0 ? EINVAL : missing;
    return nullptr;
}

// Logs a call, named by `format` up to a blank; true when SCHED_STANDIN_FAIL
// names it (EPERM) or no call (EINVAL).
bool Called(const char* format, long a = 0, long b = 0, long c = 0)
{
    const char* log = getenv("SCHED_STANDIN_LOG");
    FILE* file = log != nullptr ? fopen(log, "a") : nullptr;
    if (file != nullptr) {
        fprintf(file, format, a, b, c);
        fputc(';', file);
        fclose(file);
    }
    static const std::string_view kCalls[] = {"", "min", "max", "set", "policy", "param"};
    const char* fail = getenv("SCHED_STANDIN_FAIL");
    const std::string_view failing = fail != nullptr ? fail : "";
    if (std::ranges::find(kCalls, failing) == std::end(kCalls)) {
        fprintf(stderr, "sched standin: SCHED_STANDIN_FAIL: cannot honour \"%.60s\"\n", fail);
        errno = EINVAL;
        return true;
    }
    const bool failed = failing == std::string_view(format, strcspn(format, " "));
    errno = failed ? EPERM : errno;
    return failed;
}

__attribute__((constructor)) void Loaded()
{
    Called("loaded");
}

// The range of `policy`, or null (EINVAL) for an unknown policy.
const Record* Range(int policy)
{
    static Record ranges[kMaxRecords];
    int count = 0;
    for (const ExpectedPolicy& known : kExpectedPolicies) {
        ranges[count++] = {known.number, known.number == 0 ? 0 : 1, known.number == 0 ? 0 : 99};
    }
    const char* text = getenv("SCHED_STANDIN_RANGES");
    count = text != nullptr && *text != '\0' ? Parse("SCHED_STANDIN_RANGES", text, ranges) : count;
    return Find(ranges, count, policy, EINVAL);
}

// The record of `pid` in the state file, or null with errno as the kernel
// sets it. A file that fills the buffer is refused, never read in part.
Record* Process(pid_t pid)
{
    const char* path = getenv("SCHED_STANDIN_STATE");
    FILE* file = path != nullptr ? fopen(path, "r") : nullptr;
    char text[kMaxRecords * 40] = "";
    const size_t length = file != nullptr ? fread(text, 1, sizeof text - 1, file) : 0;
    if (file != nullptr) {
        fclose(file);
    }
    const char* records = length < sizeof text - 1 ? text : "(a file of 319 bytes or more)";
    processCount = Parse("SCHED_STANDIN_STATE", records, processes);
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
    *process = {static_cast<int>(pid), policy, priority};
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

}  // extern "C"
