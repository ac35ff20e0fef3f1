// The runner of the end-to-end cases (cases.cpp) for every kernel, its command
// line as its usage text says; with no arguments, as process 1, the guest's
// /init. The host's rows run on the real kernel by what they need of it
// (nothing, a real-time policy, being nobody; "cores": each CPU model under
// qemu-user), the runner under OTHER 0; the stand-in's with standin.cpp
// preloaded; both in a PID namespace of the runner's own, where every pid
// names a process that it started or none. Exits 0 when every row holds, 1 on
// a failure, 77 (a skip) when this host cannot give what the rows need, 2 on
// bad usage, 128 + the signal after INT or TERM.
#include <errno.h>
#include <fcntl.h>
#include <getopt.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/reboot.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "cases.h"

using std::string;
using std::to_string;

namespace {

using Strings = std::vector<string>;

// The command line's; scratch holds what a program writes and the stand-in's files.
Kernel kernel = kHost;
string binDir;
Strings launcher;
string standin;
string scratch;
volatile sig_atomic_t stopped = 0;  // the INT or TERM that stopped the run
volatile sig_atomic_t init = 0;     // the runner proper, process 1 of its namespace, as its parent sees it

// INT or TERM ends the runner proper, process 1, and with it every process of
// its namespace, before any of their ends is taken for a row's; its parent
// then removes the scratch.
extern "C" void Interrupted(int received)
{
    stopped = received;
    if (getpid() == 1) {
        _exit(128 + received);
    } else if (init > 0) {
        kill(init, SIGKILL);
    }
}

void RemoveScratch()
{
    std::error_code error;
    std::filesystem::remove_all(scratch, error);
}

string Expanded(string text, const string& pid)
{
    static const string kLong(100000, 'K'), kNines(100000, '9'), kSevens = "-" + string(99999, '7');
    for (const auto& [from, to] :
         {std::pair{"{long}", &kLong}, {"{9s}", &kNines}, {"{-7s}", &kSevens}, {"{pid}", &pid}}) {
        for (size_t at = text.find(from); at != string::npos; at = text.find(from, at + to->size())) {
            text.replace(at, strlen(from), *to);
        }
    }
    return text;
}

// Text as a C literal shows it: 60 bytes from a little before where it differs from `other`.
string Escaped(const string& text, const string& other = "")
{
    const auto at = std::mismatch(text.begin(), text.end(), other.begin(), other.end()).first - text.begin();
    const size_t from = at > 40 ? static_cast<size_t>(at) - 20 : 0;
    string shown = from == 0 ? "" : "(from byte " + to_string(from) + ") ";
    for (const unsigned char c : text.substr(std::min(from, text.size()), 60)) {
        char code[8];
        snprintf(code, sizeof code, c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\x%02x", c);
        shown += (c >= ' ' && c < 0x7f) ? string(1, static_cast<char>(c)) : string(code);
    }
    return text.size() > from + 60 ? shown + "...(" + to_string(text.size()) + " bytes)" : shown;
}

string Shown(Sched sched, const char* between = " ")
{
    return to_string(sched.policy) + between + to_string(sched.priority);
}

string Read(const string& path)
{
    string text;
    if (FILE* file = fopen(path.c_str(), "r"); file != nullptr) {
        for (int c = fgetc(file); c != EOF; c = fgetc(file)) {
            text += static_cast<char>(c);
        }
        fclose(file);
    }
    return text;
}

bool Written(const string& path, const string& text)
{
    FILE* file = fopen(path.c_str(), "w");
    const bool put = file != nullptr && fputs(text.c_str(), file) >= 0;
    return file != nullptr && fclose(file) == 0 && put;
}

// The exit status of `child`, or 128 + the signal that ended it; -1 for none.
int Wait(pid_t child)
{
    int status = 0;
    const bool ended = child > 0 && waitpid(child, &status, 0) == child;
    return !ended ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool BecomeNobody()
{
    return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
}

// "cannot run PATH: REASON" for a program or the launcher that this process may
// not read and execute, or "": under qemu-user a failed exec is only a status.
string Unrunnable()
{
    for (const string& file :
         {binDir + "/schedassign", binDir + "/schedreport", launcher.empty() ? "" : launcher[0]}) {
        if (!file.empty() && access(file.c_str(), R_OK | X_OK) != 0) {
            return "cannot run " + file + ": " + strerror(errno);
        }
    }
    return "";
}

struct Outcome {
    string out,
        err;  // what the program wrote; with status -1, the step at which the runner failed to start it
    int status;
};

// Runs a program as `caller`, stdout on /dev/full when `full`, the stand-in steered by `ranges`, `fail`.
Outcome Run(Strings argv, Caller caller, bool full, const char* ranges = "", const char* fail = "")
{
    Strings env{"SCHED_STANDIN_STATE=" + scratch + "/state", "SCHED_STANDIN_LOG=" + scratch + "/calls",
                string("SCHED_STANDIN_RANGES=") + ranges, string("SCHED_STANDIN_FAIL=") + fail};
    argv[0] = binDir + "/" + argv[0];
    if (kernel == kStandin && launcher.empty()) {
        env.push_back("LD_PRELOAD=" + standin);
    } else if (kernel == kStandin) {
        argv.insert(argv.begin(), {"-E", "LD_PRELOAD=" + standin});  // for the emulated program alone
    }
    argv.insert(argv.begin(), launcher.begin(), launcher.end());
    std::vector<char*> cargv(argv.size() + 1, nullptr);
    std::transform(argv.begin(), argv.end(), cargv.begin(), [](string& text) { return text.data(); });
    const string out = scratch + "/stdout";
    const string err = scratch + "/stderr";
    int setup[2] = {-1, -1};  // the child writes the step that failed here; its exec closes it
    const pid_t child = pipe2(setup, O_CLOEXEC) == 0 ? fork() : -1;
    const string failed = child < 0 ? string("no child: ") + strerror(errno) : "";
    if (child == 0) {
        const auto step = [&setup](bool done, const string& what) {
            if (!done) {
                dprintf(setup[1], "%s: %s", what.c_str(), strerror(errno));
                _exit(125);
            }
        };
        const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
        const int outFd = open(full ? "/dev/full" : out.c_str(), flags, 0600);
        step(outFd >= 0 && dup2(outFd, 1) == 1, full ? "/dev/full as stdout" : "stdout in scratch");
        const int errFd = open(err.c_str(), flags, 0600);
        step(errFd >= 0 && dup2(errFd, 2) == 2, "stderr in scratch");
        step(caller != kClosed || full || close(1) == 0, "closing stdout");
        step(caller != kNobody || BecomeNobody(), "becoming nobody");
        std::for_each(env.begin(), env.end(), [](string& entry) { putenv(entry.data()); });
        execv(cargv[0], cargv.data());
        step(false, "cannot run " + argv[0]);
    }
    close(setup[1]);
    char why[256] = "";
    const ssize_t length = child > 0 ? read(setup[0], why, sizeof why) : 0;
    close(setup[0]);
    const int status = Wait(child);
    const string reason = failed + string(why, std::max<ssize_t>(length, 0));
    return reason.empty() && status >= 0 ? Outcome{full ? "" : Read(out), Read(err), status}
                                         : Outcome{"", reason.empty() ? "lost it" : reason, -1};
}

// A child that waits to be killed; in the runner's namespace or the guest it dies with it.
pid_t Child()
{
    const pid_t child = fork();
    if (child == 0) {
        _exit(pause());  // ended only by a signal
    }
    return child;
}

void End(pid_t child)
{
    if (child > 0 && kill(child, SIGKILL) == 0) {
        Wait(child);
    }
}

// The kernel's own calls, the reference for what a program changed.
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
    return policy == -1 || sched_getparam(pid, &param) == -1 ? Sched{-1, -1}
                                                             : Sched{policy, param.sched_priority};
}

// The highest real-time priority that `row` puts the child under; 0 for none (OTHER, BATCH, IDLE).
int RealTime(const Case& row)
{
    int top = 0;
    for (const Sched sched : {row.before, row.after}) {
        const int policy = sched.policy & ~kResetOnFork;
        top = policy != 0 && policy != 3 && policy != 5 ? std::max({top, sched.priority, 1}) : top;
    }
    return top;
}

// Runs `row` on `child`, stdout on /dev/full when `full`; what differed.
string Mismatch(const Case& row, pid_t child, bool full)
{
    const bool modelled = kernel == kStandin;  // the processes are the stand-in's
    const string pid = to_string(child);
    Strings argv(row.argv.size());
    std::transform(row.argv.begin(), row.argv.end(), argv.begin(),
                   [&pid](const auto& arg) { return Expanded(arg, pid); });
    if (!modelled && !Set(child, row.before)) {
        return "cannot put the child under " + Shown(row.before);
    }
    // The stand-in's processes: the child and this one (pid 0).
    auto state = [&pid](Sched sched) { return pid + ":" + Shown(sched, ":") + ",0:0:0"; };
    Written(scratch + "/state", state(row.before));
    Written(scratch + "/calls", "");
    const Outcome run = Run(argv, row.caller, full, row.ranges, row.fail);
    if (run.status < 0) {
        return "the runner could not start it: " + run.err;
    }
    const std::array<string, 3> checks[] = {
        {"stdout", run.out, full ? "" : Expanded(row.out, Padded(pid, 5))},
        {"stderr", run.err, ""},
        {"status", to_string(run.status), to_string(full && !row.out.empty() ? 1 : row.status)},
        {"calls", Read(scratch + "/calls"),
         modelled ? Expanded("loaded;" + row.calls + (row.calls.empty() ? "" : ";"), pid) : ""},
        {"policy and priority", modelled ? Read(scratch + "/state") : Shown(Get(child)),
         modelled ? state(row.after) : Shown(row.after)},
    };
    string wrong;
    for (const auto& [what, got, expected] : checks) {
        if (got != expected) {
            wrong += (wrong.empty() ? "" : "; ") + what + " \"" + Escaped(got, expected) + "\", expected \"" +
                     Escaped(expected, got) + "\"";
        }
    }
    return wrong.empty() || !full ? wrong : "with stdout on /dev/full: " + wrong;
}

string Describe(const Case& row)
{
    static const char* const kCallers[] = {"", " as nobody", " with stdout closed"};
    string text = row.argv[0];
    for (auto arg = row.argv.begin() + 1; arg != row.argv.end(); ++arg) {
        text += " [" + Escaped(*arg) + "]";
    }
    return text + kCallers[row.caller] + (*row.fail != '\0' ? string(" failing ") + row.fail : "");
}

// Runs each row as it is, then on /dev/full; after a schedassign row that held,
// schedreport reads the child back, once, on a line of its own. Prints each
// failure and "LABEL: N cases, M failed", a row counted once; returns M.
int RunRows(const std::vector<const Case*>& rows, const string& label)
{
    const string self = Shown(Get(0));
    int failed = 0;
    for (const Case* row : rows) {
        // The child as the row left it (the first pass checked it), read back once by schedreport.
        Case back{
            .argv = {"schedreport", "{pid}"}, .calls = "policy {pid};param {pid}", .ranges = row->ranges};
        back.before = back.after = row->after;
        back.out = ReportLine("{pid}", row->after);
        const pid_t child = kernel == kStandin ? kStandinChild : Child();
        string wrong = child < 0 ? "the runner cannot start a child process" : Mismatch(*row, child, false);
        const string misread =
            wrong.empty() && row->argv[0] == "schedassign" ? Mismatch(back, child, false) : "";
        wrong = wrong.empty() ? Mismatch(*row, child, true) : wrong;
        if (kernel != kStandin) {
            End(child);
        }
        wrong = wrong.empty() && Shown(Get(0)) != self ? "the runner's own policy changed" : wrong;
        if (!misread.empty()) {
            printf("FAIL %s: schedreport [{pid}] after %s: %s\n", label.c_str(), Describe(*row).c_str(),
                   misread.c_str());
        }
        if (!wrong.empty()) {
            printf("FAIL %s: %s: %s\n", label.c_str(), Describe(*row).c_str(), wrong.c_str());
        }
        failed += misread.empty() && wrong.empty() ? 0 : 1;
    }
    printf("%s: %zu cases, %d failed\n", label.c_str(), rows.size(), failed);
    return failed;
}

// Makes this process the first of a PID namespace of its own (without root, in
// a user namespace), with its /proc in a mount namespace whose mounts reach no
// other: "/" made private, or /proc in a chroot. Returns why not, or "".
string OwnNamespace()
{
    const string ids[] = {to_string(geteuid()), to_string(getegid())};
    if (ids[0] != "0" && (unshare(CLONE_NEWUSER) != 0 || !Written("/proc/self/setgroups", "deny") ||
                          !Written("/proc/self/uid_map", "0 " + ids[0] + " 1") ||
                          !Written("/proc/self/gid_map", "0 " + ids[1] + " 1"))) {
        return string("no user namespace for the runner's own PID namespace: ") + strerror(errno);
    }
    if (unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) {
        return string("no PID namespace of the runner's own: ") + strerror(errno);
    }
    fflush(stdout);
    init = fork();
    if (init < 0) {
        printf("FAIL: cannot start the PID namespace's process 1: %s\n", strerror(errno));
        exit(1);
    }
    if (init > 0) {
        // Ended at once: it can start nothing, not even a sanitizer's thread, once process 1 is gone.
        const int status = Wait(init);
        init = 0;
        RemoveScratch();
        if (stopped != 0) {
            printf("FAIL: stopped by signal %d\n", stopped);
        }
        _exit(stopped != 0 ? 128 + stopped : status >= 0 && status < 128 ? status : 1);
    }
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const bool proc = (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 ||
                       mount(nullptr, "/proc", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) &&
                      mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) == 0;
    return proc ? "" : "no /proc can be mounted in the runner's own PID namespace";
}

// Why this host cannot give the rows what they need, or "": the runner put
// under OTHER 0; real-time priority `realTime` (0: none needed) set on a child;
// nobody reading and executing the programs and the launcher, as access(2)
// tells a child that became nobody (the programs never run here).
string Unfit(int realTime, bool nobody)
{
    if (!Set(0, {0, 0})) {
        return "the runner cannot put itself under OTHER 0 (leaving IDLE needs CAP_SYS_NICE or RLIMIT_NICE)";
    }
    if (realTime == 0 && !nobody) {
        return "";
    }
    const pid_t child = Child();
    const bool mayRealTime = child > 0 && Set(child, {1, std::max(realTime, 1)});
    End(child);
    const pid_t prober = fork();
    if (prober == 0) {
        _exit(BecomeNobody() && Unrunnable().empty() ? 0 : 1);
    }
    const int mayNobody = Wait(prober);
    if (child < 0 || mayNobody < 0) {
        printf("FAIL: cannot start a child to probe this host\n");
        exit(1);
    }
    if (realTime > 0 && !mayRealTime) {
        return "this host refuses the runner real-time priority " + to_string(realTime) +
               " (it needs CAP_SYS_NICE or an RLIMIT_RTPRIO as high)";
    }
    return nobody && mayNobody != 0
               ? "nobody cannot run the programs here (changing user needs the privilege; "
                 "every directory above the programs and the launcher must be open to nobody)"
               : "";
}

// "" when the stand-in is in place: it logs "loaded" as it loads, before a
// program's main. The loader splits LD_PRELOAD at blanks and colons, so it goes
// through a link in scratch.
string StandinMissing()
{
    const string given = standin;
    standin = scratch + "/libsched_standin.so";
    std::error_code error;
    std::filesystem::create_symlink(std::filesystem::absolute(given, error), standin, error);
    if (error) {
        return "cannot link " + given + ": " + error.message();
    }
    const Outcome run = Run({"schedreport"}, kRoot, false);
    const string calls = Read(scratch + "/calls");
    return calls.compare(0, 7, "loaded;") == 0
               ? ""
               : "the stand-in is not in place: preloading " + given + ", the call log holds \"" +
                     Escaped(calls) + "\"" + (run.err.empty() ? "" : " (stderr: " + Escaped(run.err) + ")");
}

// As /init: prints /proc/cpuinfo's cpu line, runs the rows on each build,
// prints "N passed, M failed"; returns M. Only stdio: a C++ stream's first use
// waits on a futex by the 32-bit-time call, which the test kernels lack (no
// CONFIG_COMPAT_32BIT_TIME), and glibc stops on ENOSYS.
int Guest(const std::vector<const Case*>& rows)
{
    if (access("/proc/self", F_OK) != 0) {
        mount("proc", "/proc", "proc", 0, nullptr);
    }
    const string cpuinfo = "\n" + Read("/proc/cpuinfo");
    const size_t cpu = cpuinfo.find("\ncpu\t");
    const string line = cpu == string::npos ? "no cpu line" : cpuinfo.substr(cpu + 1);
    printf("%s\n", line.substr(0, line.find('\n')).c_str());
    // Static with glibc, musl and uClibc-ng; dynamic, as a package ships it.
    int failed = 0;
    size_t run = 0;
    for (const char* dir : {"/static", "/musl", "/uclibc", "/usr/bin"}) {
        binDir = dir;
        if (access(dir, F_OK) == 0) {
            run += rows.size();
            failed += RunRows(rows, dir);
        }
    }
    printf("%zu passed, %d failed\n", run - static_cast<size_t>(failed), failed);
    return failed;
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);  // each line out before anything can end the run
    const bool guest = argc == 1;         // and process 1: it mounts /proc and ends the boot
    string named = guest ? "guest" : "";  // the kernel
    string rows = "plain";
    string only;  // a text that each selected row's description holds
    bool list = false;
    bool usage = guest && getpid() != 1;
    // Each option's value is its index in `values`; "+": what follows "--" is the launcher's.
    string* const values[] = {&named, &rows, &binDir, &standin, &only};
    const option options[] = {{"kernel", 1, nullptr, 0},
                              {"rows", 1, nullptr, 1},
                              {"bin-dir", 1, nullptr, 2},
                              {"standin", 1, nullptr, 3},
                              {"only", 1, nullptr, 4},
                              {"list", 0, nullptr, 5},
                              {}};
    for (int got = 0; (got = getopt_long(argc, argv, "+", options, nullptr)) != -1;) {
        usage = usage || got < 0 || got > 5;
        list = list || got == 5;
        if (got >= 0 && got < 5) {
            *values[got] = optarg;
        }
    }
    usage = usage || (optind < argc && strcmp(argv[optind - 1], "--") != 0);
    launcher.assign(argv + optind, argv + argc);
    kernel = named == "standin" ? kStandin : named == "guest" ? kGuest : kHost;
    unsetenv("LD_PRELOAD");  // the runner's preload is not the programs' business
    if (usage || (named != "host" && named != "standin" && !(named == "guest" && (list || guest))) ||
        (rows != "plain" && rows != "realtime" && rows != "nobody" && rows != "cores") ||
        (!list && !guest && (binDir.empty() || (kernel == kStandin && standin.empty())))) {
        fprintf(stderr,
                "usage: sched_e2e --kernel host|standin [--rows plain|realtime|nobody|cores] [--only TEXT]\n"
                "                 --bin-dir DIR [--standin LIB] [-- /PATH/OF/LAUNCHER ARGS...]\n"
                "       sched_e2e --kernel host|standin|guest [--rows ...] [--only TEXT] --list\n"
                "       sched_e2e (as process 1, the guest's /init)\n");
        return 2;
    }

    // The host's rows by what they need of it; every row of another kernel.
    std::vector<const Case*> selected;
    int realTime = 0;
    bool nobody = false;
    for (const Case& row : Cases()) {
        const bool asNobody = row.caller == kNobody;
        const bool ofClass = rows == "cores"    ? (row.kernels & kEveryCore) != 0
                             : rows == "nobody" ? asNobody
                                                : !asNobody && (RealTime(row) > 0) == (rows == "realtime");
        if ((row.kernels & kernel) != 0 && (kernel != kHost || ofClass) &&
            Describe(row).find(only) != string::npos) {
            selected.push_back(&row);
            realTime = std::max(realTime, RealTime(row));
            nobody = nobody || asNobody;
            printf("%s", list ? (Describe(row) + "\n").c_str() : "");
        }
    }
    if (!guest && (selected.empty() || list)) {
        printf("%s", selected.empty() ? "FAIL: no row of the table is selected\n" : "");
        return selected.empty() ? 1 : 0;
    }
    // The scratch first, removed however the run ends; then every host or stand-in row runs in
    // the runner's own PID namespace, or none does. From here on the guest ends the boot.
    char dir[] = "/tmp/sched-e2e-XXXXXX";
    scratch = mkdtemp(dir) != nullptr ? dir : "";
    atexit(RemoveScratch);
    signal(SIGINT, guest ? SIG_DFL : Interrupted);
    signal(SIGTERM, guest ? SIG_DFL : Interrupted);
    string skip = guest || scratch.empty() ? "" : OwnNamespace();
    string fault = scratch.empty()          ? "no scratch directory can be made in /tmp"
                   : guest || !skip.empty() ? ""
                                            : Unrunnable();
    skip = skip.empty() && fault.empty() && kernel == kHost ? Unfit(realTime, nobody) : skip;
    fault = skip.empty() && fault.empty() && kernel == kStandin ? StandinMissing() : fault;
    int failed = 1;
    if (!skip.empty()) {
        printf("SKIPPED: %zu rows: %s\n", selected.size(), skip.c_str());
    } else if (!fault.empty()) {
        printf("FAIL: %s; no row was run\n", fault.c_str());
    } else {
        failed = guest ? Guest(selected) : RunRows(selected, kernel == kHost ? "host " + rows : "stand-in");
    }
    fflush(stdout);
    if (guest) {
        sync();
        reboot(RB_AUTOBOOT);
    }
    return !skip.empty() ? 77 : failed == 0 ? 0 : 1;
}
