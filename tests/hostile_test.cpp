// Hostile arguments: huge, non-UTF-8, with newlines or printf directives.
// Each is echoed verbatim where a program echoes it, or converted by the
// saturation rule; nothing crashes or reaches standard error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

const std::string kLong(100000, 'K');
const std::string kManyDigits(100000, '9');
const std::string kManyNegativeDigits = "-" + std::string(99999, '7');

TEST(HostileArguments, SchedassignEchoesKeywordsVerbatim)
{
    const std::vector<std::string> kKeywords = {
        kLong, "\xff\xfe\x80\xc3", "FI\nFO", "%s%n%x%p%999999d", "RR\r", std::string("\x1b[2J"),
    };
    for (const std::string& keyword : kKeywords) {
        SCOPED_TRACE(keyword.substr(0, 20));
        StandinKernel kernel;
        kernel.WriteState({"812 0 0"});
        const Outcome run = RunTool("schedassign", {"812", keyword, "10"}, kernel.Options());
        EXPECT_EQ(run.out, keyword + " is not a valid policy\n");
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(kernel.Calls().empty());
    }
}

// Numbers of any length convert by saturation, checked by the calls the
// stand-in kernel receives.
TEST(HostileArguments, SchedassignSaturatesHugeNumbers)
{
    const struct {
        std::vector<std::string> args;
        std::string out;
        std::string lastCall;
    } kRows[] = {
        {{kManyDigits, "MGMT", "10"}, "Error: failed to set scheduler\n", "sched_setscheduler 2147483647 4 10"},
        {{kManyNegativeDigits, "MGMT", "10"}, "Error: failed to set scheduler\n", "sched_setscheduler -2147483648 4 10"},
        {{kLong, "MGMT", "10"}, "Error: failed to set scheduler\n", "sched_setscheduler 0 4 10"},
        {{"812", "MGMT", kManyDigits}, "Error: priority for MGMT policy must be between 1 and 99\n",
         "sched_get_priority_max 4"},
        {{"812", "MGMT", kManyNegativeDigits}, "Error: priority for MGMT policy must be between 1 and 99\n",
         "sched_get_priority_max 4"},
        {{"812", "MGMT", "\n\t 42\xff"}, "", "sched_setscheduler 812 4 42"},
        {{"812", "MGMT", "%n%n%n"}, "Error: priority for MGMT policy must be between 1 and 99\n",
         "sched_get_priority_max 4"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.args[0].substr(0, 20) + " " + row.args[2].substr(0, 20));
        StandinKernel kernel;
        kernel.WriteState({"812 0 0"});
        const Outcome run = RunTool("schedassign", row.args, kernel.Options());
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, 0);
        const std::vector<std::string> calls = kernel.Calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), row.lastCall);
    }
}

TEST(HostileArguments, SchedreportConvertsAnyPidText)
{
    const std::string lead(21, ' ');
    const struct {
        std::string pidText;
        std::string out;
        int status;
        bool standin;  // else the real kernel, for pid 0: the tool itself
    } kRows[] = {
        {kManyDigits, "schedreport (pid=2147483647): invalid pid\r\n", 1, true},
        {kManyNegativeDigits, "schedreport (pid=-2147483648): invalid pid\r\n", 1, true},
        {"-" + kManyDigits.substr(1), "schedreport (pid=-2147483648): invalid pid\r\n", 1, true},
        {"\n812\n", lead + "pid=812   Policy = SCHED_IO        Priority = 3  \r\n", 0, true},
        {kLong, lead + "pid=0     Policy = SCHED_OTHER     Priority = 0  \r\n", 0, false},
        {"%s%n%p", lead + "pid=0     Policy = SCHED_OTHER     Priority = 0  \r\n", 0, false},
        {"\xff\xfe", lead + "pid=0     Policy = SCHED_OTHER     Priority = 0  \r\n", 0, false},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.pidText.substr(0, 20));
        StandinKernel kernel;
        kernel.WriteState({"812 256 3"});
        const Outcome run = RunTool("schedreport", {row.pidText}, row.standin ? kernel.Options() : RunOptions{});
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, row.status);
    }
}

TEST(HostileArguments, UsageIgnoresWhatTheArgumentsHold)
{
    const std::vector<std::string> kArgs = {kLong, "%n", "\xff", "FI\nFO"};
    const Outcome assign = RunTool("schedassign", kArgs);
    EXPECT_EQ(assign.out,
              "schedassign [pid] [FIFO | RR | OTHER | MGMT | CALLP | IO | MTC ] [priority]\n"
              "When policy is OTHER, either don't specify a priority or use 0 as priority\n");
    EXPECT_EQ(assign.err, "");
    EXPECT_EQ(assign.status, 1);
    const Outcome report = RunTool("schedreport", kArgs);
    EXPECT_EQ(report.out, "schedreport [pid]\r\n");
    EXPECT_EQ(report.err, "");
    EXPECT_EQ(report.status, 1);
}

// A write to standard output that fails changes neither the run nor the
// exit status, and nothing goes to standard error instead.
TEST(HostileArguments, FailedWritesToStandardOutput)
{
    const struct {
        const char* tool;
        std::vector<std::string> args;
        int status;
    } kRows[] = {
        {"schedassign", {"0", "fifo", "1"}, 0},
        {"schedassign", {"0", "OTHER", "5"}, 0},
        {"schedassign", {}, 1},
        {"schedreport", {"0"}, 0},
        {"schedreport", {"-5"}, 1},
        {"schedreport", {}, 1},
    };
    RunOptions toFullDevice;
    toFullDevice.stdoutPath = "/dev/full";
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::string(row.tool) + " " + std::to_string(row.args.size()) + " arguments");
        const Outcome run = RunTool(row.tool, row.args, toFullDevice);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, row.status);
    }
}

}  // namespace
