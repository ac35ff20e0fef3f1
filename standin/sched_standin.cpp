// A stand-in for the target kernel's scheduler, preloaded (LD_PRELOAD) into
// the unchanged programs. It answers the five POSIX scheduling calls from a
// small model instead of the real kernel, so that policies this host's kernel
// lacks (4, 64, 256, 1024) can be exercised, and failures the real kernel
// rarely gives can be forced.
//
// It is steered by environment variables; the programs themselves read none.
//   SCHED_STANDIN_RANGES  "policy:min:max,..."  the priority range of each
//                         policy; a policy not listed is unknown (EINVAL).
//                         Unset: 0:0:0 for OTHER, 1:1:99 for every other
//                         policy of the table.
//   SCHED_STANDIN_STATE   path of the process table, one "pid policy priority"
//                         line a process; a pid not in it names no process
//                         (ESRCH). sched_setscheduler rewrites the file, so a
//                         later run sees what an earlier one set. Unset: no
//                         processes.
//   SCHED_STANDIN_FAIL    "call,call,..." calls that return -1 (errno EPERM)
//                         whatever their arguments.
//   SCHED_STANDIN_LOG     path of a file to which every call received is
//                         appended as one line: its name and its arguments.
// Pid 0 names the calling process, as for the kernel.
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxEntries = 64;

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

constexpr Range kDefaultRanges[] = {{0, 0, 0},  {1, 1, 99},   {2, 1, 99},   {4, 1, 99},
                                    {64, 1, 99}, {256, 1, 99}, {1024, 1, 99}};

// Reads a decimal number at *text, skipping blanks before it, and moves
// *text past it; false when there is none or it does not fit an int.
bool ReadInt(const char** text, int* value)
{
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(*text, &end, 10);
    if (end == *text || errno != 0 || number < INT_MIN || number > INT_MAX) {
        return false;
    }
    *value = static_cast<int>(number);
    *text = end;
    return true;
}

void Complain(const char* what, const char* text)
{
    std::fprintf(stderr, "sched-standin: %s: %s\n", what, text);
}

// Appends "call a b c" (the first `argCount` arguments) to the call log.
void Log(const char* call, int argCount, long a, long b = 0, long c = 0)
{
    const char* path = std::getenv("SCHED_STANDIN_LOG");
    if (path == nullptr) {
        return;
    }
    FILE* file = std::fopen(path, "a");
    if (file == nullptr) {
        Complain("cannot append to", path);
        return;
    }
    const long args[] = {a, b, c};
    std::fputs(call, file);
    for (int i = 0; i < argCount; ++i) {
        std::fprintf(file, " %ld", args[i]);
    }
    std::fputc('\n', file);
    std::fclose(file);
}

// True when `call` is listed in SCHED_STANDIN_FAIL; errno is then EPERM.
bool ForcedToFail(const char* call)
{
    const char* list = std::getenv("SCHED_STANDIN_FAIL");
    const size_t length = std::strlen(call);
    for (const char* p = list; p != nullptr && *p != '\0';) {
        const char* end = std::strchr(p, ',');
        const size_t itemLength = (end != nullptr) ? static_cast<size_t>(end - p) : std::strlen(p);
        if (itemLength == length && std::strncmp(p, call, length) == 0) {
            errno = EPERM;
            return true;
        }
        p = (end != nullptr) ? end + 1 : nullptr;
    }
    return false;
}

