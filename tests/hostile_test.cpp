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
// stand-in kernel receives; pid or priority text that is no whole number
// reaches none.
TEST(HostileArguments, SchedassignSaturatesHugeNumbers)
{
    const char kUsage[] =
        "schedassign [pid] [FIFO | RR | OTHER | MGMT | CALLP | IO | MTC ] [priority]\n"
        "When policy is OTHER, either don't specify a priority or use 0 as priority\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
        int status;
        std::string lastCall;  // empty: no call at all
    } kRows[] = {
        {{kManyDigits, "MGMT", "10"}, "Error: failed to set scheduler\n", 0, "sched_setscheduler 2147483647 4 10"},
        {{kManyNegativeDigits, "MGMT", "10"}, "Error: failed to set scheduler\n", 0,
         "sched_setscheduler -2147483648 4 10"},
        {{kLong, "MGMT", "10"}, kUsage, 1, ""},
        {{kManyDigits + "x", "MGMT", "10"}, kUsage, 1, ""},
        {{"%n%n%n", "MGMT", "10"}, kUsage, 1, ""},
        {{"812", "MGMT", kManyDigits}, "Error: priority for MGMT policy must be between 1 and 99\n", 0,
         "sched_get_priority_max 4"},
        {{"812", "MGMT", kManyNegativeDigits}, "Error: priority for MGMT policy must be between 1 and 99\n", 0,
         "sched_get_priority_max 4"},
        {{"812", "MGMT", "\n\t 42\xff"}, kUsage, 1, ""},
        {{"812", "MGMT", "%n%n%n"}, kUsage, 1, ""},
        {{"812", "MGMT", kLong}, kUsage, 1, ""},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.args[0].substr(0, 20) + " " + row.args[2].substr(0, 20));
        StandinKernel kernel;
        kernel.WriteState({"812 0 0"});
        const Outcome run = RunTool("schedassign", row.args, kernel.Options());
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, row.status);
        const std::vector<std::string> calls = kernel.Calls();
        EXPECT_EQ(calls.empty() ? "" : calls.back(), row.lastCall);
    }
}

TEST(HostileArguments, SchedreportConvertsAnyPidText)
{
    const std::string usage = "schedreport [pid]\r\n";
    const struct {
        std::string pidText;
        std::string out;
        int status;
    } kRows[] = {
        {kManyDigits, "schedreport (pid=2147483647): invalid pid\r\n", 1},
        {kManyNegativeDigits, "schedreport (pid=-2147483648): invalid pid\r\n", 1},
        {"-" + kManyDigits.substr(1), "schedreport (pid=-2147483648): invalid pid\r\n", 1},
        {"\n812\n", std::string(21, ' ') + "pid=812   Policy = SCHED_IO        Priority = 3  \r\n", 0},
        {kLong, usage, 1},
        {"%s%n%p", usage, 1},
        {"\xff\xfe", usage, 1},
        {"812\xff", usage, 1},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.pidText.substr(0, 20));
        StandinKernel kernel;
        kernel.WriteState({"812 256 3"});
        const Outcome run = RunTool("schedreport", {row.pidText}, kernel.Options());
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(kernel.Calls().empty(), row.out == usage);
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

// A line that cannot be written whole, to a full device or a closed
// descriptor, ends the run with 1; nothing goes to standard error instead.
// A silent success has nothing to write and still ends with 0.
TEST(HostileArguments, FailedWritesToStandardOutput)
{
    const struct {
        const char* tool;
        std::vector<std::string> args;
    } kRows[] = {
        {"schedassign", {"0", "fifo", "1"}},  // an error line
        {"schedassign", {"0", "OTHER", "5"}},
        {"schedassign", {}},                  // the usage text
        {"schedassign", {"abc", "RR", "1"}},
        {"schedreport", {"0"}},               // the report line
        {"schedreport", {"-5"}},
        {"schedreport", {}},
    };
    RunOptions toFullDevice;
    toFullDevice.stdoutPath = "/dev/full";
    RunOptions closed;
    closed.stdoutClosed = true;
    for (const RunOptions& options : {toFullDevice, closed}) {
        const std::string where = options.stdoutClosed ? "closed" : "/dev/full";
        for (const auto& row : kRows) {
            SCOPED_TRACE(std::string(row.tool) + " " + std::to_string(row.args.size()) + " arguments, " + where);
            const Outcome run = RunTool(row.tool, row.args, options);
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(run.status, 1);
        }
        // Changing a child from BATCH to OTHER needs no privilege.
        SCOPED_TRACE("silent success, " + where);
        Sleeper child;
        ASSERT_EQ(RunHost({"chrt", "-b", "-p", "0", child.pidText()}).status, 0);
        const Outcome run = RunTool("schedassign", {child.pidText(), "OTHER"}, options);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(ChrtReadback(child.pid()), "SCHED_OTHER 0");
    }
}

}  // namespace
