// schedreport PID
//
// Prints the scheduling policy and static priority of one process as one
// fixed-layout line on standard output. Every line ends with CR LF. Exits
// with 0 after a report and with 1 after any failure: a wrong argument
// count, a pid that is not a whole decimal number, a failed query, or a
// report line that could not be written whole.
#include <sched.h>

#include <stdio.h>
#include <stdlib.h>

#include "decimal.h"
#include "output.h"
#include "policy_table.h"
#include "sched_calls.h"

static void Usage()
{
    fputs("schedreport [pid]\r\n", stdout);
}

int main(int argc, char* argv[])
{
    atexit(CheckOutput);
    if (argc != 2) {
        Usage();
        return 1;
    }

    // Text other than a whole number ("--help", "", "12x") gets the usage
    // text rather than a report on some other process.
    int pid = 0;
    if (!WholeDecimalToInt(argv[1], &pid)) {
        Usage();
        return 1;
    }

    const int tmpPolicy = SchedGetscheduler(pid);
    if (tmpPolicy == -1) {
        printf("%-10s (pid=%-5d): invalid pid\r\n", "schedreport", pid);
        return 1;
    }
    // A number outside the table, the reset-on-fork flag included, is
    // reported under the fallback name; it is not an error.
    const char* pPolicyName = PolicyReportName(tmpPolicy);

    sched_param schedPriority{};
    if (SchedGetparam(pid, &schedPriority) == -1) {
        // The process may have ended since the policy query.
        printf("pid=%-5d: invalid pid\r\n", pid);
        return 1;
    }

    // Widths are minimums: a longer pid, name or priority pushes the rest of
    // the line right. The first field is 20 blanks.
    printf("%-20c pid=%-5d Policy = %-15s Priority = %-3d\r\n", ' ', pid, pPolicyName,
           schedPriority.sched_priority);
    return 0;
}
