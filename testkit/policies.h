// The scheduling policies as the tests expect them: kernel number, keyword
// and report name. Written apart from the programs' own table, so that a
// wrong row there is caught. The end-to-end cases, the unit tests, the fuzz
// target and the stand-in kernel take their policies from here, the report
// lines and the fuzz target its lookups too.
#ifndef SCHEDTOOLS_TESTKIT_POLICIES_H
#define SCHEDTOOLS_TESTKIT_POLICIES_H

#include <algorithm>
#include <iterator>
#include <string_view>

struct ExpectedPolicy {
    int number;
    const char* keyword;
    const char* reportName;
};

// In the order of the usage text.
constexpr ExpectedPolicy kExpectedPolicies[] = {
    {1, "FIFO", "SCHED_FIFO"}, {2, "RR", "SCHED_RR"},       {0, "OTHER", "SCHED_OTHER"}, {4, "MGMT", "SCHED_MGMT"},
    {64, "CALLP", "SCHED_CALLP"}, {256, "IO", "SCHED_IO"}, {1024, "MTC", "SCHED_MTC"},
};

constexpr const char kUnknownPolicyName[] = "Unknown policy name";

// The number that `text` names exactly, or -1 for text that names no policy.
constexpr int ExpectedNumber(std::string_view text)
{
    const auto* row = std::find_if(std::begin(kExpectedPolicies), std::end(kExpectedPolicies),
                                   [text](const ExpectedPolicy& policy) { return text == policy.keyword; });
    return row == std::end(kExpectedPolicies) ? -1 : row->number;
}

// The report name of policy number `number`: the fallback outside the table.
constexpr const char* ExpectedReportName(int number)
{
    const auto* row = std::find_if(std::begin(kExpectedPolicies), std::end(kExpectedPolicies),
                                   [number](const ExpectedPolicy& policy) { return policy.number == number; });
    return row == std::end(kExpectedPolicies) ? kUnknownPolicyName : row->reportName;
}

#endif
