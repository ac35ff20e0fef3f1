// Runs the built programs as a user would, and the processes and stand-in
// kernel state they act on.
#ifndef SCHEDTOOLS_TESTS_HARNESS_H
#define SCHEDTOOLS_TESTS_HARNESS_H

#include <sys/types.h>

#include <string>
#include <vector>

#include "outcome.h"

// Where the programs under test are and how they are started; set from the
// driver's command line.
struct HarnessConfig {
    std::string binDir;                 // holds schedassign and schedreport
    std::string standinLibrary;         // the preloadable stand-in kernel
    std::vector<std::string> launcher;  // prefix such as an emulator; may be empty
};
HarnessConfig& Config();


struct RunOptions {
    std::vector<std::string> env;  // extra NAME=value entries
    bool standin = false;          // preload the stand-in kernel
    bool unprivileged = false;     // run as nobody:nogroup via setpriv
    std::string stdoutPath;        // write standard output there, not to a pipe
    bool stdoutClosed = false;     // start with no standard output at all
};

// Runs bin/`tool` with `args` and collects everything it writes.
Outcome RunTool(const std::string& tool, const std::vector<std::string>& args, const RunOptions& options = {});

// Runs any host command (chrt, setpriv, ...) and collects its output.
Outcome RunHost(const std::vector<std::string>& argv);

// A sleeping child process, started by the test and ended with it.
class Sleeper {
public:
    Sleeper();
    ~Sleeper();
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;
    pid_t pid() const { return pid_; }
    std::string pidText() const { return std::to_string(pid_); }

private:
    pid_t pid_;
};

// "POLICY PRIORITY" of `pid` as chrt reads it, e.g. "SCHED_FIFO 10".
std::string ChrtReadback(pid_t pid);

// A private directory with the stand-in's state file and call log.
class StandinKernel {
public:
    StandinKernel();
    ~StandinKernel();
    StandinKernel(const StandinKernel&) = delete;
    StandinKernel& operator=(const StandinKernel&) = delete;

    // Process table lines, "pid policy priority".
    void WriteState(const std::vector<std::string>& lines) const;
    std::vector<std::string> State() const;
    std::vector<std::string> Calls() const;

    // Options that preload the stand-in with this state, log, ranges and
    // forced failures (empty: the stand-in's defaults, nothing fails).
    RunOptions Options(const std::string& ranges = "", const std::string& fail = "") const;

private:
    std::string dir_;
};

// Whether the real kernel lets this process set a real-time policy on a
// child, found by trying it once (chrt -f -p 1 on a sleeping child).
bool MaySetRealTime();

// Whether the programs can be run as nobody, found by trying once: this
// process must be allowed to change user, and nobody must be able to reach
// the programs (a build directory under /root is closed to it).
bool MayRunAsNobody();

#endif
