// The host's runner of the end-to-end cases:
//   sched_e2e --kernel host|standin [--rows plain|realtime|nobody|cores]
//             --bin-dir DIR [--standin LIB] [-- LAUNCHER...]
//   sched_e2e --kernel host|standin|guest [--rows ...] --list
// It runs the table's rows for one kernel: this host's real kernel (the rows
// that need nothing of it, a real-time policy, or running as nobody; or the
// few that run on each CPU model under qemu-user), or the preloaded
// stand-in. Everything after "--" is put before each program, as an
// emulator is. --list prints the rows instead (the guest's too, which its
// /init runs). Exits 0 when every row holds, 1 on any failure, and 77
// (a skip) when this host cannot give what the selected rows need.
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "kit.h"

namespace {

// Mounts a /proc of this process's PID namespace, in a mount namespace of its
// own whose mounts reach no other: "/" made private, or in a chroot, where
// "/" is no mount point, the /proc that is there.
bool OwnProc()
{
    return unshare(CLONE_NEWNS) == 0 &&
           (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 ||
            mount(nullptr, "/proc", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) &&
           mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    kit::Target target{kit::kHost, "", {}, "", ""};
    std::string kernel;
    std::string rows = "plain";
    bool list = false;
    bool usage = false;
    for (int i = 1; i < argc && !usage; ++i) {
        const std::string option = argv[i];
        std::string* value = option == "--kernel"    ? &kernel
                             : option == "--rows"    ? &rows
                             : option == "--bin-dir" ? &target.binDir
                             : option == "--standin" ? &target.standin
                                                     : nullptr;
        if (option == "--") {
            target.launcher.assign(argv + i + 1, argv + argc);
            break;
        }
        list = list || option == "--list";
        usage = option != "--list" && (value == nullptr || i + 1 == argc);
        if (value != nullptr && !usage) {
            *value = argv[++i];
        }
    }
    const unsigned needs = rows == "realtime" ? kit::kNeedsRealTime : rows == "nobody" ? kit::kNeedsNobody : 0U;
    const bool cores = rows == "cores";
    target.kernel = kernel == "standin" ? kit::kStandin : kernel == "guest" ? kit::kGuest : kit::kHost;
    if (usage || (target.binDir.empty() && !list) || (rows != "plain" && !cores && needs == 0) ||
        (kernel != "host" && kernel != "standin" && !(kernel == "guest" && list)) ||
        (kernel == "standin" && target.standin.empty() && !list)) {
        std::fprintf(stderr,
                     "usage: %s --kernel host|standin [--rows plain|realtime|nobody|cores] --bin-dir DIR "
                     "[--standin LIB] [-- LAUNCHER...]\n       %s --kernel host|standin|guest [--rows ...] --list\n",
                     argv[0], argv[0]);
        return 2;
    }

    // The host's rows by what they need of it; every row of another kernel.
    std::vector<const kit::Case*> selected;
    unsigned needed = 0;
    for (const kit::Case& row : kit::Cases()) {
        const unsigned rowNeeds = kit::Needs(row);
        const bool ofClass = cores ? (row.kernels & kit::kEveryCore) != 0
                             : needs == kit::kNeedsNobody ? (rowNeeds & needs) != 0
                                                          : rowNeeds == needs;
        if ((row.kernels & target.kernel) != 0 && (target.kernel != kit::kHost || ofClass)) {
            selected.push_back(&row);
            needed |= rowNeeds;
        }
    }
    for (const kit::Case* row : list ? selected : std::vector<const kit::Case*>{}) {
        std::printf("%s\n", kit::Describe(*row).c_str());
    }
    if (selected.empty()) {
        std::printf("FAIL: no row of the table is selected\n");
        return 1;
    }
    if (list) {
        return 0;
    }

    if (target.kernel == kit::kStandin) {
        // The dynamic loader splits LD_PRELOAD at blanks and colons and
        // cannot quote them: the stand-in is preloaded through a link in a
        // directory whose path holds neither, wherever the build is.
        char scratch[] = "/tmp/sched-standin-XXXXXX";
        if (mkdtemp(scratch) == nullptr) {
            std::printf("FAIL: cannot make a scratch directory in /tmp; no row was run\n");
            return 1;
        }
        target.scratch = scratch;
        const std::string standin = target.standin;
        char cwd[4096] = "";
        const std::string absolute = standin[0] == '/' || getcwd(cwd, sizeof cwd) == nullptr ? standin
                                                                                             : cwd + ("/" + standin);
        target.standin = target.scratch + "/libsched_standin.so";
        const bool linked = symlink(absolute.c_str(), target.standin.c_str()) == 0;
        const std::string wrong = linked ? kit::ProveStandin(target) : "cannot link " + standin;
        if (!wrong.empty()) {
            std::printf("FAIL: %s (the stand-in: %s); no row was run\n", wrong.c_str(), standin.c_str());
        }
        const int failed = wrong.empty() ? kit::RunRows(target, selected, "stand-in").failed : 1;
        for (const char* file : {"/state", "/calls", "/libsched_standin.so"}) {
            std::remove((target.scratch + file).c_str());
        }
        rmdir(scratch);
        return failed == 0 ? 0 : 1;
    }

    // Where the host allows it (root does), the rows run in a PID namespace
    // of their own, whose process 1 is this runner, with a /proc of its own
    // for the tools that read it: there every pid names a process of the
    // test's own, whatever a faulty program makes of its pid text. A child
    // tries the /proc first, since a namespace cannot be left once entered.
    // Elsewhere a row whose pid text could name another process skips.
    std::fflush(stdout);
    const pid_t trial = fork();
    if (trial == 0) {
        _exit(OwnProc() ? 0 : 1);
    }
    int status = 1;
    if (trial > 0 && waitpid(trial, &status, 0) == trial && status == 0 && unshare(CLONE_NEWPID) == 0) {
        const pid_t init = fork();
        if (init != 0) {
            // Ended at once: this process can start nothing once the
            // namespace's process 1 is gone, not even a sanitizer's thread.
            const bool ended = init > 0 && waitpid(init, &status, 0) == init;
            _exit(ended && WIFEXITED(status) ? WEXITSTATUS(status) : 1);
        }
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (!OwnProc()) {
            std::printf("FAIL: cannot mount a /proc for the runner's own PID namespace\n");
            return 1;
        }
    }
    if ((needed & kit::kNeedsRealTime) != 0 && !kit::MaySetRealTime()) {
        std::printf("SKIPPED: %zu rows: this host refuses to let us set a real-time policy on a child "
                    "(needs CAP_SYS_NICE)\n",
                    selected.size());
        return 77;
    }
    if ((needed & kit::kNeedsNobody) != 0 && !kit::MayRunAsNobody(target)) {
        std::printf("SKIPPED: %zu rows: the programs cannot be run as nobody here (changing user needs the "
                    "privilege, and every directory above the programs must be open to nobody)\n",
                    selected.size());
        return 77;
    }
    const kit::Tally tally = kit::RunRows(target, selected, ("host " + rows).c_str());
    if (tally.failed == 0 && tally.skipped > 0) {
        std::printf("SKIPPED: %d rows: their pid text could name a process this runner did not start "
                    "(as root they run in a PID namespace of their own)\n",
                    tally.skipped);
        return 77;
    }
    return tally.failed == 0 ? 0 : 1;
}
