// The end-to-end cases, one behaviour a row, each naming the kernels it holds
// on. Pid text names only the child, 0, negative pids or pids above
// PID_MAX_LIMIT, but 1 and 99999 on the guest, a machine of the test's own;
// built around "{pid}", a faulty conversion names the child, where it shows.
#include "cases.h"

#include <algorithm>

using std::string;
using std::to_string;

string Padded(string text, size_t width)
{
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

string ReportLine(const string& pid, Sched sched)
{
    return string(21, ' ') + "pid=" + Padded(pid, 5) + " Policy = " +
           Padded(ExpectedReportName(sched.policy), 15) + " Priority = " +
           Padded(to_string(sched.priority), 3) + "\r\n";
}

namespace {

const char kAssignUsage[] =
    "schedassign [pid] [FIFO | RR | OTHER | MGMT | CALLP | IO | MTC ] [priority]\n"
    "When policy is OTHER, either don't specify a priority or use 0 as priority\n";
const char kReportUsage[] = "schedreport [pid]\r\n";
using Args = std::vector<string>;
const char P[] = "{pid}";
const char A[] = "schedassign";
const char R[] = "schedreport";
constexpr Sched kOther{0, 0};
constexpr Sched kFifo5{1, 5};
constexpr Sched kBatch{3, 0};
constexpr unsigned kTarget = kStandin | kGuest;  // the kernels with the extension policies
constexpr unsigned kReal = kHost | kGuest;
const char kOrdinary[] = "0:0:0,1:1:99,2:1:99";  // the ranges of a kernel without the extensions
const char kFullRange[] = "4:-2147483648:2147483647";
const string kSetFailed = "Error: failed to set scheduler\n";
const string kNoMinimum = "Error: failed to get minimum priority\n";
const string kQueried = "policy {pid};param {pid}";

string RangeError(const string& keyword, int min, int max)
{
    return "Error: priority for " + keyword + " policy must be between " + to_string(min) + " and " +
           to_string(max) + "\n";
}

string Bounds(int policy)
{
    const string n = to_string(policy);
    return "min " + n + ";max " + n;
}

string Set(int policy, const string& pid, int priority)
{
    return Bounds(policy) + ";set " + pid + " " + to_string(policy) + " " + to_string(priority);
}

string Invalid(const string& pid)
{
    return "schedreport (pid=" + pid + "): invalid pid\r\n";
}

std::vector<Case> Build()
{
    std::vector<Case> c;
    auto add = [&c](Case row) {
        row.after = row.after.policy == INT_MIN ? row.before : row.after;
        c.push_back(std::move(row));
    };

    // The argument count, whatever the arguments hold: the usage text, no call.
    add({.argv = {A}, .out = kAssignUsage, .status = 1, .kernels = kAll | kEveryCore});
    add({.argv = {R}, .out = kReportUsage, .status = 1, .kernels = kAll | kEveryCore});
    for (const Args& argv : {Args{A, P}, {A, P, "RR", "10", "20"}, {A, "{long}", "%n", "\xff", "FI\nFO"}}) {
        add({.argv = argv, .out = kAssignUsage, .status = 1});
    }
    for (const Args& argv : {Args{R, P, P}, {R, "{long}", "%n", "\xff", "FI\nFO"}}) {
        add({.argv = argv, .out = kReportUsage, .status = 1});
    }

    // Each real-time policy at both ends of its range and inside it, refused one
    // beyond each end, without a priority (-1) and to nobody (RLIMIT_RTPRIO 0);
    // a kernel without it refuses the minimum query.
    for (const auto& [n, keyword, reportName] : kExpectedPolicies) {
        const unsigned kernels = n <= 2 ? kAll : kTarget;
        if (n == 0) {
            continue;
        }
        for (const int priority : {1, 10, 99}) {
            add({.argv = {A, P, keyword, to_string(priority)}, .after = {n, priority},
                 .kernels = kernels, .calls = Set(n, P, priority)});
        }
        for (const char* priority : {"0", "100"}) {
            add({.argv = {A, P, keyword, priority}, .out = RangeError(keyword, 1, 99),
                 .kernels = kernels | (n == 1 ? kEveryCore : 0U), .calls = Bounds(n)});
        }
        add({.argv = {A, P, keyword}, .out = RangeError(keyword, 1, 99), .kernels = kernels,
             .calls = Bounds(n)});
        add({.argv = {A, P, keyword, "10"}, .out = kSetFailed, .kernels = n <= 2 ? kReal : kGuest,
             .caller = kNobody});
        if (n > 2) {
            add({.argv = {A, P, keyword, "10"}, .out = kNoMinimum, .kernels = kHost | kStandin,
                 .calls = "min " + to_string(n), .ranges = kOrdinary});
        }
    }
    add({.argv = {A, P, "RR", "-1"}, .out = RangeError("RR", 1, 99), .calls = Bounds(2)});

    // OTHER takes 0 alone, in any whole-number spelling; omitted means 0.
    for (const Args& argv : {Args{A, P, "OTHER"}, {A, P, "OTHER", "0"}, {A, P, "OTHER", " 0"},
                             {A, P, "OTHER", "+0"}, {A, P, "OTHER", "-0"}, {A, P, "OTHER", "00"}}) {
        add({.argv = argv, .before = kFifo5, .after = kOther, .calls = Set(0, P, 0)});
    }
    for (const char* priority : {"5", "1", "-1"}) {
        add({.argv = {A, P, "OTHER", priority}, .before = kFifo5,
             .out = "Error: priority for OTHER policy must be 0\n"});
    }

    // Keywords: exact, case-sensitive, whole; echoed as typed, never as a format; before any call.
    for (const char* keyword : {"fifo", "Fifo", "FIFO ", "FIF", "SCHED_FIFO", "1", "", "mgmt", "%s%n",
                                "%s%n%x%p%999999d", "{long}", "\xff\xfe\x80\xc3", "FI\nFO", "RR\r",
                                "\x1b[2J"}) {
        add({.argv = {A, P, keyword, "10"}, .out = string(keyword) + " is not a valid policy\n"});
    }

    // Pid text must be a whole decimal number, else it is refused before the keyword and priority.
    for (const char* pid : {"", " ", "abc", "{pid}e9", "{pid}x", "{pid},234", "0x7fffffff", "{pid} 12",
                            "--help", "-", "+", "{pid}.0", " +{pid}abc", "{pid}\xff", "\xff\xfe", "%s%n%p",
                            "%n%n%n", "{long}", "{9s}x"}) {
        add({.argv = {A, pid, "FIFO", "99"}, .out = kAssignUsage, .status = 1});
        add({.argv = {R, pid}, .out = kReportUsage, .status = 1});
    }
    add({.argv = {A, "{pid}x", "mgmt", "10"}, .out = kAssignUsage, .status = 1});
    add({.argv = {A, "{pid}.0", "OTHER"}, .before = kFifo5, .out = kAssignUsage, .status = 1});
    // White space around it and a sign or leading zeros are allowed.
    for (const char* pid : {" {pid}", "{pid} ", "+{pid}", "00{pid}", "\t{pid}\n", "\n{pid}\r\n"}) {
        add({.argv = {A, pid, "RR", "10"}, .after = {2, 10}, .calls = Set(2, P, 10)});
        add({.argv = {R, pid}, .out = ReportLine(P, kOther), .calls = kQueried});
    }

    // So must the priority, never taken as another number; checked after the pid, before the keyword.
    for (const char* priority :
         {"9O", "1e2", "10x", "abc", "", " ", "0x10", "1 0", "+", "-", "%n%n%n", "{long}", "\n\t 42\xff"}) {
        add({.argv = {A, P, "FIFO", priority}, .out = kAssignUsage, .status = 1});
    }
    add({.argv = {A, P, "OTHER", "abc"}, .before = kFifo5, .out = kAssignUsage, .status = 1});
    add({.argv = {A, P, "bogus", "9O"}, .out = kAssignUsage, .status = 1});
    for (const char* priority : {" 10", "10 ", "+10", "010", "010 "}) {
        add({.argv = {A, P, "RR", priority}, .after = {2, 10}, .calls = Set(2, P, 10)});
    }
    add({.argv = {A, P, "RR", " \t+42"}, .after = {2, 42}, .calls = Set(2, P, 42)});
    // Beyond 32 bits a priority saturates; it never wraps into the range.
    for (const char* priority : {"4294967306", "-4294967295"}) {
        add({.argv = {A, P, "RR", priority}, .out = RangeError("RR", 1, 99), .calls = Bounds(2)});
    }
    for (const char* priority : {"{9s}", "{-7s}"}) {
        add({.argv = {A, P, "MGMT", priority}, .out = RangeError("MGMT", 1, 99), .kernels = kTarget,
             .calls = Bounds(4)});
    }
    add({.argv = {A, P, "MGMT", "4294967306"}, .after = {4, INT_MAX}, .kernels = kStandin,
         .calls = Set(4, P, INT_MAX), .ranges = kFullRange});
    add({.argv = {A, P, "MGMT", "-99999999999999999999"}, .after = {4, INT_MIN}, .kernels = kStandin,
         .calls = Set(4, P, INT_MIN), .ranges = kFullRange});

    // Pids without a process: the kernel refuses the last call, the set. Beyond
    // 32 bits a pid saturates, never wrapping onto process 1 (the guest's /init).
    for (const char* pid : {"99999999", "-5"}) {
        add({.argv = {A, pid, "RR", "10"}, .out = kSetFailed, .calls = Set(2, pid, 10)});
    }
    for (const char* pid : {"4294967297", "99999999999999999999", "{9s}"}) {
        add({.argv = {A, pid, "RR", "10"}, .out = kSetFailed, .kernels = kTarget,
             .calls = Set(2, "2147483647", 10)});
    }
    for (const char* pid : {"-4294967297", "{-7s}"}) {
        add({.argv = {A, pid, "RR", "10"}, .out = kSetFailed, .kernels = kTarget,
             .calls = Set(2, "-2147483648", 10)});
    }
    for (const char* pid : {"99999999", "123456789"}) {
        add({.argv = {R, pid}, .out = Invalid(pid), .status = 1, .calls = string("policy ") + pid});
    }
    add({.argv = {R, "-5"}, .out = Invalid("-5   "), .status = 1, .kernels = kAll | kEveryCore,
         .calls = "policy -5"});
    add({.argv = {R, "99999"}, .out = Invalid("99999"), .status = 1, .kernels = kGuest});
    for (const char* pid : {"99999999999", "4294967297", "{9s}"}) {
        add({.argv = {R, pid}, .out = Invalid("2147483647"), .status = 1, .calls = "policy 2147483647"});
    }
    for (const char* pid : {"{-7s}", "-{9s}"}) {
        add({.argv = {R, pid}, .out = Invalid("-2147483648"), .status = 1, .calls = "policy -2147483648"});
    }

    // The report line: each name of the table padded to 15; numbers outside it
    // (BATCH, IDLE, reset-on-fork) under the fallback, which pushes the rest
    // right by 4, as long priorities do.
    const struct {
        Sched sched;
        unsigned kernels;
    } kReported[] = {
        {{0, 0}, kAll}, {{1, 50}, kAll}, {{2, 99}, kAll}, {{4, 1}, kTarget}, {{64, 42}, kTarget},
        {{256, 7}, kTarget}, {{1024, 77}, kTarget}, {{3, 0}, kAll}, {{5, 0}, kAll},
        {{1 | kResetOnFork, 5}, kAll}, {{2 | kResetOnFork, 5}, kAll}, {{64 | kResetOnFork, 9}, kTarget},
        {{320, 7}, kStandin}, {{1025, 7}, kStandin}, {{-5, 7}, kStandin}, {{2, 1234}, kStandin},
        {{4, -1}, kStandin},
    };
    for (const auto& row : kReported) {
        add({.argv = {R, P}, .before = row.sched, .out = ReportLine(P, row.sched), .kernels = row.kernels,
             .calls = kQueried});
    }
    // The same, spelt out byte for byte.
    add({.argv = {R, "0"},
         .out = "                     pid=0     Policy = SCHED_OTHER     Priority = 0  \r\n",
         .kernels = kAll | kEveryCore, .calls = "policy 0;param 0"});
    add({.argv = {R, P}, .before = {1, 50},
         .out = "                     pid=4194812 Policy = SCHED_FIFO      Priority = 50 \r\n",
         .kernels = kStandin, .calls = kQueried});
    add({.argv = {R, P}, .before = {3, 7},
         .out = "                     pid=4194812 Policy = Unknown policy name Priority = 7  \r\n",
         .kernels = kStandin, .calls = kQueried});
    add({.argv = {R, "1"}, .out = ReportLine("1", kOther), .kernels = kGuest});  // the guest's /init
    add({.argv = {R, P}, .before = kBatch, .out = ReportLine(P, kBatch), .kernels = kReal,
         .caller = kNobody});

    // The stand-in's ranges and failures: whatever the kernel reports.
    auto standin = [&add](Case row) {
        row.kernels = kStandin;
        add(std::move(row));
    };
    standin({.argv = {R, P}, .before = {1, 50}, .out = Invalid(P), .status = 1, .calls = "policy {pid}",
             .fail = "policy"});
    // The process ended between the two queries.
    standin({.argv = {R, P}, .before = {1, 50}, .out = "pid={pid}: invalid pid\r\n", .status = 1,
             .calls = kQueried, .fail = "param"});
    // Its layout with a short pid: the pid's field is 5 wide.
    standin({.argv = {R, "0"}, .out = "pid=0    : invalid pid\r\n", .status = 1, .calls = "policy 0;param 0",
             .fail = "param"});
    standin({.argv = {A, P, "CALLP", "10"}, .out = kNoMinimum, .calls = "min 64", .fail = "min"});
    standin({.argv = {A, P, "CALLP", "10"}, .out = "Error: failed to get maximum priority\n",
             .calls = Bounds(64), .fail = "max"});
    standin({.argv = {A, P, "MTC", "10"}, .out = kSetFailed, .calls = Set(1024, P, 10), .fail = "set"});
    // ENOSYS from the C library, as musl answers: the same request once more by syscall(2), whose
    // answer stands, a success or a failure; after any other failure (EPERM above), none.
    standin({.argv = {A, P, "RR", "10"}, .after = {2, 10}, .calls = Set(2, P, 10) + ";sys set {pid} 2 10",
             .fail = "set ENOSYS"});
    standin({.argv = {A, "-5", "RR", "10"}, .out = kSetFailed, .calls = Set(2, "-5", 10) + ";sys set -5 2 10",
             .fail = "set ENOSYS"});
    standin({.argv = {R, P}, .before = kFifo5, .out = ReportLine(P, kFifo5),
             .calls = "policy {pid};sys policy {pid};param {pid}", .fail = "policy ENOSYS"});
    standin({.argv = {R, P}, .before = kFifo5, .out = ReportLine(P, kFifo5),
             .calls = kQueried + ";sys param {pid}", .fail = "param ENOSYS"});
    standin({.argv = {R, "-5"}, .out = Invalid("-5   "), .status = 1, .calls = "policy -5;sys policy -5",
             .fail = "policy ENOSYS"});
    for (const int priority : {9, 21}) {
        standin({.argv = {A, P, "MGMT", to_string(priority)}, .out = RangeError("MGMT", 10, 20),
                 .calls = Bounds(4), .ranges = "4:10:20"});
    }
    for (const int priority : {10, 20}) {
        standin({.argv = {A, P, "MGMT", to_string(priority)}, .after = {4, priority},
                 .calls = Set(4, P, priority), .ranges = "4:10:20"});
    }
    standin({.argv = {A, P, "MGMT"}, .out = RangeError("MGMT", 0, 5), .calls = Bounds(4), .ranges = "4:0:5"});
    // An omitted priority is -1, which a range reaching below 0 accepts.
    standin({.argv = {A, P, "MGMT"}, .after = {4, -1}, .calls = Set(4, P, -1), .ranges = "4:-5:5"});
    // A range wholly below 0: a maximum below -1 is a bound, not a failure.
    standin({.argv = {A, P, "MGMT", "-15"}, .after = {4, -15}, .calls = Set(4, P, -15),
             .ranges = "4:-20:-10"});

    // Standard output closed: a line that cannot be written ends the run with 1;
    // a silent success still ends with 0. (Every row runs on /dev/full too.)
    add({.argv = {A, P, "fifo", "1"}, .status = 1, .caller = kClosed});
    add({.argv = {A, P, "OTHER", "5"}, .before = kFifo5, .status = 1, .caller = kClosed});
    add({.argv = {R, P}, .status = 1, .calls = kQueried, .caller = kClosed});
    add({.argv = {A, P, "OTHER"}, .before = kBatch, .after = kOther, .calls = Set(0, P, 0),
         .caller = kClosed});
    return c;
}

}  // namespace

const std::vector<Case>& Cases()
{
    static const std::vector<Case> cases = Build();
    return cases;
}
