// The system test's /init, process 1 of a PowerPC guest whose kernel has the
// extension policies. For each build of the programs in the initramfs it runs
// a table of cases against a fresh child process, compares standard output
// byte for byte, the exit status and an empty standard error, and reads the
// child's policy back through the kernel itself. It prints each failure,
// then "N passed, M failed", and reboots, which ends QEMU (-no-reboot).
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/reboot.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "outcome.h"

namespace {

// The two builds the initramfs holds: static, and as the .deb ships them
// (dynamic, with the toolchain's loader and C library in /lib).
const struct {
    const char* name;
    const char* dir;
} kBuilds[] = {{"static", "/static/"}, {"deb", "/usr/bin/"}};

const char kAssignUsage[] =
    "schedassign [pid] [FIFO | RR | OTHER | MGMT | CALLP | IO | MTC ] [priority]\n"
    "When policy is OTHER, either don't specify a priority or use 0 as priority\n";
const char kReportUsage[] = "schedreport [pid]\r\n";
constexpr int kResetOnFork = 0x40000000;

struct Sched {
    int policy;
    int priority;
};

enum class Caller { kRoot, kNobody, kStdoutClosed };

struct Case {
    const char* tool;
    std::vector<std::string> args;  // "{pid}" stands for the child's pid
    Sched before;                   // set on the child by /init first
    std::string out;                // "{pid}" stands for the child's pid, padded to 5
    int status;
    Sched after;  // what the kernel tells /init of the child afterwards
    Caller caller;
};

std::string Padded(std::string text, size_t width)
{
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::string ReportName(int policy)
{
    const std::pair<int, const char*> kNames[] = {{0, "SCHED_OTHER"}, {1, "SCHED_FIFO"},  {2, "SCHED_RR"},
                                                  {4, "SCHED_MGMT"},  {64, "SCHED_CALLP"}, {256, "SCHED_IO"},
                                                  {1024, "SCHED_MTC"}};
    const auto* row = std::find_if(std::begin(kNames), std::end(kNames),
                                   [policy](const auto& name) { return name.first == policy; });
    return row == std::end(kNames) ? "Unknown policy name" : row->second;
}

// The report line for the child under `sched`; "{pid}" is filled in later.
std::string Report(Sched sched)
{
    return std::string(21, ' ') + "pid={pid} Policy = " + Padded(ReportName(sched.policy), 15) +
           " Priority = " + Padded(std::to_string(sched.priority), 3) + "\r\n";
}

std::string Replaced(std::string text, const std::string& with)
{
    for (size_t at = text.find("{pid}"); at != std::string::npos; at = text.find("{pid}", at + with.size())) {
        text.replace(at, 5, with);
    }
    return text;
}

std::string Escaped(const std::string& text)
{
    std::string shown;
    for (const char c : text) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else {
            shown += c;
        }
    }
    return shown;
}

bool Set(pid_t pid, Sched sched)
{
    sched_param param{};
    param.sched_priority = sched.priority;
    return sched_setscheduler(pid, sched.policy, &param) == 0;
}

Sched Get(pid_t pid)
{
    sched_param param{};
    const int policy = sched_getscheduler(pid);
    if (policy == -1 || sched_getparam(pid, &param) == -1) {
        return {-1, -1};
    }
    return {policy, param.sched_priority};
}

// Runs `program` with `args` as `caller` and collects what it writes.
Outcome Run(const std::string& program, const std::vector<std::string>& args, Caller caller)
{
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
        return {"", "pipe failed", -1};
    }
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv(args.size() + 2, nullptr);
        argv[0] = const_cast<char*>(program.c_str());
        std::transform(args.begin(), args.end(), argv.begin() + 1,
                       [](const std::string& arg) { return const_cast<char*>(arg.c_str()); });
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (const int fd : {out[0], out[1], err[0], err[1]}) {
            close(fd);
        }
        if (caller == Caller::kNobody && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(126);
        }
        if (caller == Caller::kStdoutClosed) {
            close(1);
        }
        char* const envp[] = {nullptr};
        execve(argv[0], argv.data(), envp);
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    return Collect(child, out[0], err[0]);
}

