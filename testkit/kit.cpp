#include "kit.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace kit {

const char kAssignUsage[] =
    "schedassign [pid] [FIFO | RR | OTHER | MGMT | CALLP | IO | MTC ] [priority]\n"
    "When policy is OTHER, either don't specify a priority or use 0 as priority\n";
const char kReportUsage[] = "schedreport [pid]\r\n";

namespace {

const char kNotInPlace[] = "the stand-in is not in place";
const char kSkipped[] = "skipped: ";

std::string Padded(std::string text, size_t width)
{
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string Expanded(std::string text, const std::string& pid)
{
    text = Replaced(text, "{long}", std::string(100000, 'K'));
    text = Replaced(text, "{9s}", std::string(100000, '9'));
    text = Replaced(text, "{-7s}", "-" + std::string(99999, '7'));
    return Replaced(text, "{pid}", pid);
}

// Text as a C literal would show it, cut short after 40 characters.
std::string Escaped(const std::string& text)
{
    std::string shown;
    for (const unsigned char c : text.substr(0, 40)) {
        char code[8];
        std::snprintf(code, sizeof code, c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\x%02x", c);
        shown += (c >= ' ' && c < 0x7f) ? std::string(1, static_cast<char>(c)) : std::string(code);
    }
    return text.size() > 40 ? shown + "...(" + std::to_string(text.size()) + " bytes)" : shown;
}

std::string Shown(Sched sched)
{
    return std::to_string(sched.policy) + " " + std::to_string(sched.priority);
}

// The non-empty lines of a file, joined by ";".
std::string Joined(const std::string& path)
{
    std::string text;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        text += (text.empty() || line.empty() ? "" : ";") + line;
    }
    return text;
}

struct Outcome {
    std::string out;
    std::string err;
    int status;  // exit status, or 128 + signal number when killed
};

// Reads the child's two pipes until both close, then waits for it.
Outcome Collect(pid_t child, int outFd, int errFd)
{
    Outcome outcome{"", "", -1};
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&outcome.out, &outcome.err};
    for (int open = 2; open > 0;) {
        if (poll(fds, 2, -1) < 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            char buffer[65536];
            const ssize_t n = fds[i].revents != 0 ? read(fds[i].fd, buffer, sizeof buffer) : -1;
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (fds[i].revents != 0) {
                close(fds[i].fd);
                fds[i].fd = -1;  // poll ignores it from now on
                --open;
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

// The NULL-terminated array that execve takes, pointing into `strings`.
std::vector<char*> CStrings(const std::vector<std::string>& strings)
{
    std::vector<char*> pointers(strings.size() + 1, nullptr);
    std::transform(strings.begin(), strings.end(), pointers.begin(),
                   [](const std::string& text) { return const_cast<char*>(text.c_str()); });
    return pointers;
}

// Runs one of the programs under test, with its arguments, through the
// target's launcher, as `caller`, with standard output on /dev/full when
// `full`, and `env` before this process's own environment (the stand-in
// preloaded when the target is the stand-in); collects what it writes.
Outcome Run(const Target& target, std::vector<std::string> argv, Caller caller, bool full,
            std::vector<std::string> env)
{
    argv[0] = target.binDir + "/" + argv[0];
    if (target.kernel == kStandin && target.launcher.empty()) {
        env.push_back("LD_PRELOAD=" + target.standin);
    } else if (target.kernel == kStandin) {
        // An emulator hands the library to the program it runs only.
        argv.insert(argv.begin(), {"-E", "LD_PRELOAD=" + target.standin});
    }
    argv.insert(argv.begin(), target.launcher.begin(), target.launcher.end());
    // What this process was given to preload, or to steer a stand-in with,
    // is no business of the program's: only `env` says that.
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string name(*entry, std::strcspn(*entry, "="));
        if (name != "LD_PRELOAD" && name.compare(0, 14, "SCHED_STANDIN_") != 0) {
            env.emplace_back(*entry);
        }
    }
    std::vector<char*> cargv = CStrings(argv);
    std::vector<char*> cenv = CStrings(env);
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    const pid_t child = pipe(out) == 0 && pipe(err) == 0 ? fork() : -1;
    if (child < 0) {
        for (const int fd : {out[0], out[1], err[0], err[1]}) {
            close(fd);  // harmless for the -1 of a pipe not made
        }
        return {"", "cannot start it: no pipe or no fork", -1};
    }
    if (child == 0) {
        const int stdoutFd = full ? open("/dev/full", O_WRONLY | O_CLOEXEC) : out[1];
        if (stdoutFd < 0 || dup2(stdoutFd, 1) < 0 || dup2(err[1], 2) < 0) {
            _exit(125);
        }
        for (const int fd : {out[0], out[1], err[0], err[1]}) {
            close(fd);
        }
        if (caller == Caller::kClosed && !full) {
            close(1);
        }
        if (caller == Caller::kNobody && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(126);
        }
        execvpe(cargv[0], cargv.data(), cenv.data());
        std::fprintf(stderr, "cannot run %s\n", cargv[0]);
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    return Collect(child, out[0], err[0]);
}

// A child process that waits to be killed, and dies with this process if it
// is not; -1 when none could be started.
pid_t Child()
{
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        while (getppid() == parent) {
            pause();
        }
        _exit(0);
    }
    return child;
}

void End(pid_t child)
{
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
}

// A process's policy and priority, set and read through the kernel's own
// calls, the reference for what a program changed.
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

Sched After(const Case& row)
{
    return row.after.policy == kUnchanged.policy ? row.before : row.after;
}

// Steers the stand-in: gives it the processes `state` ("pid policy priority"
// lines) and an empty call log, unless `state` is null, and returns the
// environment that points a program at them, with `ranges` and `fail`.
std::vector<std::string> Standin(const Target& target, const char* state, const char* ranges, const char* fail)
{
    const std::string statePath = target.scratch + "/state";
    const std::string logPath = target.scratch + "/calls";
    if (state != nullptr) {
        std::ofstream(statePath) << state;
        std::ofstream(logPath).flush();
    }
    std::vector<std::string> env{"SCHED_STANDIN_STATE=" + statePath, "SCHED_STANDIN_LOG=" + logPath};
    for (const auto& [name, value] : {std::pair{"SCHED_STANDIN_RANGES=", ranges}, {"SCHED_STANDIN_FAIL=", fail}}) {
        if (*value != '\0') {
            env.push_back(name + std::string(value));
        }
    }
    return env;
}

// Whether pid text can only name the child, the program itself (0), no
// process (negative) or no real process (above PID_MAX_LIMIT), as a faulty
// conversion that stops at the first other character reads it; and, when
// `strict`, as one that reads it as C reads a literal (0x10, 010), as a
// floating-point number (1e3), or wrapping at 32 bits.
bool NamesNoOtherProcess(const std::string& text, long long child, bool strict)
{
    const char* p = text.c_str();
    const double real = std::strtod(p, nullptr);
    const char* digits = p + std::strspn(p, " \t\n\v\f\r");
    const bool negative = *digits == '-';
    digits += (*digits == '-' || *digits == '+') ? 1 : 0;
    uint32_t wrapped = 0;
    for (; *digits >= '0' && *digits <= '9'; ++digits) {
        wrapped = wrapped * 10U + static_cast<uint32_t>(*digits - '0');
    }
    std::vector<long long> readings{std::strtoll(p, nullptr, 10)};
    if (strict) {
        readings.insert(readings.end(),
                        {std::strtoll(p, nullptr, 0), std::isnan(real) ? 0
                                                      : real > 9e18     ? LLONG_MAX
                                                      : real < -9e18    ? LLONG_MIN
                                                                        : static_cast<long long>(real),
                         static_cast<int32_t>(negative ? 0U - wrapped : wrapped)});
    }
    return std::all_of(readings.begin(), readings.end(), [child](long long pid) {
        return pid == child || pid <= 0 || pid > kPidMaxLimit;
    });
}

// Runs `row` against the child `child`, with standard output on /dev/full
// when `full`; returns what went wrong, or "".
std::string Mismatch(const Target& target, const Case& row, pid_t child, bool full)
{
    const bool standin = target.kernel == kStandin;
    const std::string pid = std::to_string(child);
    std::vector<std::string> argv(row.argv.size());
    std::transform(row.argv.begin(), row.argv.end(), argv.begin(),
                   [&pid](const std::string& arg) { return Expanded(arg, pid); });
    // A row names only the child, 0, negative pids and pids above any
    // pid_max, as the programs read pid text; a guest whose process 1 is
    // this runner is a machine of the test's own. On the host's real kernel
    // outside a PID namespace of its own (where the runner is not process
    // 1), that must hold under any faulty reading too, or the row is skipped.
    const bool strict = target.kernel == kHost && getpid() != 1;
    const bool ownMachine = target.kernel == kGuest && getpid() == 1;
    if (!ownMachine && argv.size() > 1 && !NamesNoOtherProcess(argv[1], child, strict)) {
        return std::string(strict ? kSkipped : "") +
               "refused: its pid text may name a process that this runner did not start";
    }
    const std::string state = pid + " " + Shown(row.before) + "\n0 0 0\n";
    if (!standin && !Set(child, row.before)) {
        return "cannot put the child under " + Shown(row.before);
    }
    const Outcome run = Run(target, argv, row.caller, full,
                            standin ? Standin(target, state.c_str(), row.ranges, row.fail) : std::vector<std::string>{});
    const std::string calls = standin ? Joined(target.scratch + "/calls") : "";
    if (standin && calls.compare(0, 6, "loaded") != 0) {
        return std::string(kNotInPlace) + ": no \"loaded\" line in its call log";
    }
    const Sched after = After(row);
    const struct {
        const char* what;
        std::string got;
        std::string expected;
    } kChecks[] = {
        {"stdout", run.out, full ? "" : Expanded(row.out, Padded(pid, 5))},
        {"stderr", run.err, ""},
        {"status", std::to_string(run.status), std::to_string(full && !row.out.empty() ? 1 : row.status)},
        {"calls", calls, standin ? Expanded(std::string("loaded") + (row.calls.empty() ? "" : ";") + row.calls, pid) : ""},
        {"policy and priority", standin ? Joined(target.scratch + "/state") : Shown(Get(child)),
         standin ? pid + " " + Shown(after) + ";0 0 0" : Shown(after)},
    };
    for (const auto& check : kChecks) {
        // cppcheck-suppress useStlAlgorithm ; the first mismatch, told in words
        if (check.got != check.expected) {
            return std::string(full ? "with stdout on /dev/full: " : "") + check.what + " \"" + Escaped(check.got) +
                   "\", expected \"" + Escaped(check.expected) + "\"";
        }
    }
    if (row.argv[0] != "schedassign") {
        return "";
    }
    // What schedassign left, schedreport reads back.
    const Outcome back = Run(target, {"schedreport", pid}, Caller::kRoot, false,
                             standin ? Standin(target, nullptr, row.ranges, "") : std::vector<std::string>{});
    const std::string line = ReportLine(pid, after);
    return back.out == line && back.err.empty() && back.status == 0
               ? ""
               : "read back \"" + Escaped(back.out) + "\", expected \"" + Escaped(line) + "\"";
}

}  // namespace

unsigned Needs(const Case& row)
{
    auto realTime = [](int policy) {
        const int base = policy & ~kResetOnFork;
        return base != 0 && base != 3 && base != 5;  // OTHER, BATCH and IDLE need no privilege
    };
    return (realTime(row.before.policy) || realTime(After(row).policy) ? kNeedsRealTime : 0U) |
           (row.caller == Caller::kNobody ? kNeedsNobody : 0U);
}

std::string ReportLine(const std::string& pid, Sched sched)
{
    return std::string(21, ' ') + "pid=" + Padded(pid, 5) + " Policy = " + Padded(ExpectedReportName(sched.policy), 15) +
           " Priority = " + Padded(std::to_string(sched.priority), 3) + "\r\n";
}

std::string RangeError(const std::string& keyword, int min, int max)
{
    return "Error: priority for " + keyword + " policy must be between " + std::to_string(min) + " and " +
           std::to_string(max) + "\n";
}

bool MaySetRealTime()
{
    const pid_t child = Child();
    const bool allowed = child > 0 && Set(child, {1, 1});
    End(child);
    return allowed;
}

bool MayRunAsNobody(const Target& target)
{
    return Run(target, {"schedreport", "0"}, Caller::kNobody, false, {}).status == 0;
}

std::string ProveStandin(const Target& target)
{
    // Each program run on itself (pid 0), which changes nothing but the
    // program itself whatever answers: every call must reach the stand-in.
    const struct {
        std::vector<std::string> argv;
        const char* calls;
    } kProbes[] = {
        {{"schedassign", "0", "OTHER"}, "loaded;min 0;max 0;set 0 0 0"},
        {{"schedreport", "0"}, "loaded;policy 0;param 0"},
    };
    for (const auto& probe : kProbes) {
        const Outcome run = Run(target, probe.argv, Caller::kRoot, false, Standin(target, "0 0 0\n", "", ""));
        const std::string calls = Joined(target.scratch + "/calls");
        if (calls != probe.calls) {
            return std::string(kNotInPlace) + ": preloading " + target.standin + ", " + probe.argv[0] +
                   " 0 left \"" + calls + "\" in its call log, not \"" + probe.calls + "\"" +
                   (run.err.empty() ? "" : " (stderr: " + Escaped(run.err) + ")");
        }
    }
    return "";
}

std::string Describe(const Case& row)
{
    static const char* const kCallers[] = {"", " as nobody", " with stdout closed"};
    std::string text = row.argv[0];
    for (auto arg = row.argv.begin() + 1; arg != row.argv.end(); ++arg) {
        text += " [" + Escaped(*arg) + "]";
    }
    return text + kCallers[static_cast<int>(row.caller)];
}

Tally RunRows(const Target& target, const std::vector<const Case*>& rows, const char* label)
{
    const std::string self = Shown(Get(0));
    Tally tally{0, 0, 0};
    for (const Case* row : rows) {
        const pid_t child = target.kernel == kStandin ? kStandinChild : Child();
        std::string wrong = child < 0 ? "cannot start a child process" : Mismatch(target, *row, child, false);
        wrong = wrong.empty() ? Mismatch(target, *row, child, true) : wrong;
        if (target.kernel != kStandin) {
            End(child);
            wrong = wrong.empty() && Shown(Get(0)) != self ? "the runner's own policy changed" : wrong;
        }
        const bool skipped = wrong.compare(0, sizeof kSkipped - 1, kSkipped) == 0;
        ++(wrong.empty() ? tally.passed : skipped ? tally.skipped : tally.failed);
        if (!wrong.empty()) {
            std::printf("%s %s: %s: %s\n", skipped ? "SKIP" : "FAIL", label, Describe(*row).c_str(),
                        wrong.c_str() + (skipped ? sizeof kSkipped - 1 : 0));
        }
        if (wrong.compare(0, sizeof kNotInPlace - 1, kNotInPlace) == 0) {
            std::printf("%s: stopped, no further row was run\n", label);
            break;
        }
    }
    std::printf("%s: %zu cases, %d failed, %d skipped\n", label, rows.size(), tally.failed, tally.skipped);
    std::fflush(stdout);
    return tally;
}

}  // namespace kit
