// The one table of scheduling policies. Rows stand in the order in which the
// usage text lists the keywords; numbers are plain values, never split into
// bits or combined.
#include "policy_table.h"

#include <string.h>

namespace {

struct PolicyRow {
    int number;
    const char* keyword;
    const char* reportName;
};

constexpr PolicyRow kPolicies[] = {
    {kPolicyFifo, "FIFO", "SCHED_FIFO"},
    {kPolicyRr, "RR", "SCHED_RR"},
    {kPolicyOther, "OTHER", "SCHED_OTHER"},
    {kPolicyMgmt, "MGMT", "SCHED_MGMT"},
    {kPolicyCallp, "CALLP", "SCHED_CALLP"},
    {kPolicyIo, "IO", "SCHED_IO"},
    {kPolicyMtc, "MTC", "SCHED_MTC"},
};

}  // namespace

int PolicyFromKeyword(const char* keyword)
{
    for (const PolicyRow& row : kPolicies) {
        if (strcmp(row.keyword, keyword) == 0) {
            return row.number;
        }
    }
    return kNoPolicy;
}

const char* PolicyReportName(int policy)
{
    for (const PolicyRow& row : kPolicies) {
        // cppcheck-suppress useStlAlgorithm ; a plain loop: the programs use no C++ library
        if (row.number == policy) {
            return row.reportName;
        }
    }
    return "Unknown policy name";
}
