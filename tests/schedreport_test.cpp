// schedreport end to end: the report line byte for byte, its failures, and
// read-backs of what schedassign and chrt set.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"

namespace {

const char kUsage[] = "schedreport [pid]\r\n";
// Every report line opens with 20 blanks from "%-20c" and the one before "pid=".
const std::string kLead(21, ' ');

// The first `count` calls of a report on `pid`: the policy query, then the
// parameter query.
std::vector<std::string> Queried(const std::string& pid, size_t count)
{
    std::vector<std::string> calls{"sched_getscheduler " + pid, "sched_getparam " + pid};
    calls.resize(count);
    return calls;
}

struct StandinCase {
    const char* state;  // the one process, "pid policy priority"
    std::vector<std::string> args;
    std::string out;
    int status;
    std::vector<std::string> calls;
};

// Pid text that reads as 812, the process of the FIFO 50 rows.
StandinCase Whole(const char* pidText)
{
    return {"812 1 50", {pidText}, kLead + "pid=812   Policy = SCHED_FIFO      Priority = 50 \r\n", 0,
            Queried("812", 2)};
}

StandinCase NotWhole(const char* pidText)
{
    return {"812 1 50", {pidText}, kUsage, 1, {}};
}

const StandinCase kStandinCases[] = {
    // Every name of the table, each padded to 15.
    {"812 0 0", {"812"}, kLead + "pid=812   Policy = SCHED_OTHER     Priority = 0  \r\n", 0, Queried("812", 2)},
    {"812 1 50", {"812"}, kLead + "pid=812   Policy = SCHED_FIFO      Priority = 50 \r\n", 0, Queried("812", 2)},
    {"812 2 99", {"812"}, kLead + "pid=812   Policy = SCHED_RR        Priority = 99 \r\n", 0, Queried("812", 2)},
    {"812 4 1", {"812"}, kLead + "pid=812   Policy = SCHED_MGMT      Priority = 1  \r\n", 0, Queried("812", 2)},
    {"812 64 10", {"812"}, kLead + "pid=812   Policy = SCHED_CALLP     Priority = 10 \r\n", 0, Queried("812", 2)},
    {"812 256 20", {"812"}, kLead + "pid=812   Policy = SCHED_IO        Priority = 20 \r\n", 0, Queried("812", 2)},
    {"812 1024 30", {"812"}, kLead + "pid=812   Policy = SCHED_MTC       Priority = 30 \r\n", 0, Queried("812", 2)},
    // Numbers outside the table: the 19-character fallback pushes the rest right by 4.
    {"812 3 7", {"812"}, kLead + "pid=812   Policy = Unknown policy name Priority = 7  \r\n", 0, Queried("812", 2)},
    {"812 5 7", {"812"}, kLead + "pid=812   Policy = Unknown policy name Priority = 7  \r\n", 0, Queried("812", 2)},
    {"812 320 7", {"812"}, kLead + "pid=812   Policy = Unknown policy name Priority = 7  \r\n", 0, Queried("812", 2)},
    {"812 1025 7", {"812"}, kLead + "pid=812   Policy = Unknown policy name Priority = 7  \r\n", 0, Queried("812", 2)},
    {"812 -5 7", {"812"}, kLead + "pid=812   Policy = Unknown policy name Priority = 7  \r\n", 0, Queried("812", 2)},
    // Long pids and priorities push the rest right; short ones are padded.
    {"123456 1 50", {"123456"}, kLead + "pid=123456 Policy = SCHED_FIFO      Priority = 50 \r\n", 0, Queried("123456", 2)},
    {"1 2 1234", {"1"}, kLead + "pid=1     Policy = SCHED_RR        Priority = 1234\r\n", 0, Queried("1", 2)},
    {"812 4 -1", {"812"}, kLead + "pid=812   Policy = SCHED_MGMT      Priority = -1 \r\n", 0, Queried("812", 2)},
    // Pid text beyond 32 bits saturates to the largest pid; never wraps.
    {"2147483647 1 50", {"99999999999"}, kLead + "pid=2147483647 Policy = SCHED_FIFO      Priority = 50 \r\n", 0, Queried("2147483647", 2)},
    // Pid text: a whole decimal number with white space around it, or the usage text.
    Whole(" 812"), Whole("812 "), Whole("+812"), Whole("00812"), Whole("\n812\r\n"),
    NotWhole(""), NotWhole(" "), NotWhole("abc"), NotWhole("1e3"), NotWhole("12x"), NotWhole("1,234"),
    NotWhole("0x10"), NotWhole("8 12"), NotWhole("--help"), NotWhole("-"), NotWhole("+"), NotWhole(" +812abc"),
    // Failures; a usage error asks the kernel nothing.
    {"812 1 50", {}, kUsage, 1, {}},
    {"812 1 50", {"812", "812"}, kUsage, 1, {}},
    {"812 1 50", {"999"}, "schedreport (pid=999  ): invalid pid\r\n", 1, Queried("999", 1)},
    {"812 1 50", {"123456789"}, "schedreport (pid=123456789): invalid pid\r\n", 1, Queried("123456789", 1)},
    {"812 1 50", {"-5"}, "schedreport (pid=-5   ): invalid pid\r\n", 1, Queried("-5", 1)},
};

TEST(SchedreportStandin, ReportTable)
{
    for (const StandinCase& row : kStandinCases) {
        SCOPED_TRACE(std::string(row.state) + " / " + (row.args.empty() ? "no argument" : row.args[0]));
        StandinKernel kernel;
        kernel.WriteState({row.state});
        const Outcome run = RunTool("schedreport", row.args, kernel.Options());
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(kernel.Calls(), row.calls);
    }
}

TEST(SchedreportStandin, FailedQueries)
{
    const struct {
        const char* fail;
        std::string out;
        std::vector<std::string> calls;
    } kRows[] = {
        {"sched_getscheduler", "schedreport (pid=812  ): invalid pid\r\n", Queried("812", 1)},
        // The process ended between the two queries.
        {"sched_getparam", "pid=812  : invalid pid\r\n", Queried("812", 2)},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.fail);
        StandinKernel kernel;
        kernel.WriteState({"812 1 50"});
        const Outcome run = RunTool("schedreport", {"812"}, kernel.Options("", row.fail));
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(kernel.Calls(), row.calls);
    }
}

