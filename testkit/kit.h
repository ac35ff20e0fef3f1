// The test kit: the one table of end-to-end cases and what every runner of
// it shares (the host's real kernel, the stand-in kernel, the target guest's
// kernel): placeholders, running a program and collecting what it writes,
// the child process, the expected texts, and the check of one row.
#ifndef SCHEDTOOLS_TESTKIT_KIT_H
#define SCHEDTOOLS_TESTKIT_KIT_H

#include <climits>
#include <string>
#include <vector>

#include "policies.h"

namespace kit {

extern const char kAssignUsage[];
extern const char kReportUsage[];

// The flag the kernel ORs into a policy number for SCHED_RESET_ON_FORK.
constexpr int kResetOnFork = 0x40000000;
// No Linux kernel gives a pid above PID_MAX_LIMIT, so no real process can
// be named by a larger one.
constexpr long long kPidMaxLimit = 4194304;
// The stand-in's child: above any pid_max, so that it is no real process.
constexpr int kStandinChild = 4194812;

struct Sched {
    int policy;
    int priority;
};
// A row's `after` when the run leaves the child as it was.
constexpr Sched kUnchanged{INT_MIN, INT_MIN};

enum Kernel : unsigned {
    kHost = 1,     // this machine's real kernel, without the extension policies
    kStandin = 2,  // the preloaded stand-in, on any host
    kGuest = 4,    // the target kernel, booted under qemu-system-ppc
    kAll = kHost | kStandin | kGuest,
    // Not a kernel: a host row that also runs on each CPU model with a
    // classic floating-point unit, under qemu-user.
    kEveryCore = 8,
};

enum class Caller {
    kRoot,    // the runner itself
    kNobody,  // uid and gid 65534, no groups
    kClosed,  // the runner, with standard output closed
};

// One end-to-end case. In the arguments, "{pid}" stands for the child's pid,
// "{long}" for 100000 K, "{9s}" for 100000 nines and "{-7s}" for a minus and
// 99999 sevens; the output takes the same placeholders, "{pid}" padded to 5
// as the programs pad it. The calls are the stand-in's log after its
// "loaded" line ("min 4;max 4;set {pid} 4 10"; "policy {pid};param {pid}").
// Every row runs once more with standard output on /dev/full, where a row
// that writes anything must end with 1, and nothing else may change.
struct Case {
    std::vector<std::string> argv{};  // "schedassign" or "schedreport", then its arguments
    Sched before{0, 0};             // the child's policy and priority, set before the run
    std::string out{};
    int status = 0;
    Sched after = kUnchanged;  // what the kernel tells of the child afterwards
    unsigned kernels = kAll;
    std::string calls{};  // stand-in only
    Caller caller = Caller::kRoot;
    const char* ranges = "";  // stand-in only: SCHED_STANDIN_RANGES
    const char* fail = "";    // stand-in only: SCHED_STANDIN_FAIL
};

const std::vector<Case>& Cases();

// What a row needs of the host beyond running programs.
enum Need : unsigned { kNeedsRealTime = 1, kNeedsNobody = 2 };
unsigned Needs(const Case& row);

// The report line of a process `pid` (text) under `sched`, pid padded to 5.
std::string ReportLine(const std::string& pid, Sched sched);
std::string RangeError(const std::string& keyword, int min, int max);

// How a runner reaches the programs.
struct Target {
    Kernel kernel;
    std::string binDir;                 // holds schedassign and schedreport
    std::vector<std::string> launcher;  // prefix such as an emulator; may be empty
    std::string standin;                // the stand-in library (kStandin)
    std::string scratch;                // a private directory (kStandin)
};

// Whether this host lets the runner set a real-time policy on a child, and
// run the programs as nobody; each is found by trying once.
bool MaySetRealTime();
bool MayRunAsNobody(const Target& target);

// "" when the stand-in answers every call the programs make, else why not.
// It runs each program on itself, so nothing else can be touched.
std::string ProveStandin(const Target& target);

// The row as a command line, with its caller.
std::string Describe(const Case& row);

// Checks each row against `target`, printing a line for each row that
// failed or was skipped and a "LABEL: N cases, M failed, K skipped" line.
// Stops at a row whose stand-in was not in place.
struct Tally {
    int passed;
    int failed;
    int skipped;
};
Tally RunRows(const Target& target, const std::vector<const Case*>& rows, const char* label);

}  // namespace kit

#endif
