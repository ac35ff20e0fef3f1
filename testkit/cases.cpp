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

std::string NotValid(const std::string& keyword)
{
    return keyword + " is not a valid policy\n";
}

std::string Set(int policy, const std::string& pid, int priority)
{
    const std::string n = std::to_string(policy);
    return "min " + n + ";max " + n + ";set " + pid + " " + n + " " + std::to_string(priority);
}

std::string Bounds(int policy)
{
    const std::string n = std::to_string(policy);
    return "min " + n + ";max " + n;
}

std::string Invalid(const std::string& pid)
{
    return "schedreport (pid=" + pid + "): invalid pid\r\n";
}

std::vector<Case> Build()
{
    const std::string queried = "policy {pid};param {pid}";
    std::vector<Case> c;

    // The argument count, whatever the arguments hold: the usage text, no call.
    c.push_back({A, {}, kOther, kAssignUsage, 1, kOther, kAll | kEveryCore});
    c.push_back({R, {}, kOther, kReportUsage, 1, kOther, kAll | kEveryCore});
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{P}, {P, "RR", "10", "20"}, {"{long}", "%n", "\xff", "FI\nFO"}}) {
        c.push_back({A, args, kOther, kAssignUsage, 1, kOther, kAll});
    }
    for (const std::vector<std::string>& args : {std::vector<std::string>{P, P}, {"{long}", "%n", "\xff", "FI\nFO"}}) {
        c.push_back({R, args, kOther, kReportUsage, 1, kOther, kAll});
    }

    // Each real-time policy at both ends of its range and inside it, refused
    // one beyond each end and without a priority (-1), and refused to an
    // unprivileged caller. A kernel that lacks the policy refuses the
    // minimum query.
    for (const ExpectedPolicy& policy : kExpectedPolicies) {
        if (policy.number == 0) {
            continue;
        }
        const int n = policy.number;
        const std::string keyword = policy.keyword;
        const unsigned kernels = n <= 2 ? kAll : kTarget;
        for (const int priority : {1, 10, 99}) {
            c.push_back({A, {P, keyword, std::to_string(priority)}, kOther, "", 0, {n, priority}, kernels,
                         Set(n, P, priority)});
        }
        for (const char* priority : {"0", "100"}) {
            c.push_back({A, {P, keyword, priority}, kOther, RangeError(keyword, 1, 99), 0, kOther,
                         kernels | (n == 1 ? kEveryCore : 0U), Bounds(n)});
        }
        c.push_back({A, {P, keyword}, kOther, RangeError(keyword, 1, 99), 0, kOther, kernels, Bounds(n)});
        c.push_back({A, {P, keyword, "10"}, kOther, kSetFailed, 0, kOther, n <= 2 ? kReal : kGuest, "",
                     Caller::kNobody});
        if (n > 2) {
            c.push_back({A, {P, keyword, "10"}, kOther, kNoMinimum, 0, kOther, kHost | kStandin,
                         "min " + std::to_string(n), Caller::kRoot, kOrdinary});
        }
    }
    c.push_back({A, {P, "RR", "-1"}, kOther, RangeError("RR", 1, 99), 0, kOther, kAll, Bounds(2)});

    // OTHER takes 0 alone, in any whole-number spelling; omitted means 0.
    c.push_back({A, {P, "OTHER"}, kFifo5, "", 0, kOther, kAll, Set(0, P, 0)});
    for (const char* priority : {"0", " 0", "+0", "-0", "00"}) {
        c.push_back({A, {P, "OTHER", priority}, kFifo5, "", 0, kOther, kAll, Set(0, P, 0)});
    }
    for (const char* priority : {"5", "1", "-1"}) {
        c.push_back({A, {P, "OTHER", priority}, kFifo5, kOtherError, 0, kFifo5, kAll});
    }

    // Keywords: exact, case-sensitive, the whole text; echoed as typed, never
    // used as a format; settled before any call.
    for (const char* keyword : {"fifo", "Fifo", "FIFO ", "FIF", "SCHED_FIFO", "1", "", "mgmt", "%s%n",
                                "%s%n%x%p%999999d", "{long}", "\xff\xfe\x80\xc3", "FI\nFO", "RR\r", "\x1b[2J"}) {
        c.push_back({A, {P, keyword, "10"}, kOther, NotValid(keyword), 0, kOther, kAll});
    }

    // Pid text must be a whole decimal number; any other never reaches the
    // kernel, and is refused before the keyword or the priority is read.
    for (const char* pid : {"", " ", "abc", "{pid}e9", "{pid}x", "{pid},234", "0x7fffffff", "{pid} 12", "--help", "-",
                            "+", "{pid}.0", " +{pid}abc", "{pid}\xff", "\xff\xfe", "%s%n%p", "%n%n%n", "{long}",
                            "{9s}x"}) {
        c.push_back({A, {pid, "FIFO", "99"}, kOther, kAssignUsage, 1, kOther, kAll});
        c.push_back({R, {pid}, kOther, kReportUsage, 1, kOther, kAll});
    }
    c.push_back({A, {"{pid}x", "mgmt", "10"}, kOther, kAssignUsage, 1, kOther, kAll});
    c.push_back({A, {"{pid}.0", "OTHER"}, kFifo5, kAssignUsage, 1, kFifo5, kAll});
    // White space around it and a sign or leading zeros are allowed.
    for (const char* pid : {" {pid}", "{pid} ", "+{pid}", "00{pid}", "\t{pid}\n", "\n{pid}\r\n"}) {
        c.push_back({A, {pid, "RR", "10"}, kOther, "", 0, {2, 10}, kAll, Set(2, P, 10)});
        c.push_back({R, {pid}, kOther, ReportLine(P, kOther), 0, kOther, kAll, queried});
    }

    // So must the priority be: a mistyped one is never applied as another
    // number. It is checked after the pid and before the keyword.
    for (const char* priority :
         {"9O", "1e2", "10x", "abc", "", " ", "0x10", "1 0", "+", "-", "%n%n%n", "{long}", "\n\t 42\xff"}) {
        c.push_back({A, {P, "FIFO", priority}, kOther, kAssignUsage, 1, kOther, kAll});
    }
    c.push_back({A, {P, "OTHER", "abc"}, kFifo5, kAssignUsage, 1, kFifo5, kAll});
    c.push_back({A, {P, "bogus", "9O"}, kOther, kAssignUsage, 1, kOther, kAll});
    for (const char* priority : {" 10", "10 ", "+10", "010", "010 "}) {
        c.push_back({A, {P, "RR", priority}, kOther, "", 0, {2, 10}, kAll, Set(2, P, 10)});
    }
    c.push_back({A, {P, "RR", " \t+42"}, kOther, "", 0, {2, 42}, kAll, Set(2, P, 42)});
    // Beyond 32 bits a priority saturates; it never wraps into the range.
    c.push_back({A, {P, "RR", "4294967306"}, kOther, RangeError("RR", 1, 99), 0, kOther, kAll, Bounds(2)});
    c.push_back({A, {P, "RR", "-4294967295"}, kOther, RangeError("RR", 1, 99), 0, kOther, kAll, Bounds(2)});
    c.push_back({A, {P, "MGMT", "{9s}"}, kOther, RangeError("MGMT", 1, 99), 0, kOther, kTarget, Bounds(4)});
    c.push_back({A, {P, "MGMT", "{-7s}"}, kOther, RangeError("MGMT", 1, 99), 0, kOther, kTarget, Bounds(4)});
    c.push_back({A, {P, "MGMT", "4294967306"}, kOther, "", 0, {4, 2147483647}, kStandin, Set(4, P, 2147483647),
                 Caller::kRoot, kFullRange});
    c.push_back({A, {P, "MGMT", "-99999999999999999999"}, kOther, "", 0, {4, -2147483647 - 1}, kStandin,
                 Set(4, P, -2147483647 - 1), Caller::kRoot, kFullRange});

    // Pids without a process: the kernel refuses the set call, the last one.
    // Beyond 32 bits a pid saturates and never wraps onto process 1: the
    // guest's /init, or nothing on the stand-in; never this host's own.
    c.push_back({A, {"99999999", "RR", "10"}, kOther, kSetFailed, 0, kOther, kAll, Set(2, "99999999", 10)});
    c.push_back({A, {"-5", "RR", "10"}, kOther, kSetFailed, 0, kOther, kAll, Set(2, "-5", 10)});
    for (const char* pid : {"4294967297", "99999999999999999999", "{9s}"}) {
        c.push_back({A, {pid, "RR", "10"}, kOther, kSetFailed, 0, kOther, kTarget, Set(2, "2147483647", 10)});
    }
    for (const char* pid : {"-4294967297", "{-7s}"}) {
        c.push_back({A, {pid, "RR", "10"}, kOther, kSetFailed, 0, kOther, kTarget, Set(2, "-2147483648", 10)});
    }
    c.push_back({R, {"99999999"}, kOther, Invalid("99999999"), 1, kOther, kAll, "policy 99999999"});
    c.push_back({R, {"123456789"}, kOther, Invalid("123456789"), 1, kOther, kAll, "policy 123456789"});
    c.push_back({R, {"-5"}, kOther, Invalid("-5   "), 1, kOther, kAll | kEveryCore, "policy -5"});
    c.push_back({R, {"99999"}, kOther, Invalid("99999"), 1, kOther, kGuest});
    for (const char* pid : {"99999999999", "4294967297", "{9s}"}) {
        c.push_back({R, {pid}, kOther, Invalid("2147483647"), 1, kOther, kAll, "policy 2147483647"});
    }
    for (const char* pid : {"{-7s}", "-{9s}"}) {
        c.push_back({R, {pid}, kOther, Invalid("-2147483648"), 1, kOther, kAll, "policy -2147483648"});
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
        c.push_back({R, {P}, row.sched, ReportLine(P, row.sched), 0, row.sched, row.kernels, queried});
    }
    // The same layout spelt out, byte for byte.
    c.push_back({R, {"0"}, kOther, "                     pid=0     Policy = SCHED_OTHER     Priority = 0  \r\n", 0,
                 kOther, kAll | kEveryCore, "policy 0;param 0"});
    c.push_back({R, {P}, {1, 50}, "                     pid=4194812 Policy = SCHED_FIFO      Priority = 50 \r\n", 0,
                 {1, 50}, kStandin, queried});
    c.push_back({R, {P}, {3, 7}, "                     pid=4194812 Policy = Unknown policy name Priority = 7  \r\n",
                 0, {3, 7}, kStandin, queried});
    c.push_back({R, {"1"}, kOther, ReportLine("1", kOther), 0, kOther, kGuest});  // the guest's /init
    c.push_back({R, {P}, kBatch, ReportLine(P, kBatch), 0, kBatch, kReal, "", Caller::kNobody});

    // The stand-in's ranges and forced failures: whatever the kernel reports.
    c.push_back({R, {P}, {1, 50}, Invalid(P), 1, {1, 50}, kStandin, "policy {pid}", Caller::kRoot, "",
                 "sched_getscheduler"});
    // The process ended between the two queries.
    c.push_back({R, {P}, {1, 50}, "pid={pid}: invalid pid\r\n", 1, {1, 50}, kStandin, queried, Caller::kRoot, "",
                 "sched_getparam"});
    // Its layout spelt out with a short pid: the pid's field is 5 wide.
    c.push_back({R, {"0"}, kOther, "pid=0    : invalid pid\r\n", 1, kOther, kStandin, "policy 0;param 0", Caller::kRoot,
                 "", "sched_getparam"});
    c.push_back({A, {P, "CALLP", "10"}, kOther, kNoMinimum, 0, kOther, kStandin, "min 64", Caller::kRoot, "",
                 "sched_get_priority_min"});
    c.push_back({A, {P, "CALLP", "10"}, kOther, "Error: failed to get maximum priority\n", 0, kOther, kStandin,
                 Bounds(64), Caller::kRoot, "", "sched_get_priority_max"});
    c.push_back({A, {P, "MTC", "10"}, kOther, kSetFailed, 0, kOther, kStandin, Set(1024, P, 10), Caller::kRoot, "",
                 "sched_setscheduler"});
    for (const int priority : {9, 21}) {
        c.push_back({A, {P, "MGMT", std::to_string(priority)}, kOther, RangeError("MGMT", 10, 20), 0, kOther,
                     kStandin, Bounds(4), Caller::kRoot, "4:10:20"});
    }
    for (const int priority : {10, 20}) {
        c.push_back({A, {P, "MGMT", std::to_string(priority)}, kOther, "", 0, {4, priority}, kStandin,
                     Set(4, P, priority), Caller::kRoot, "4:10:20"});
    }
    c.push_back({A, {P, "MGMT"}, kOther, RangeError("MGMT", 0, 5), 0, kOther, kStandin, Bounds(4), Caller::kRoot,
                 "4:0:5"});
    // An omitted priority is -1, which a range reaching below 0 accepts.
    c.push_back({A, {P, "MGMT"}, kOther, "", 0, {4, -1}, kStandin, Set(4, P, -1), Caller::kRoot, "4:-5:5"});

    // A line that cannot be written whole ends the run with 1; a silent
    // success has nothing to write and still ends with 0.
    for (const Caller caller : {Caller::kClosed, Caller::kFull}) {
        c.push_back({A, {P, "fifo", "1"}, kOther, "", 1, kOther, kAll, "", caller});
        c.push_back({A, {P, "OTHER", "5"}, kFifo5, "", 1, kFifo5, kAll, "", caller});
        c.push_back({R, {P}, kOther, "", 1, kOther, kAll, queried, caller});
        c.push_back({A, {P, "OTHER"}, kBatch, "", 0, kOther, kAll, Set(0, P, 0), caller});
    }
    return c;
}

}  // namespace

const std::vector<Case>& Cases()
{
    static const std::vector<Case> cases = Build();
    return cases;
}

}  // namespace kit
