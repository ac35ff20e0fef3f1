// The runner of the end-to-end cases (cases.cpp) for every kernel, its command
// line as its usage text says; with no arguments, as process 1, the guest's
// /init. The host's rows run on the real kernel by what they need of this host
// (nothing, a real-time policy, being nobody; "cores": each CPU model under
// qemu-user), the stand-in's with standin.cpp preloaded, both in a PID
// namespace of the runner's own, where every pid names a process that it
// started or none, or not at all; the guest's on a machine of their own. "--"
// puts what follows before each program. Exits 0 when every row holds, 1 on a
// failure, 77 (a skip) when this host cannot give what the rows need, 2 on bad
// usage.
#include <errno.h>
#include <fcntl.h>
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

struct Outcome {
    string out, err;  // what the program wrote
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
    const pid_t child = fork();
    if (child == 0) {
        const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
        const int outFd = open(full ? "/dev/full" : out.c_str(), flags, 0600);
        const int errFd = open(err.c_str(), flags, 0600);
        if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0 ||
            (caller == kClosed && !full && close(1) != 0) || (caller == kNobody && !BecomeNobody())) {
            _exit(125);
        }
        for (string& entry : env) {
            putenv(entry.data());
        }
        execvp(cargv[0], cargv.data());
        fprintf(stderr, "cannot run %s\n", cargv[0]);
        _exit(127);
    }
    const int status = Wait(child);
    return {full ? "" : Read(out), status < 0 ? "cannot start it" : Read(err), status};
}

