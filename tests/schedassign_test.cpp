// schedassign end to end: on the real kernel against a sleeping child, and on
// the stand-in kernel for the extension policies and the rare failures.
#include <gtest/gtest.h>
#include <sched.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

const char kUsage[] =
    "schedassign [pid] [FIFO | RR | OTHER | MGMT | CALLP | IO | MTC ] [priority]\n"
    "When policy is OTHER, either don't specify a priority or use 0 as priority\n";

std::vector<std::string> WithPid(std::vector<std::string> args, const std::string& pid)
{
    for (std::string& arg : args) {
        if (arg == "{pid}") {
            arg = pid;
        }
    }
    return args;
}

std::string Joined(const std::vector<std::string>& args)
{
    std::string text;
    for (const std::string& arg : args) {
        text += "[" + arg + "]";
    }
    return text;
}

// The child starts under FIFO 5, so that a change to OTHER shows too.
const char kStart[] = "SCHED_FIFO 5";

struct RealCase {
    std::vector<std::string> args;  // "{pid}" stands for the child's pid
    std::string out;
    int status;
    std::string after;  // chrt's reading of the child afterwards
};

const RealCase kRealCases[] = {
    // Argument count.
    {{}, kUsage, 1, kStart},
    {{"{pid}"}, kUsage, 1, kStart},
    {{"{pid}", "RR", "10", "20"}, kUsage, 1, kStart},
    // OTHER takes 0 alone, in any whole-number spelling; omitted means 0.
    {{"{pid}", "OTHER"}, "", 0, "SCHED_OTHER 0"},
    {{"{pid}", "OTHER", "0"}, "", 0, "SCHED_OTHER 0"},
    {{"{pid}", "OTHER", " 0"}, "", 0, "SCHED_OTHER 0"},
    {{"{pid}", "OTHER", "+0"}, "", 0, "SCHED_OTHER 0"},
    {{"{pid}", "OTHER", "-0"}, "", 0, "SCHED_OTHER 0"},
    {{"{pid}", "OTHER", "00"}, "", 0, "SCHED_OTHER 0"},
    {{"{pid}", "OTHER", "abc"}, kUsage, 1, kStart},
    {{"{pid}", "OTHER", ""}, kUsage, 1, kStart},
    {{"{pid}", "OTHER", "5"}, "Error: priority for OTHER policy must be 0\n", 0, kStart},
    {{"{pid}", "OTHER", "-1"}, "Error: priority for OTHER policy must be 0\n", 0, kStart},
    // The range check: bounds allowed, one beyond refused, omitted is -1.
    {{"{pid}", "FIFO", "1"}, "", 0, "SCHED_FIFO 1"},
    {{"{pid}", "FIFO", "99"}, "", 0, "SCHED_FIFO 99"},
    {{"{pid}", "RR", "0"}, "Error: priority for RR policy must be between 1 and 99\n", 0, kStart},
    {{"{pid}", "RR", "100"}, "Error: priority for RR policy must be between 1 and 99\n", 0, kStart},
    {{"{pid}", "FIFO"}, "Error: priority for FIFO policy must be between 1 and 99\n", 0, kStart},
    {{"{pid}", "RR", "-1"}, "Error: priority for RR policy must be between 1 and 99\n", 0, kStart},
    {{"{pid}", "RR", "50"}, "", 0, "SCHED_RR 50"},
    // The priority must be a whole decimal number; a mistyped one is never
    // applied as another number.
    {{"{pid}", "FIFO", "9O"}, kUsage, 1, kStart},
    {{"{pid}", "RR", "1e2"}, kUsage, 1, kStart},
    {{"{pid}", "RR", "10x"}, kUsage, 1, kStart},
    {{"{pid}", "RR", " "}, kUsage, 1, kStart},
    {{"{pid}", "RR", "0x10"}, kUsage, 1, kStart},
    {{"{pid}", "RR", "1 0"}, kUsage, 1, kStart},
    {{"{pid}", "RR", "+"}, kUsage, 1, kStart},
    {{"{pid}", "RR", "-"}, kUsage, 1, kStart},
    {{"{pid}", "bogus", "9O"}, kUsage, 1, kStart},
    {{"{pid}", "RR", " 10"}, "", 0, "SCHED_RR 10"},
    {{"{pid}", "RR", "10 "}, "", 0, "SCHED_RR 10"},
    {{"{pid}", "RR", "+10"}, "", 0, "SCHED_RR 10"},
    {{"{pid}", "RR", "010"}, "", 0, "SCHED_RR 10"},
    {{"{pid}", "RR", " \t+42"}, "", 0, "SCHED_RR 42"},
    {{"{pid}", "RR", "4294967306"}, "Error: priority for RR policy must be between 1 and 99\n", 0, kStart},
    {{"{pid}", "RR", "-4294967295"}, "Error: priority for RR policy must be between 1 and 99\n", 0, kStart},
    // Keywords: exact, case-sensitive, whole text.
    {{"{pid}", "fifo", "10"}, "fifo is not a valid policy\n", 0, kStart},
    {{"{pid}", "Fifo", "10"}, "Fifo is not a valid policy\n", 0, kStart},
    {{"{pid}", "FIFO ", "10"}, "FIFO  is not a valid policy\n", 0, kStart},
    {{"{pid}", "FIF", "10"}, "FIF is not a valid policy\n", 0, kStart},
    {{"{pid}", "SCHED_FIFO", "10"}, "SCHED_FIFO is not a valid policy\n", 0, kStart},
    {{"{pid}", "1", "10"}, "1 is not a valid policy\n", 0, kStart},
    {{"{pid}", "", "10"}, " is not a valid policy\n", 0, kStart},
    {{"{pid}", "%s%n", "10"}, "%s%n is not a valid policy\n", 0, kStart},
    // Pids the kernel refuses, found only by the set call.
    {{"99999999", "RR", "10"}, "Error: failed to set scheduler\n", 0, kStart},
    {{"-5", "RR", "10"}, "Error: failed to set scheduler\n", 0, kStart},
    // Pid text that is not a whole number never reaches the kernel.
    {{"abc", "RR", "10"}, kUsage, 1, kStart},
    {{"1e3", "FIFO", "99"}, kUsage, 1, kStart},
};

