// schedassign PID POLICY [PRIORITY]
//
// Puts an existing process under a scheduling policy with a static priority,
// after checking the priority against the range the kernel reports for that
// policy. Every line goes to standard output, ended by LF. A wrong argument
// count, or a pid or priority that is not a whole decimal number, gets the
// usage text and exits with 1; every other outcome, errors included, exits
// with 0, so callers read the output to tell an error from success. A line
// that cannot be written whole ends the run with 1: an empty output with
// status 0 means success.
#include <sched.h>

#include <stdio.h>
#include <stdlib.h>

#include "decimal.h"
#include "output.h"
#include "policy_table.h"
#include "sched_calls.h"

static void Usage()
{
    fputs("schedassign [pid] [FIFO | RR | OTHER | MGMT | CALLP | IO | MTC ] [priority]\n", stdout);
    fputs("When policy is OTHER, either don't specify a priority or use 0 as priority\n", stdout);
}

int main(int argc, char* argv[])
{
    atexit(CheckOutput);
    int priority = -1;  // -1 until an argument gives one

    if (argc != 3 && argc != 4) {
        Usage();
        return 1;
    }

    // A mistyped pid must never reach the kernel, where text without digits
    // would name this process and "1e3" would name process 1; a mistyped
    // priority ("9O", "1e2") must never be applied as some other number.
    int pid = 0;
    if (!WholeDecimalToInt(argv[1], &pid)) {
        Usage();
        return 1;
    }
    if (argc == 4 && !WholeDecimalToInt(argv[3], &priority)) {
        Usage();
        return 1;
    }
    const char* pPolicyName = argv[2];

    const int tmpPolicy = PolicyFromKeyword(pPolicyName);
    if (tmpPolicy == kPolicyOther) {
        // OTHER takes priority 0 alone; an omitted priority means 0.
        if (argc == 4 && priority != 0) {
            fputs("Error: priority for OTHER policy must be 0\n", stdout);
            exit(0);
        }
        priority = 0;
    } else if (tmpPolicy == kNoPolicy) {
        printf("%s is not a valid policy\n", pPolicyName);
        exit(0);
    }

    const int pmin = sched_get_priority_min(tmpPolicy);
    if (pmin == -1) {
        fputs("Error: failed to get minimum priority\n", stdout);
        exit(0);
    }
    const int pmax = sched_get_priority_max(tmpPolicy);
    if (pmax == -1) {
        fputs("Error: failed to get maximum priority\n", stdout);
        exit(0);
    }

    // Both bounds are allowed. For any policy but OTHER an omitted priority
    // is still -1 here, so the caller learns the range from this line.
    if (priority > pmax || priority < pmin) {
        printf("Error: priority for %s policy must be between %d and %d\n", pPolicyName, pmin, pmax);
        exit(0);
    }

    sched_param schedPriority{};
    schedPriority.sched_priority = priority;
    if (SchedSetscheduler(pid, tmpPolicy, &schedPriority) == -1) {
        fputs("Error: failed to set scheduler\n", stdout);
        exit(0);
    }
    return 0;
}
