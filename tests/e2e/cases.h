// The policies as the tests expect them, apart from the programs' table so that
// a wrong row there is caught; what a case holds.
#ifndef SCHEDTOOLS_TESTS_CASES_H
#define SCHEDTOOLS_TESTS_CASES_H

#include <algorithm>
#include <climits>
#include <iterator>
#include <string>
#include <vector>

struct ExpectedPolicy {
    int number;
    const char* keyword;
    const char* reportName;
};

// In the order of the usage text.
constexpr ExpectedPolicy kExpectedPolicies[] = {
    {1, "FIFO", "SCHED_FIFO"}, {2, "RR", "SCHED_RR"}, {0, "OTHER", "SCHED_OTHER"}, {4, "MGMT", "SCHED_MGMT"},
    {64, "CALLP", "SCHED_CALLP"}, {256, "IO", "SCHED_IO"}, {1024, "MTC", "SCHED_MTC"},
};

// The report name of policy number `number`: the fallback outside the table.
constexpr const char* ExpectedReportName(int number)
{
    const auto* row = std::ranges::find(kExpectedPolicies, number, &ExpectedPolicy::number);
    return row == std::end(kExpectedPolicies) ? "Unknown policy name" : row->reportName;
}

constexpr int kResetOnFork = 0x40000000;  // the flag the kernel ORs into a policy number
constexpr int kStandinChild = 4194812;    // above any pid_max: no real process

struct Sched {
    int policy;
    int priority;
};

enum Kernel : unsigned {
    kHost = 1,     // this machine's real kernel, without the extension policies
    kStandin = 2,  // the preloaded stand-in, on any host: any range, any failure
    kGuest = 4,    // the target kernel, booted under QEMU
    kAll = kHost | kStandin | kGuest,
    kEveryCore = 8,  // a host row run on each CPU model of a static PowerPC build
};

enum Caller { kRoot, kNobody, kClosed };  // the runner; uid and gid 65534; the runner without stdout

// One case. In the arguments "{pid}" stands for the child's pid, "{long}" for
// 100000 K, "{9s}" for 100000 nines, "{-7s}" for a minus and 99999 sevens; in
// the output too, "{pid}" padded to 5 as the programs pad it.
struct Case {
    std::vector<std::string> argv{};  // "schedassign" or "schedreport", then its arguments
    Sched before{0, 0};               // the child's policy and priority before the run
    std::string out{};
    int status = 0;
    Sched after{INT_MIN, 0};  // what the kernel tells of the child after the run; unset, `before`
    unsigned kernels = kAll;
    std::string calls{};  // stand-in only: its log after "loaded", as "min 4;max 4;set {pid} 4 10"
    Caller caller = kRoot;
    const char* ranges = "";  // stand-in only: SCHED_STANDIN_RANGES
    const char* fail = "";    // stand-in only: SCHED_STANDIN_FAIL
};

const std::vector<Case>& Cases();
std::string Padded(std::string text, size_t width);
std::string ReportLine(const std::string& pid, Sched sched);  // the report line, pid padded to 5

#endif