TEST(SchedassignRealKernel, OutcomeTable)
{
    if (!MaySetRealTime()) {
        GTEST_SKIP() << "this kernel refuses to let us set a real-time policy on a child (needs CAP_SYS_NICE)";
    }
    for (const RealCase& row : kRealCases) {
        Sleeper child;
        ASSERT_EQ(RunHost({"chrt", "-f", "-p", "5", child.pidText()}).status, 0);
        const std::vector<std::string> args = WithPid(row.args, child.pidText());
        SCOPED_TRACE(Joined(args));
        const Outcome run = RunTool("schedassign", args);
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(ChrtReadback(child.pid()), row.after);
    }
}

// Each keyword on a child at both ends of the range this kernel reports; a
// policy the kernel lacks must be refused by the minimum query instead.
TEST(SchedassignRealKernel, EveryKeywordAtItsBounds)
{
    if (!MaySetRealTime()) {
        GTEST_SKIP() << "this kernel refuses to let us set a real-time policy on a child (needs CAP_SYS_NICE)";
    }
    const struct {
        const char* keyword;
        int policy;
    } kKeywords[] = {{"FIFO", 1}, {"RR", 2}, {"OTHER", 0}, {"MGMT", 4}, {"CALLP", 64}, {"IO", 256}, {"MTC", 1024}};
    for (const auto& row : kKeywords) {
        SCOPED_TRACE(row.keyword);
        Sleeper child;
        const int pmin = sched_get_priority_min(row.policy);
        if (pmin == -1) {
            const Outcome run = RunTool("schedassign", {child.pidText(), row.keyword, "10"});
            EXPECT_EQ(run.out, "Error: failed to get minimum priority\n");
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(run.status, 0);
            continue;
        }
        for (const int priority : {pmin, sched_get_priority_max(row.policy)}) {
            const Outcome run = RunTool("schedassign", {child.pidText(), row.keyword, std::to_string(priority)});
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(ChrtReadback(child.pid()), std::string("SCHED_") + row.keyword + " " + std::to_string(priority));
        }
    }
}