// What schedassign sets in an extension policy, a later schedreport reads.
TEST(SchedreportStandin, ReadsBackWhatSchedassignSet)
{
    const struct {
        const char* keyword;
        const char* priority;
        std::string line;
    } kRows[] = {
        {"MGMT", "1", kLead + "pid=812   Policy = SCHED_MGMT      Priority = 1  \r\n"},
        {"CALLP", "99", kLead + "pid=812   Policy = SCHED_CALLP     Priority = 99 \r\n"},
        {"IO", "10", kLead + "pid=812   Policy = SCHED_IO        Priority = 10 \r\n"},
        {"MTC", "50", kLead + "pid=812   Policy = SCHED_MTC       Priority = 50 \r\n"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.keyword);
        StandinKernel kernel;
        kernel.WriteState({"812 0 0"});
        const Outcome set = RunTool("schedassign", {"812", row.keyword, row.priority}, kernel.Options());
        EXPECT_EQ(set.out, "");
        EXPECT_EQ(set.err, "");
        const Outcome report = RunTool("schedreport", {"812"}, kernel.Options());
        EXPECT_EQ(report.out, row.line);
        EXPECT_EQ(report.err, "");
        EXPECT_EQ(report.status, 0);
    }
}

// `text` left-aligned in at least `width` characters, as printf's "%-Ns".
std::string Padded(std::string text, size_t width)
{
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

std::string PidField(pid_t pid)
{
    return Padded(std::to_string(pid), 5);
}

TEST(SchedreportRealKernel, ItselfAndMissingProcesses)
{
    const struct {
        const char* pidText;
        std::string out;
        int status;
    } kRows[] = {
        {"abc", kUsage, 1},
        {"0", kLead + "pid=0     Policy = SCHED_OTHER     Priority = 0  \r\n", 0},
        {"-5", "schedreport (pid=-5   ): invalid pid\r\n", 1},
        {"99999999", "schedreport (pid=99999999): invalid pid\r\n", 1},
        {"99999999999", "schedreport (pid=2147483647): invalid pid\r\n", 1},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.pidText);
        const Outcome run = RunTool("schedreport", {row.pidText});
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, row.status);
    }
}

