// A stand-in for the target kernel's scheduler, preloaded into the unchanged
// programs: it answers the five scheduling calls from a model, with the
// extension policies and failures on demand, as environment variables say:
//   SCHED_STANDIN_RANGES  "policy:min:max,...", a policy not listed unknown
//                         (EINVAL); unset or empty, 0 to 0 for OTHER, else 1 to 99
//   SCHED_STANDIN_STATE   a file "pid:policy:priority,...", pid 0 the caller;
//                         set rewrites it for the next program
//   SCHED_STANDIN_FAIL    the name of a call that fails (EPERM): min, max, set,
//                         policy or param
//   SCHED_STANDIN_LOG     a file that gets "loaded;" on loading, then each call:
//                         "loaded;min 4;max 4;set 812 4 10;"
// A list it cannot honour whole (over eight records, a malformed or 33-bit
// number) or another name it refuses on stderr, and the call fails (EINVAL).
#include <sched.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cases.h"

namespace {

struct Record {  // a range (policy, min, max) or a process (pid, policy, priority)
    int key;
    int a;
    int b;
};
constexpr int kMaxRecords = 8;
static_assert(std::size(kExpectedPolicies) <= kMaxRecords, "a default range for each policy");
Record processes[kMaxRecords];  // as the state file holds them, and how many
int processCount = 0;

// Reads "a:b:c,..." into `records`; their number, or -1 when refused.
int Parse(const char* name, const char* text, Record* records)
{
    int count = 0;
    for (const char* at = text; *at != '\0'; ++count) {
        long long fields[3] = {};
        bool whole = count < kMaxRecords;
        for (int field = 0; field < 3 && whole; ++field) {
            char* end = nullptr;
            fields[field] = std::strtoll(at, &end, 10);
            whole = end != at && fields[field] >= INT_MIN && fields[field] <= INT_MAX &&
                    (*end == (field < 2 ? ':' : ',') || (field == 2 && *end == '\0'));
            at = end + (whole && *end != '\0' ? 1 : 0);
        }
        if (!whole) {
            std::fprintf(stderr, "sched standin: %s: cannot honour \"%.60s\"\n", name, text);
            return -1;
        }
        records[count] = {static_cast<int>(fields[0]), static_cast<int>(fields[1]),
                          static_cast<int>(fields[2])};
    }
    return count;
}

// The index of `key` among `count` records, or -1, errno `missing` (EINVAL after a refusal).
int Find(const Record* records, int count, int key, int missing)
{
    for (int i = 0; i < count; ++i) {
        if (records[i].key == key) {
            return i;
        }
    }
    errno = count < 0 ? EINVAL : missing;
    return -1;
}

// Logs a call, `format` naming it up to the first blank; true, with errno
// EPERM, when it is SCHED_STANDIN_FAIL's.
bool Called(const char* format, long a = 0, long b = 0, long c = 0)
{
    const char* log = std::getenv("SCHED_STANDIN_LOG");
    FILE* file = log != nullptr ? std::fopen(log, "a") : nullptr;
    if (file != nullptr) {
        std::fprintf(file, format, a, b, c);
        std::fputc(';', file);
        std::fclose(file);
    }
    static const std::string_view kCalls[] = {"", "min", "max", "set", "policy", "param"};
    const char* fail = std::getenv("SCHED_STANDIN_FAIL");
    const std::string_view failing = fail != nullptr ? fail : "";
    if (std::find(std::begin(kCalls), std::end(kCalls), failing) == std::end(kCalls)) {
        std::fprintf(stderr, "sched standin: SCHED_STANDIN_FAIL: cannot honour \"%.60s\"\n", fail);
        errno = EINVAL;
        return true;
    }
    const bool failed = failing == std::string_view(format, std::strcspn(format, " "));
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
    const char* text = std::getenv("SCHED_STANDIN_RANGES");
    count = text != nullptr && *text != '\0' ? Parse("SCHED_STANDIN_RANGES", text, ranges) : count;
    const int index = Find(ranges, count, policy, EINVAL);
    return index < 0 ? nullptr : ranges + index;
}

// Reads the processes; the index of `pid` among them, or -1 with errno as the
// kernel sets it. A file that fills the buffer holds more than eight records.
int Process(pid_t pid)
{
    const char* path = std::getenv("SCHED_STANDIN_STATE");
    FILE* file = path != nullptr ? std::fopen(path, "r") : nullptr;
    char text[kMaxRecords * 40] = "";
    const size_t length = file != nullptr ? std::fread(text, 1, sizeof text - 1, file) : 0;
    if (file != nullptr) {
        std::fclose(file);
    }
    const char* records = length < sizeof text - 1 ? text : "a file too long for eight records";
    processCount = Parse("SCHED_STANDIN_STATE", records, processes);
    return Find(processes, processCount, pid, pid < 0 ? EINVAL : ESRCH);
}

}  // namespace

extern "C" {

int sched_get_priority_min(int algorithm) noexcept
{
    const Record* range = Called("min %ld", algorithm) ? nullptr : Range(algorithm);
    return range == nullptr ? -1 : range->a;
}

int sched_get_priority_max(int algorithm) noexcept
{
    const Record* range = Called("max %ld", algorithm) ? nullptr : Range(algorithm);
    return range == nullptr ? -1 : range->b;
}

int sched_setscheduler(pid_t pid, int policy, const sched_param* param) noexcept
{
    const int priority = param != nullptr ? param->sched_priority : 0;
    const int index = Called("set %ld %ld %ld", pid, policy, priority) ? -1 : Process(pid);
    const Record* range = index < 0 ? nullptr : Range(policy);
    if (range == nullptr || param == nullptr || priority < range->a || priority > range->b) {
        errno = range == nullptr ? errno : EINVAL;
        return -1;
    }
    processes[index] = {static_cast<int>(pid), policy, priority};
    FILE* file = std::fopen(std::getenv("SCHED_STANDIN_STATE"), "w");
    for (int i = 0; file != nullptr && i < processCount; ++i) {
        std::fprintf(file, "%s%d:%d:%d", i == 0 ? "" : ",", processes[i].key, processes[i].a, processes[i].b);
    }
    return file != nullptr && std::fclose(file) == 0 ? 0 : -1;
}

int sched_getscheduler(pid_t pid) noexcept
{
    const int index = Called("policy %ld", pid) ? -1 : Process(pid);
    return index < 0 ? -1 : processes[index].a;
}

int sched_getparam(pid_t pid, sched_param* param) noexcept
{
    const int index = Called("param %ld", pid) ? -1 : Process(pid);
    if (index < 0 || param == nullptr) {
        return -1;
    }
    param->sched_priority = processes[index].b;
    return 0;
}

}  // extern "C"