TEST(SchedassignRealKernel, UnprivilegedCallerIsRefused)
{
    if (!MayRunAsNobody()) {
        GTEST_SKIP() << "the programs cannot be run as nobody here: changing user needs the privilege, "
                        "and every directory above the programs must be open to nobody";
    }
    Sleeper child;
    RunOptions asNobody;
    asNobody.unprivileged = true;
    const Outcome run = RunTool("schedassign", {child.pidText(), "RR", "10"}, asNobody);
    EXPECT_EQ(run.out, "Error: failed to set scheduler\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ChrtReadback(child.pid()), "SCHED_OTHER 0");
}

struct StandinCase {
    std::vector<std::string> args;
    std::string ranges;  // empty: the stand-in's defaults, 1 to 99 but OTHER 0 to 0
    std::string fail;    // calls forced to fail
    std::string out;
    int status;
    std::vector<std::string> calls;
    std::string after;  // process 812's state line afterwards
};

// The first `count` calls of a full run for `policy`: the minimum query, the
// maximum query, then the set call with `setArgs` ("pid policy priority").
std::vector<std::string> Asked(int policy, size_t count, const std::string& setArgs = "")
{
    const std::string number = std::to_string(policy);
    std::vector<std::string> calls{"sched_get_priority_min " + number, "sched_get_priority_max " + number,
                                   "sched_setscheduler " + setArgs};
    calls.resize(count);
    return calls;
}

const char kBefore[] = "812 2 30";
const char kFullRange[] = "4:-2147483648:2147483647";

// Pid text that is not a whole decimal number: the usage text, no call.
StandinCase RefusedPid(const std::string& pidText, const std::string& keyword = "MGMT")
{
    return {{pidText, keyword, "10"}, "", "", kUsage, 1, {}, kBefore};
}

// Pid text that is a whole decimal number for 812.
StandinCase AcceptedPid(const std::string& pidText)
{
    return {{pidText, "MGMT", "10"}, "", "", "", 0, Asked(4, 3, "812 4 10"), "812 4 10"};
}

// Priority text that is not a whole decimal number: the usage text, no call,
// whatever the keyword.
StandinCase RefusedPriority(const std::string& priorityText, const std::string& keyword = "MGMT")
{
    return {{"812", keyword, priorityText}, "", "", kUsage, 1, {}, kBefore};
}

const StandinCase kStandinCases[] = {
    // Each extension policy is set; the calls come min, max, set.
    {{"812", "MGMT", "10"}, "", "", "", 0, Asked(4, 3, "812 4 10"), "812 4 10"},
    {{"812", "CALLP", "1"}, "", "", "", 0, Asked(64, 3, "812 64 1"), "812 64 1"},
    {{"812", "IO", "99"}, "", "", "", 0, Asked(256, 3, "812 256 99"), "812 256 99"},
    {{"812", "MTC", "50"}, "", "", "", 0, Asked(1024, 3, "812 1024 50"), "812 1024 50"},
    {{"812", "OTHER"}, "", "", "", 0, Asked(0, 3, "812 0 0"), "812 0 0"},
    // Settled before the kernel is asked anything.
    {{}, "", "", kUsage, 1, {}, kBefore},
    {{"812", "MGMT", "10", "x"}, "", "", kUsage, 1, {}, kBefore},
    {{"812", "mgmt", "10"}, "", "", "mgmt is not a valid policy\n", 0, {}, kBefore},
    {{"812", "OTHER", "5"}, "", "", "Error: priority for OTHER policy must be 0\n", 0, {}, kBefore},
    {{"812", "OTHER", "-1"}, "", "", "Error: priority for OTHER policy must be 0\n", 0, {}, kBefore},
    // The pid must be a whole decimal number, checked before the keyword.
    RefusedPid(""), RefusedPid(" "), RefusedPid("abc"), RefusedPid("1e3"), RefusedPid("12x"),
    RefusedPid("1,234"), RefusedPid("0x10"), RefusedPid("8 12"), RefusedPid("--help"), RefusedPid("-"),
    RefusedPid("+"), RefusedPid("812x", "mgmt"), RefusedPid("812.0", "OTHER"),
    AcceptedPid(" 812"), AcceptedPid("812 "), AcceptedPid("+812"), AcceptedPid("00812"), AcceptedPid("\t812\n"),
    // So must the priority, checked after the pid and before the keyword.
    RefusedPriority("9O"), RefusedPriority("1e2"), RefusedPriority("10x"), RefusedPriority("abc", "OTHER"),
    RefusedPriority("", "OTHER"), RefusedPriority(" "), RefusedPriority("0x10"), RefusedPriority("1 0"),
    RefusedPriority("+"), RefusedPriority("-"), RefusedPriority("9O", "bogus"),
    {{"812", "MGMT", " 10"}, "", "", "", 0, Asked(4, 3, "812 4 10"), "812 4 10"},
    {{"812", "MGMT", "010 "}, "", "", "", 0, Asked(4, 3, "812 4 10"), "812 4 10"},
    {{"812", "OTHER", "+0"}, "", "", "", 0, Asked(0, 3, "812 0 0"), "812 0 0"},
    {{"812", "RR", "-1"}, "", "", "Error: priority for RR policy must be between 1 and 99\n", 0, Asked(2, 2), kBefore},
    // A failed or unknown minimum query, and a failed maximum query.
    {{"812", "CALLP", "10"}, "", "sched_get_priority_min", "Error: failed to get minimum priority\n", 0, Asked(64, 1),
     kBefore},
    {{"812", "CALLP", "10"}, "1:1:99", "", "Error: failed to get minimum priority\n", 0, Asked(64, 1), kBefore},
    {{"812", "CALLP", "10"}, "", "sched_get_priority_max", "Error: failed to get maximum priority\n", 0, Asked(64, 2),
     kBefore},
    // The range the kernel reports, whatever it is.
    {{"812", "MGMT", "9"}, "4:10:20", "", "Error: priority for MGMT policy must be between 10 and 20\n", 0,
     Asked(4, 2), kBefore},
    {{"812", "MGMT", "10"}, "4:10:20", "", "", 0, Asked(4, 3, "812 4 10"), "812 4 10"},
    {{"812", "MGMT", "20"}, "4:10:20", "", "", 0, Asked(4, 3, "812 4 20"), "812 4 20"},
    {{"812", "MGMT", "21"}, "4:10:20", "", "Error: priority for MGMT policy must be between 10 and 20\n", 0,
     Asked(4, 2), kBefore},
    {{"812", "MGMT"}, "4:0:5", "", "Error: priority for MGMT policy must be between 0 and 5\n", 0, Asked(4, 2),
     kBefore},
    // An omitted priority is -1, which a range reaching below 0 accepts.
    {{"812", "MGMT"}, "4:-5:5", "", "", 0, Asked(4, 3, "812 4 -1"), "812 4 -1"},
    // Priority text beyond 32 bits saturates; it never wraps.
    {{"812", "MGMT", "4294967306"}, kFullRange, "", "", 0, Asked(4, 3, "812 4 2147483647"), "812 4 2147483647"},
    {{"812", "MGMT", "-99999999999999999999"}, kFullRange, "", "", 0, Asked(4, 3, "812 4 -2147483648"),
     "812 4 -2147483648"},
    // The set call fails: forced, no such process, negative pid.
    {{"812", "MTC", "10"}, "", "sched_setscheduler", "Error: failed to set scheduler\n", 0,
     Asked(1024, 3, "812 1024 10"), kBefore},
    {{"999", "MTC", "10"}, "", "", "Error: failed to set scheduler\n", 0, Asked(1024, 3, "999 1024 10"), kBefore},
    {{"-5", "MTC", "10"}, "", "", "Error: failed to set scheduler\n", 0, Asked(1024, 3, "-5 1024 10"), kBefore},
};

TEST(SchedassignStandin, OutcomeTable)
{
    for (const StandinCase& row : kStandinCases) {
        SCOPED_TRACE(Joined(row.args) + " ranges=" + row.ranges + " fail=" + row.fail);
        StandinKernel kernel;
        kernel.WriteState({kBefore, "1 0 0"});
        const Outcome run = RunTool("schedassign", row.args, kernel.Options(row.ranges, row.fail));
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(kernel.Calls(), row.calls);
        EXPECT_EQ(kernel.State(), (std::vector<std::string>{row.after, "1 0 0"}));
    }
}

// Pid text beyond 32 bits saturates: it must never wrap onto process 1.
TEST(SchedassignStandin, HugePidNeverWrapsOntoProcessOne)
{
    const struct {
        const char* pidText;
        const char* setArgs;
        const char* out;
        const char* topState;
    } kRows[] = {
        {"4294967297", "2147483647 2 10", "", "2147483647 2 10"},
        {"99999999999999999999", "2147483647 2 10", "", "2147483647 2 10"},
        {"-4294967297", "-2147483648 2 10", "Error: failed to set scheduler\n", "2147483647 0 0"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.pidText);
        StandinKernel kernel;
        kernel.WriteState({"1 0 0", "2147483647 0 0"});
        const Outcome run = RunTool("schedassign", {row.pidText, "RR", "10"}, kernel.Options());
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(kernel.Calls(), Asked(2, 3, row.setArgs));
        EXPECT_EQ(kernel.State(), (std::vector<std::string>{"1 0 0", row.topState}));
    }
}

}  // namespace
