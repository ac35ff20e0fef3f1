// The end-to-end cases, one behaviour a row, for every kernel the runners
// reach. Each row names its kernels: this host's real kernel lacks the
// extension policies; the stand-in alone can be given any range or forced to
// fail; the guest's kernel has every policy. As the programs read pid text,
// rows name only the child (the stand-in's is above any pid_max), 0,
// negative pids and pids above PID_MAX_LIMIT; pid text is built around
// "{pid}", so that a faulty conversion would name the child, where the row
// sees it.
#include "kit.h"

namespace kit {
namespace {

using Args = std::vector<std::string>;
const char P[] = "{pid}";
const char A[] = "schedassign";
const char R[] = "schedreport";
constexpr Sched kOther{0, 0};
constexpr Sched kFifo5{1, 5};
constexpr Sched kBatch{3, 0};
constexpr unsigned kTarget = kStandin | kGuest;  // the kernels with the extension policies
constexpr unsigned kReal = kHost | kGuest;
// The ranges of an ordinary kernel, which lacks the extension policies.
const char kOrdinary[] = "0:0:0,1:1:99,2:1:99";
const char kFullRange[] = "4:-2147483648:2147483647";
const std::string kSetFailed = "Error: failed to set scheduler\n";
const std::string kOtherError = "Error: priority for OTHER policy must be 0\n";
const std::string kNoMinimum = "Error: failed to get minimum priority\n";
const std::string kQueried = "policy {pid};param {pid}";

std::string NotValid(const std::string& keyword)
{
    return keyword + " is not a valid policy\n";
}

std::string Bounds(int policy)
{
    const std::string n = std::to_string(policy);
    return "min " + n + ";max " + n;
}

std::string Set(int policy, const std::string& pid, int priority)
{
    return Bounds(policy) + ";set " + pid + " " + std::to_string(policy) + " " + std::to_string(priority);
}

std::string Invalid(const std::string& pid)
{
    return "schedreport (pid=" + pid + "): invalid pid\r\n";
}

std::vector<Case> Build()
{
    std::vector<Case> c;

    // The argument count, whatever the arguments hold: the usage text, no call.
    c.push_back({.argv = {A}, .out = kAssignUsage, .status = 1, .kernels = kAll | kEveryCore});
    c.push_back({.argv = {R}, .out = kReportUsage, .status = 1, .kernels = kAll | kEveryCore});
    for (const Args& argv : {Args{A, P}, {A, P, "RR", "10", "20"}, {A, "{long}", "%n", "\xff", "FI\nFO"}}) {
        c.push_back({.argv = argv, .out = kAssignUsage, .status = 1});
    }
    for (const Args& argv : {Args{R, P, P}, {R, "{long}", "%n", "\xff", "FI\nFO"}}) {
        c.push_back({.argv = argv, .out = kReportUsage, .status = 1});
    }

    // Each real-time policy at both ends of its range and inside it, refused
    // one beyond each end and without a priority (-1), and refused to an
    // unprivileged caller. A kernel that lacks the policy refuses the
    // minimum query.
    for (const ExpectedPolicy& policy : kExpectedPolicies) {
        const int n = policy.number;
        const std::string keyword = policy.keyword;
        const unsigned kernels = n <= 2 ? kAll : kTarget;
        if (n == 0) {
            continue;
        }
        for (const int priority : {1, 10, 99}) {
            c.push_back({.argv = {A, P, keyword, std::to_string(priority)}, .after = {n, priority}, .kernels = kernels,
                         .calls = Set(n, P, priority)});
        }
        for (const char* priority : {"0", "100"}) {
            c.push_back({.argv = {A, P, keyword, priority}, .out = RangeError(keyword, 1, 99),
                         .kernels = kernels | (n == 1 ? kEveryCore : 0U), .calls = Bounds(n)});
        }
        c.push_back({.argv = {A, P, keyword}, .out = RangeError(keyword, 1, 99), .kernels = kernels, .calls = Bounds(n)});
        c.push_back({.argv = {A, P, keyword, "10"}, .out = kSetFailed, .kernels = n <= 2 ? kReal : kGuest,
                     .caller = Caller::kNobody});
        if (n > 2) {
            c.push_back({.argv = {A, P, keyword, "10"}, .out = kNoMinimum, .kernels = kHost | kStandin,
                         .calls = "min " + std::to_string(n), .ranges = kOrdinary});
        }
    }
    c.push_back({.argv = {A, P, "RR", "-1"}, .out = RangeError("RR", 1, 99), .calls = Bounds(2)});

    // OTHER takes 0 alone, in any whole-number spelling; omitted means 0.
    for (const Args& argv : {Args{A, P, "OTHER"}, {A, P, "OTHER", "0"}, {A, P, "OTHER", " 0"}, {A, P, "OTHER", "+0"},
                             {A, P, "OTHER", "-0"}, {A, P, "OTHER", "00"}}) {
        c.push_back({.argv = argv, .before = kFifo5, .after = kOther, .calls = Set(0, P, 0)});
    }
    for (const char* priority : {"5", "1", "-1"}) {
        c.push_back({.argv = {A, P, "OTHER", priority}, .before = kFifo5, .out = kOtherError});
    }

    // Keywords: exact, case-sensitive, the whole text; echoed as typed, never
    // used as a format; settled before any call.
    for (const char* keyword : {"fifo", "Fifo", "FIFO ", "FIF", "SCHED_FIFO", "1", "", "mgmt", "%s%n",
                                "%s%n%x%p%999999d", "{long}", "\xff\xfe\x80\xc3", "FI\nFO", "RR\r", "\x1b[2J"}) {
        c.push_back({.argv = {A, P, keyword, "10"}, .out = NotValid(keyword)});
    }

    // Pid text must be a whole decimal number; any other never reaches the
    // kernel, and is refused before the keyword or the priority is read.
    for (const char* pid : {"", " ", "abc", "{pid}e9", "{pid}x", "{pid},234", "0x7fffffff", "{pid} 12", "--help", "-",
                            "+", "{pid}.0", " +{pid}abc", "{pid}\xff", "\xff\xfe", "%s%n%p", "%n%n%n", "{long}",
                            "{9s}x"}) {
        c.push_back({.argv = {A, pid, "FIFO", "99"}, .out = kAssignUsage, .status = 1});
        c.push_back({.argv = {R, pid}, .out = kReportUsage, .status = 1});
    }
    c.push_back({.argv = {A, "{pid}x", "mgmt", "10"}, .out = kAssignUsage, .status = 1});
    c.push_back({.argv = {A, "{pid}.0", "OTHER"}, .before = kFifo5, .out = kAssignUsage, .status = 1});
    // White space around it and a sign or leading zeros are allowed.
    for (const char* pid : {" {pid}", "{pid} ", "+{pid}", "00{pid}", "\t{pid}\n", "\n{pid}\r\n"}) {
        c.push_back({.argv = {A, pid, "RR", "10"}, .after = {2, 10}, .calls = Set(2, P, 10)});
        c.push_back({.argv = {R, pid}, .out = ReportLine(P, kOther), .calls = kQueried});
    }

    // So must the priority be: a mistyped one is never applied as another
    // number. It is checked after the pid and before the keyword.
    for (const char* priority :
         {"9O", "1e2", "10x", "abc", "", " ", "0x10", "1 0", "+", "-", "%n%n%n", "{long}", "\n\t 42\xff"}) {
        c.push_back({.argv = {A, P, "FIFO", priority}, .out = kAssignUsage, .status = 1});
    }
    c.push_back({.argv = {A, P, "OTHER", "abc"}, .before = kFifo5, .out = kAssignUsage, .status = 1});
    c.push_back({.argv = {A, P, "bogus", "9O"}, .out = kAssignUsage, .status = 1});
    for (const char* priority : {" 10", "10 ", "+10", "010", "010 "}) {
        c.push_back({.argv = {A, P, "RR", priority}, .after = {2, 10}, .calls = Set(2, P, 10)});
    }
    c.push_back({.argv = {A, P, "RR", " \t+42"}, .after = {2, 42}, .calls = Set(2, P, 42)});
    // Beyond 32 bits a priority saturates; it never wraps into the range.
    for (const char* priority : {"4294967306", "-4294967295"}) {
        c.push_back({.argv = {A, P, "RR", priority}, .out = RangeError("RR", 1, 99), .calls = Bounds(2)});
    }
    for (const char* priority : {"{9s}", "{-7s}"}) {
        c.push_back({.argv = {A, P, "MGMT", priority}, .out = RangeError("MGMT", 1, 99), .kernels = kTarget,
                     .calls = Bounds(4)});
    }
    c.push_back({.argv = {A, P, "MGMT", "4294967306"}, .after = {4, INT_MAX}, .kernels = kStandin,
                 .calls = Set(4, P, INT_MAX), .ranges = kFullRange});
    c.push_back({.argv = {A, P, "MGMT", "-99999999999999999999"}, .after = {4, INT_MIN}, .kernels = kStandin,
                 .calls = Set(4, P, INT_MIN), .ranges = kFullRange});

    // Pids without a process: the kernel refuses the set call, the last one.
    // Beyond 32 bits a pid saturates and never wraps onto process 1: the
    // guest's /init, or nothing on the stand-in; never this host's own.
    for (const char* pid : {"99999999", "-5"}) {
        c.push_back({.argv = {A, pid, "RR", "10"}, .out = kSetFailed, .calls = Set(2, pid, 10)});
    }
    for (const char* pid : {"4294967297", "99999999999999999999", "{9s}"}) {
        c.push_back({.argv = {A, pid, "RR", "10"}, .out = kSetFailed, .kernels = kTarget,
                     .calls = Set(2, "2147483647", 10)});
    }
    for (const char* pid : {"-4294967297", "{-7s}"}) {
        c.push_back({.argv = {A, pid, "RR", "10"}, .out = kSetFailed, .kernels = kTarget,
                     .calls = Set(2, "-2147483648", 10)});
    }
    for (const char* pid : {"99999999", "123456789"}) {
        c.push_back({.argv = {R, pid}, .out = Invalid(pid), .status = 1, .calls = std::string("policy ") + pid});
    }
    c.push_back({.argv = {R, "-5"}, .out = Invalid("-5   "), .status = 1, .kernels = kAll | kEveryCore,
                 .calls = "policy -5"});
    c.push_back({.argv = {R, "99999"}, .out = Invalid("99999"), .status = 1, .kernels = kGuest});
    for (const char* pid : {"99999999999", "4294967297", "{9s}"}) {
        c.push_back({.argv = {R, pid}, .out = Invalid("2147483647"), .status = 1, .calls = "policy 2147483647"});
    }
    for (const char* pid : {"{-7s}", "-{9s}"}) {
        c.push_back({.argv = {R, pid}, .out = Invalid("-2147483648"), .status = 1, .calls = "policy -2147483648"});
    }

    // The report line: every name of the table padded to 15; numbers outside
    // it (BATCH, IDLE, the reset-on-fork flag) under the fallback name, which
    // pushes the rest right by 4; long priorities push it too.
    const struct {
        Sched sched;
        unsigned kernels;
    } kReported[] = {
        {{0, 0}, kAll},       {{1, 50}, kAll},      {{2, 99}, kAll},    {{4, 1}, kTarget},
        {{64, 42}, kTarget},  {{256, 7}, kTarget},  {{1024, 77}, kTarget}, {{3, 0}, kAll},
        {{5, 0}, kAll},       {{1 | kResetOnFork, 5}, kAll},          {{2 | kResetOnFork, 5}, kAll},
        {{64 | kResetOnFork, 9}, kTarget},          {{320, 7}, kStandin}, {{1025, 7}, kStandin},
        {{-5, 7}, kStandin},  {{2, 1234}, kStandin}, {{4, -1}, kStandin},
    };
    for (const auto& row : kReported) {
        c.push_back({.argv = {R, P}, .before = row.sched, .out = ReportLine(P, row.sched), .kernels = row.kernels,
                     .calls = kQueried});
    }
    // The same layout spelt out, byte for byte.
    c.push_back({.argv = {R, "0"}, .out = "                     pid=0     Policy = SCHED_OTHER     Priority = 0  \r\n",
                 .kernels = kAll | kEveryCore, .calls = "policy 0;param 0"});
    c.push_back({.argv = {R, P}, .before = {1, 50},
                 .out = "                     pid=4194812 Policy = SCHED_FIFO      Priority = 50 \r\n",
                 .kernels = kStandin, .calls = kQueried});
    c.push_back({.argv = {R, P}, .before = {3, 7},
                 .out = "                     pid=4194812 Policy = Unknown policy name Priority = 7  \r\n",
                 .kernels = kStandin, .calls = kQueried});
    c.push_back({.argv = {R, "1"}, .out = ReportLine("1", kOther), .kernels = kGuest});  // the guest's /init
    c.push_back({.argv = {R, P}, .before = kBatch, .out = ReportLine(P, kBatch), .kernels = kReal,
                 .caller = Caller::kNobody});

    // The stand-in's ranges and forced failures: whatever the kernel reports.
    c.push_back({.argv = {R, P}, .before = {1, 50}, .out = Invalid(P), .status = 1, .kernels = kStandin,
                 .calls = "policy {pid}", .fail = "policy"});
    // The process ended between the two queries.
    c.push_back({.argv = {R, P}, .before = {1, 50}, .out = "pid={pid}: invalid pid\r\n", .status = 1,
                 .kernels = kStandin, .calls = kQueried, .fail = "param"});
    // Its layout spelt out with a short pid: the pid's field is 5 wide.
    c.push_back({.argv = {R, "0"}, .out = "pid=0    : invalid pid\r\n", .status = 1, .kernels = kStandin,
                 .calls = "policy 0;param 0", .fail = "param"});
    c.push_back({.argv = {A, P, "CALLP", "10"}, .out = kNoMinimum, .kernels = kStandin, .calls = "min 64", .fail = "min"});
    c.push_back({.argv = {A, P, "CALLP", "10"}, .out = "Error: failed to get maximum priority\n", .kernels = kStandin,
                 .calls = Bounds(64), .fail = "max"});
    c.push_back({.argv = {A, P, "MTC", "10"}, .out = kSetFailed, .kernels = kStandin, .calls = Set(1024, P, 10),
                 .fail = "set"});
    for (const int priority : {9, 21}) {
        c.push_back({.argv = {A, P, "MGMT", std::to_string(priority)}, .out = RangeError("MGMT", 10, 20),
                     .kernels = kStandin, .calls = Bounds(4), .ranges = "4:10:20"});
    }
    for (const int priority : {10, 20}) {
        c.push_back({.argv = {A, P, "MGMT", std::to_string(priority)}, .after = {4, priority}, .kernels = kStandin,
                     .calls = Set(4, P, priority), .ranges = "4:10:20"});
    }
    c.push_back({.argv = {A, P, "MGMT"}, .out = RangeError("MGMT", 0, 5), .kernels = kStandin, .calls = Bounds(4),
                 .ranges = "4:0:5"});
    // An omitted priority is -1, which a range reaching below 0 accepts.
    c.push_back({.argv = {A, P, "MGMT"}, .after = {4, -1}, .kernels = kStandin, .calls = Set(4, P, -1),
                 .ranges = "4:-5:5"});
    // A range wholly below 0: a maximum below -1 is a bound, not a failure.
    c.push_back({.argv = {A, P, "MGMT", "-15"}, .after = {4, -15}, .kernels = kStandin, .calls = Set(4, P, -15),
                 .ranges = "4:-20:-10"});

    // Standard output closed: a line that cannot be written ends the run
    // with 1; a silent success has nothing to write and still ends with 0.
    // (Every row runs on a full standard output too.)
    c.push_back({.argv = {A, P, "fifo", "1"}, .status = 1, .caller = Caller::kClosed});
    c.push_back({.argv = {A, P, "OTHER", "5"}, .before = kFifo5, .status = 1, .caller = Caller::kClosed});
    c.push_back({.argv = {R, P}, .status = 1, .calls = kQueried, .caller = Caller::kClosed});
    c.push_back({.argv = {A, P, "OTHER"}, .before = kBatch, .after = kOther, .calls = Set(0, P, 0),
                 .caller = Caller::kClosed});
    return c;
}

}  // namespace

const std::vector<Case>& Cases()
{
    static const std::vector<Case> cases = Build();
    return cases;
}

}  // namespace kit