std::vector<Case> Cases()
{
    const Sched other{0, 0};
    const Sched fifo5{1, 5};
    std::vector<Case> cases;
    auto assign = [&](std::vector<std::string> args, Sched before, const std::string& out, int status, Sched after,
                      Caller caller = Caller::kRoot) {
        args.insert(args.begin(), "{pid}");
        cases.push_back({"schedassign", std::move(args), before, out, status, after, caller});
    };
    auto report = [&](const std::vector<std::string>& args, Sched before, const std::string& out, int status,
                      Caller caller = Caller::kRoot) {
        cases.push_back({"schedreport", args, before, out, status, before, caller});
    };

    // Each real-time policy at both ends of its range, one past each end,
    // and with the priority omitted.
    const struct {
        const char* keyword;
        int policy;
    } kRealTime[] = {{"FIFO", 1}, {"RR", 2}, {"MGMT", 4}, {"CALLP", 64}, {"IO", 256}, {"MTC", 1024}};
    for (const auto& row : kRealTime) {
        const std::string keyword = row.keyword;
        const std::string range = "Error: priority for " + keyword + " policy must be between 1 and 99\n";
        assign({keyword, "1"}, other, "", 0, {row.policy, 1});
        assign({keyword, "99"}, other, "", 0, {row.policy, 99});
        assign({keyword, "0"}, other, range, 0, other);
        assign({keyword, "100"}, other, range, 0, other);
        assign({keyword}, other, range, 0, other);
        // An unprivileged caller may read but not set.
        assign({keyword, "10"}, other, "Error: failed to set scheduler\n", 0, other, Caller::kNobody);
    }
    // OTHER takes 0 alone; omitted means 0.
    const std::string otherError = "Error: priority for OTHER policy must be 0\n";
    assign({"OTHER"}, fifo5, "", 0, other);
    assign({"OTHER", "0"}, fifo5, "", 0, other);
    assign({"OTHER", "1"}, fifo5, otherError, 0, fifo5);
    assign({"OTHER", "-1"}, fifo5, otherError, 0, fifo5);
    assign({"fifo", "10"}, other, "fifo is not a valid policy\n", 0, other);

    // Policies set by /init through the kernel call, read back by schedreport;
    // numbers outside the table, reset-on-fork included, are still reported.
    const Sched written[] = {{0, 0},  {1, 50},  {2, 99},  {4, 1},  {64, 42}, {256, 7}, {1024, 77},
                             {3, 0},  {5, 0},   {1 | kResetOnFork, 5},        {64 | kResetOnFork, 9}};
    for (const Sched sched : written) {
        report({"{pid}"}, sched, Report(sched), 0);
    }
    report({"{pid}"}, {256, 3}, Report({256, 3}), 0, Caller::kNobody);

    // The pid must be a whole decimal number; other text never reaches the
    // kernel (process 1, this program, must stay as it is).
    for (const char* text : {"", " ", "abc", "1e3", "12x", "1,234", "0x10", "8 12", "--help", "-", "+"}) {
        cases.push_back({"schedassign", {text, "FIFO", "99"}, other, kAssignUsage, 1, other, Caller::kRoot});
        report({text}, other, kReportUsage, 1);
    }
    // So must the priority: a mistyped one is never applied as another number.
    for (const char* text : {"9O", "1e2", "10x", "abc", "", " ", "0x10", "1 0", "+", "-"}) {
        assign({"FIFO", text}, other, kAssignUsage, 1, other);
    }
    assign({"OTHER", "abc"}, fifo5, kAssignUsage, 1, fifo5);
    assign({"bogus", "9O"}, other, kAssignUsage, 1, other);
    for (const char* text : {" 10", "10 ", "+10", "010"}) {
        assign({"RR", text}, other, "", 0, {2, 10});
    }
    for (const char* text : {" 0", "+0", "-0", "00"}) {
        assign({"OTHER", text}, fifo5, "", 0, other);
    }
    assign({"RR", "4294967306"}, other, "Error: priority for RR policy must be between 1 and 99\n", 0, other);
    for (const char* text : {" {pid}", "{pid} ", "+{pid}", "00{pid}"}) {
        cases.push_back({"schedassign", {text, "RR", "10"}, other, "", 0, {2, 10}, Caller::kRoot});
        report({text}, {64, 10}, Report({64, 10}), 0);
    }
    // Pids without a process; a huge one saturates, never wraps onto 1.
    const std::string setFailed = "Error: failed to set scheduler\n";
    cases.push_back({"schedassign", {"99999", "RR", "10"}, other, setFailed, 0, other, Caller::kRoot});
    cases.push_back({"schedassign", {"-5", "RR", "10"}, other, setFailed, 0, other, Caller::kRoot});
    cases.push_back({"schedassign", {"4294967297", "RR", "10"}, other, setFailed, 0, other, Caller::kRoot});
    report({"99999"}, other, "schedreport (pid=99999): invalid pid\r\n", 1);
    report({"-5"}, other, "schedreport (pid=-5   ): invalid pid\r\n", 1);
    report({"4294967297"}, other, "schedreport (pid=2147483647): invalid pid\r\n", 1);
    // Argument counts.
    cases.push_back({"schedassign", {}, other, kAssignUsage, 1, other, Caller::kRoot});
    report({}, other, kReportUsage, 1);
    report({"{pid}", "{pid}"}, other, kReportUsage, 1);
    // Standard output closed: a line that cannot be written is a failure, a
    // silent success is not.
    report({"{pid}"}, other, "", 1, Caller::kStdoutClosed);
    assign({"fifo", "1"}, other, "", 1, other, Caller::kStdoutClosed);
    assign({"IO", "10"}, other, "", 0, {256, 10}, Caller::kStdoutClosed);
    return cases;
}