// Process 1 may run with flags chrt shows after a "|" (SCHED_RESET_ON_FORK):
// such a number is not in the table.
TEST(SchedreportRealKernel, ProcessOneAsChrtSeesIt)
{
    const std::string chrt = ChrtReadback(1);  // e.g. "SCHED_OTHER 0"
    std::string name = chrt.substr(0, chrt.find(' '));
    if (name.find('|') != std::string::npos) {
        name = "Unknown policy name";
    }
    const std::string priority = chrt.substr(chrt.find(' ') + 1);
    const Outcome run = RunTool("schedreport", {"1"});
    EXPECT_EQ(run.out,
              kLead + "pid=1     Policy = " + Padded(name, 15) + " Priority = " + Padded(priority, 3) + "\r\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
}

// schedassign sets, schedreport reads back, and chrt agrees.
TEST(SchedreportRealKernel, ReadsBackWhatSchedassignSet)
{
    if (!MaySetRealTime()) {
        GTEST_SKIP() << "this kernel refuses to let us set a real-time policy on a child (needs CAP_SYS_NICE)";
    }
    const struct {
        std::vector<const char*> args;
        const char* tail;  // the line from " Policy = " on
        const char* chrt;
    } kRows[] = {
        {{"FIFO", "1"}, " Policy = SCHED_FIFO      Priority = 1  \r\n", "SCHED_FIFO 1"},
        {{"FIFO", "99"}, " Policy = SCHED_FIFO      Priority = 99 \r\n", "SCHED_FIFO 99"},
        {{"RR", "1"}, " Policy = SCHED_RR        Priority = 1  \r\n", "SCHED_RR 1"},
        {{"RR", "99"}, " Policy = SCHED_RR        Priority = 99 \r\n", "SCHED_RR 99"},
        {{"OTHER"}, " Policy = SCHED_OTHER     Priority = 0  \r\n", "SCHED_OTHER 0"},
        {{"OTHER", "0"}, " Policy = SCHED_OTHER     Priority = 0  \r\n", "SCHED_OTHER 0"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.args[0]);
        Sleeper child;
        ASSERT_EQ(RunHost({"chrt", "-r", "-p", "7", child.pidText()}).status, 0);
        std::vector<std::string> args{child.pidText()};
        args.insert(args.end(), row.args.begin(), row.args.end());
        EXPECT_EQ(RunTool("schedassign", args).out, "");
        const Outcome report = RunTool("schedreport", {child.pidText()});
        EXPECT_EQ(report.out, kLead + "pid=" + PidField(child.pid()) + row.tail);
        EXPECT_EQ(report.err, "");
        EXPECT_EQ(report.status, 0);
        EXPECT_EQ(ChrtReadback(child.pid()), row.chrt);
    }
}

// chrt as an independent writer; policies the table lacks are still reported.
TEST(SchedreportRealKernel, ReadsBackWhatChrtSet)
{
    if (!MaySetRealTime()) {
        GTEST_SKIP() << "this kernel refuses to let us set a real-time policy on a child (needs CAP_SYS_NICE)";
    }
    const struct {
        std::vector<std::string> chrtOptions;
        const char* tail;
    } kRows[] = {
        {{"-f", "-p", "50"}, " Policy = SCHED_FIFO      Priority = 50 \r\n"},
        {{"-r", "-p", "99"}, " Policy = SCHED_RR        Priority = 99 \r\n"},
        {{"-o", "-p", "0"}, " Policy = SCHED_OTHER     Priority = 0  \r\n"},
        {{"-b", "-p", "0"}, " Policy = Unknown policy name Priority = 0  \r\n"},  // SCHED_BATCH
        {{"-i", "-p", "0"}, " Policy = Unknown policy name Priority = 0  \r\n"},  // SCHED_IDLE
        // Reset-on-fork sets a flag bit in the policy number: no longer in the table.
        {{"-R", "-r", "-p", "5"}, " Policy = Unknown policy name Priority = 5  \r\n"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.chrtOptions[0]);
        Sleeper child;
        std::vector<std::string> chrt{"chrt"};
        chrt.insert(chrt.end(), row.chrtOptions.begin(), row.chrtOptions.end());
        chrt.push_back(child.pidText());
        ASSERT_EQ(RunHost(chrt).status, 0);
        const Outcome report = RunTool("schedreport", {child.pidText()});
        EXPECT_EQ(report.out, kLead + "pid=" + PidField(child.pid()) + row.tail);
        EXPECT_EQ(report.err, "");
        EXPECT_EQ(report.status, 0);
    }
}

}  // namespace