// Finds the range of `policy`; false (errno EINVAL) for an unknown policy.
bool FindRange(int policy, Range* out)
{
    const char* text = std::getenv("SCHED_STANDIN_RANGES");
    if (text == nullptr) {
        for (const Range& range : kDefaultRanges) {
            // cppcheck-suppress useStlAlgorithm ; same plain loop as the parsed ranges below
            if (range.policy == policy) {
                *out = range;
                return true;
            }
        }
    } else {
        for (const char* p = text; *p != '\0';) {
            Range range{};
            const bool ok = ReadInt(&p, &range.policy) && *p++ == ':' && ReadInt(&p, &range.min) &&
                            *p++ == ':' && ReadInt(&p, &range.max) && (*p == ',' || *p == '\0');
            if (!ok) {
                Complain("malformed SCHED_STANDIN_RANGES", text);
                break;
            }
            if (range.policy == policy) {
                *out = range;
                return true;
            }
            if (*p == ',') {
                ++p;
            }
        }
    }
    errno = EINVAL;
    return false;
}

// Reads the process table into `table`; returns the number of entries.
int LoadProcesses(Process* table)
{
    const char* path = std::getenv("SCHED_STANDIN_STATE");
    if (path == nullptr) {
        return 0;
    }
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) {
        return 0;
    }
    char text[kMaxEntries * 40];
    const size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[length] = '\0';
    int count = 0;
    const char* p = text;
    Process entry{};
    while (count < kMaxEntries && ReadInt(&p, &entry.pid) && ReadInt(&p, &entry.policy) &&
           ReadInt(&p, &entry.priority)) {
        table[count++] = entry;
    }
    return count;
}

void SaveProcesses(const Process* table, int count)
{
    const char* path = std::getenv("SCHED_STANDIN_STATE");
    FILE* file = std::fopen(path, "w");
    if (file == nullptr) {
        Complain("cannot write", path);
        return;
    }
    for (int i = 0; i < count; ++i) {
        std::fprintf(file, "%d %d %d\n", table[i].pid, table[i].policy, table[i].priority);
    }
    std::fclose(file);
}

// Index of the process `pid` names in `table`, or -1 (errno ESRCH or EINVAL).
int FindProcess(const Process* table, int count, pid_t pid)
{
    if (pid < 0) {
        errno = EINVAL;
        return -1;
    }
    const int wanted = (pid == 0) ? getpid() : pid;
    for (int i = 0; i < count; ++i) {
        if (table[i].pid == wanted) {
            return i;
        }
    }
    errno = ESRCH;
    return -1;
}

// One end of the range of `policy` for the bound query `call`, or -1.
int Bound(const char* call, int policy, bool highest)
{
    Log(call, 1, policy);
    Range range{};
    if (ForcedToFail(call) || !FindRange(policy, &range)) {
        return -1;
    }
    return highest ? range.max : range.min;
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
    Log("sched_setscheduler", 3, pid, policy, (param != nullptr) ? param->sched_priority : 0L);
    if (ForcedToFail("sched_setscheduler")) {
        return -1;
    }
    Process table[kMaxEntries];
    const int count = LoadProcesses(table);
    const int index = FindProcess(table, count, pid);
    Range range{};
    if (index < 0 || !FindRange(policy, &range)) {
        return -1;
    }
    if (param == nullptr || param->sched_priority < range.min || param->sched_priority > range.max) {
        errno = EINVAL;
        return -1;
    }
    table[index].policy = policy;
    table[index].priority = param->sched_priority;
    SaveProcesses(table, count);
    return 0;
}

int sched_getscheduler(pid_t pid) noexcept
{
    Log("sched_getscheduler", 1, pid);
    if (ForcedToFail("sched_getscheduler")) {
        return -1;
    }
    Process table[kMaxEntries];
    const int index = FindProcess(table, LoadProcesses(table), pid);
    return index < 0 ? -1 : table[index].policy;
}

int sched_getparam(pid_t pid, sched_param* param) noexcept
{
    Log("sched_getparam", 1, pid);
    if (ForcedToFail("sched_getparam")) {
        return -1;
    }
    Process table[kMaxEntries];
    const int index = FindProcess(table, LoadProcesses(table), pid);
    if (index < 0 || param == nullptr) {
        return -1;
    }
    param->sched_priority = table[index].priority;
    return 0;
}

}  // extern "C"