// A child that waits to be killed; in the runner's namespace or the guest it dies with it.
pid_t Child()
{
    const pid_t child = fork();
    if (child == 0) {
        _exit(pause());  // with no signal handler, only death ends it
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

bool NeedsRealTime(const Case& row)
{
    auto realTime = [](int policy) {
        policy &= ~kResetOnFork;
        return policy != 0 && policy != 3 && policy != 5;  // OTHER, BATCH and IDLE need no privilege
    };
    return realTime(row.before.policy) || realTime(row.after.policy);
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
    std::vector<std::array<string, 3>> checks = {
        {"stdout", run.out, full ? "" : Expanded(row.out, Padded(pid, 5))},
        {"stderr", run.err, ""},
        {"status", to_string(run.status), to_string(full && !row.out.empty() ? 1 : row.status)},
        {"calls", Read(scratch + "/calls"),
         modelled ? Expanded("loaded;" + row.calls + (row.calls.empty() ? "" : ";"), pid) : ""},
        {"policy and priority", modelled ? Read(scratch + "/state") : Shown(Get(child)),
         modelled ? state(row.after) : Shown(row.after)},
    };
    if (row.argv[0] == "schedassign") {
        // What schedassign left, schedreport reads.
        const Outcome back = Run({"schedreport", pid}, kRoot, false, row.ranges);
        checks.push_back({"read back", back.out + back.err + " (status " + to_string(back.status) + ")",
                          ReportLine(pid, row.after) + " (status 0)"});
    }
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
    return text + kCallers[row.caller];
}

// Runs each row as it is and on /dev/full; prints each failure and "LABEL: N cases, M failed".
int RunRows(const std::vector<const Case*>& rows, const string& label)
{
    const string self = Shown(Get(0));
    int failed = 0;
    for (const Case* row : rows) {
        const pid_t child = kernel == kStandin ? kStandinChild : Child();
        string wrong = child < 0 ? "cannot start a child process" : Mismatch(*row, child, false);
        wrong = wrong.empty() ? Mismatch(*row, child, true) : wrong;
        if (kernel != kStandin) {
            End(child);
        }
        wrong = wrong.empty() && Shown(Get(0)) != self ? "the runner's own policy changed" : wrong;
        if (!wrong.empty()) {
            printf("FAIL %s: %s: %s\n", label.c_str(), Describe(*row).c_str(), wrong.c_str());
            ++failed;
        }
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
    const pid_t init = fork();
    if (init < 0) {
        printf("FAIL: cannot start the PID namespace's process 1: %s\n", strerror(errno));
        exit(1);
    }
    if (init > 0) {
        // Ended at once: it can start nothing, not even a sanitizer's thread, once process 1 is gone.
        const int status = Wait(init);
        _exit(status >= 0 && status < 128 ? status : 1);
    }
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const bool proc = (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 ||
                       mount(nullptr, "/proc", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) &&
                      mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) == 0;
    return proc ? "" : "no /proc can be mounted in the runner's own PID namespace";
}

// The file that execvp runs for `name`.
string OnPath(const string& name)
{
    const char* path = getenv("PATH");
    const string dirs = name.find('/') == string::npos && path != nullptr ? path : "";
    for (size_t at = 0, end = 0; at < dirs.size(); at = end + 1) {
        end = std::min(dirs.find(':', at), dirs.size());
        string file = dirs.substr(at, end - at) + "/" + name;
        if (access(file.c_str(), X_OK) == 0) {
            return file;
        }
    }
    return name;
}

// Why this host cannot give the rows what they need, or "": a real-time policy
// set on a child; nobody reading and executing the programs and the launcher,
// as access(2) tells a child that became nobody (the programs never run here).
string Unfit(bool realTime, bool nobody)
{
    if (!realTime && !nobody) {
        return "";
    }
    const pid_t child = Child();
    const bool mayRealTime = child > 0 && Set(child, {1, 1});
    End(child);
    const Strings files{binDir + "/schedassign", binDir + "/schedreport",
                        launcher.empty() ? binDir + "/schedreport" : OnPath(launcher[0])};
    const pid_t prober = fork();
    if (prober == 0) {
        const auto reached = [](const string& file) { return access(file.c_str(), R_OK | X_OK) == 0; };
        _exit(BecomeNobody() && std::all_of(files.begin(), files.end(), reached) ? 0 : 1);
    }
    const int mayNobody = Wait(prober);
    if (child < 0 || mayNobody < 0) {
        printf("FAIL: cannot start a child to probe this host\n");
        exit(1);
    }
    if (realTime && !mayRealTime) {
        return "this host refuses the runner a real-time policy (it needs CAP_SYS_NICE)";
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
    char cwd[4096] = "";
    const string given = standin;
    const string absolute =
        given[0] == '/' || getcwd(cwd, sizeof cwd) == nullptr ? given : cwd + ("/" + given);
    standin = scratch + "/libsched_standin.so";
    if (symlink(absolute.c_str(), standin.c_str()) != 0) {
        return "cannot link " + given;
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
    const bool guest = argc == 1;         // and process 1: it mounts /proc and ends the boot
    string named = guest ? "guest" : "";  // the kernel
    string rows = "plain";
    bool list = false;
    bool usage = guest && getpid() != 1;
    for (int i = 1; i < argc && !usage; ++i) {
        const string option = argv[i];
        string* value = option == "--kernel"    ? &named
                        : option == "--rows"    ? &rows
                        : option == "--bin-dir" ? &binDir
                        : option == "--standin" ? &standin
                                                : nullptr;
        if (option == "--") {
            launcher.assign(argv + i + 1, argv + argc);
            break;
        }
        list = list || option == "--list";
        usage = option != "--list" && (value == nullptr || i + 1 == argc);
        if (value != nullptr && !usage) {
            *value = argv[++i];
        }
    }
    kernel = named == "standin" ? kStandin : named == "guest" ? kGuest : kHost;
    unsetenv("LD_PRELOAD");  // the runner's preload is not the programs' business
    if (usage || (named != "host" && named != "standin" && !(named == "guest" && (list || guest))) ||
        (rows != "plain" && rows != "realtime" && rows != "nobody" && rows != "cores") ||
        (!list && !guest && (binDir.empty() || (kernel == kStandin && standin.empty())))) {
        fprintf(stderr,
                "usage: sched_e2e --kernel host|standin [--rows plain|realtime|nobody|cores]\n"
                "                 --bin-dir DIR [--standin LIB] [-- LAUNCHER...]\n"
                "       sched_e2e --kernel host|standin|guest [--rows ...] --list\n"
                "       sched_e2e (as process 1, the guest's /init)\n");
        return 2;
    }

    // The host's rows by what they need of it; every row of another kernel.
    std::vector<const Case*> selected;
    bool realTime = false;
    bool nobody = false;
    for (const Case& row : Cases()) {
        const bool asNobody = row.caller == kNobody;
        const bool ofClass = rows == "cores"    ? (row.kernels & kEveryCore) != 0
                             : rows == "nobody" ? asNobody
                                                : !asNobody && NeedsRealTime(row) == (rows == "realtime");
        if ((row.kernels & kernel) != 0 && (kernel != kHost || ofClass)) {
            selected.push_back(&row);
            realTime = realTime || NeedsRealTime(row);
            nobody = nobody || asNobody;
            if (list) {
                printf("%s\n", Describe(row).c_str());
            }
        }
    }
    if (!guest && (selected.empty() || list)) {
        printf("%s", selected.empty() ? "FAIL: no row of the table is selected\n" : "");
        return selected.empty() ? 1 : 0;
    }
    // Every host or stand-in row runs in the runner's own PID namespace, or none
    // does. From here on the guest ends the boot, whatever happens.
    string skip = guest ? "" : OwnNamespace();
    skip = skip.empty() && kernel == kHost ? Unfit(realTime, nobody) : skip;
    char dir[] = "/tmp/sched-e2e-XXXXXX";
    const bool made = skip.empty() && mkdtemp(dir) != nullptr;
    scratch = made ? dir : "";
    const string missing = !skip.empty()        ? ""
                           : !made              ? "no scratch directory can be made in /tmp"
                           : kernel == kStandin ? StandinMissing()
                                                : "";
    int failed = 1;
    if (!skip.empty()) {
        printf("SKIPPED: %zu rows: %s\n", selected.size(), skip.c_str());
    } else if (!missing.empty()) {
        printf("FAIL: %s; no row was run\n", missing.c_str());
    } else {
        failed = guest ? Guest(selected) : RunRows(selected, kernel == kHost ? "host " + rows : "stand-in");
    }
    for (const char* file : {"/stdout", "/stderr", "/state", "/calls", "/libsched_standin.so", ""}) {
        if (made) {
            remove((scratch + file).c_str());  // the directory last
        }
    }
    fflush(stdout);
    if (guest) {
        sync();
        reboot(RB_AUTOBOOT);
    }
    return !skip.empty() ? 77 : failed == 0 ? 0 : 1;
}