std::string Shown(Sched sched)
{
    return std::to_string(sched.policy) + "/" + std::to_string(sched.priority);
}

// Runs one case against `child`, whose pid is `pid`; returns what went
// wrong, or "".
std::string Mismatch(const std::string& dir, const Case& row, pid_t child, const std::string& pid)
{
    if (!Set(child, row.before)) {
        return "cannot set the child's starting policy";
    }
    std::vector<std::string> args(row.args.size());
    std::transform(row.args.begin(), row.args.end(), args.begin(),
                   [&pid](const std::string& arg) { return Replaced(arg, pid); });
    const Outcome run = Run(dir + row.tool, args, row.caller);
    const std::string out = Replaced(row.out, Padded(pid, 5));
    if (run.out != out) {
        return "stdout \"" + Escaped(run.out) + "\", expected \"" + Escaped(out) + "\"";
    }
    if (!run.err.empty()) {
        return "stderr \"" + Escaped(run.err) + "\"";
    }
    if (run.status != row.status) {
        return "status " + std::to_string(run.status) + ", expected " + std::to_string(row.status);
    }
    const Sched after = Get(child);
    if (after.policy != row.after.policy || after.priority != row.after.priority) {
        return "child under " + Shown(after) + ", expected " + Shown(row.after);
    }
    if (Get(0).policy != 0) {
        return "process 1 changed";
    }
    // What schedassign set, schedreport reads back.
    if (std::string(row.tool) == "schedassign") {
        const Outcome back = Run(dir + "schedreport", {pid}, Caller::kRoot);
        const std::string line = Replaced(Report(row.after), Padded(pid, 5));
        if (back.out != line || back.status != 0) {
            return "read back \"" + Escaped(back.out) + "\", expected \"" + Escaped(line) + "\"";
        }
    }
    return "";
}

// Runs one case against a fresh child process; returns what went wrong, or "".
std::string Check(const std::string& dir, const Case& row)
{
    const pid_t child = fork();
    if (child == 0) {
        for (;;) {
            pause();
        }
    }
    std::string wrong = Mismatch(dir, row, child, std::to_string(child));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return wrong;
}

}  // namespace

int main()
{
    int passed = 0;
    int failed = 0;
    const std::vector<Case> cases = Cases();
    for (const auto& build : kBuilds) {
        int buildFailed = 0;
        for (const Case& row : cases) {
            const std::string wrong = Check(build.dir, row);
            if (wrong.empty()) {
                ++passed;
                continue;
            }
            ++buildFailed;
            std::string command = row.tool;
            for (const std::string& arg : row.args) {
                command += " [" + arg + "]";
            }
            std::printf("FAIL %s: %s: %s\n", build.name, command.c_str(), wrong.c_str());
        }
        std::printf("%s: %zu cases, %d failed\n", build.name, cases.size(), buildFailed);
        failed += buildFailed;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    // Only as process 1 of the guest: run anywhere else, it must not reboot
    // the machine it runs on.
    if (getpid() == 1) {
        sync();
        reboot(RB_AUTOBOOT);
    }
    return failed == 0 ? 0 : 1;
}
