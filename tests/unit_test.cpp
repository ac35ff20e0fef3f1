// The conversion and the table lookups that both programs share.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "decimal.h"
#include "policies.h"
#include "policy_table.h"

namespace {

// A pid or a priority is a whole decimal number: only white space may stand
// around it; values beyond 32 bits saturate and never wrap.
TEST(WholeDecimalToInt, AcceptsOnlyAWholeNumber)
{
    const struct {
        const char* text;
        bool whole;
        int value;  // when whole
    } kRows[] = {
        {"", false, 0},          {" ", false, 0},         {"abc", false, 0},       {"1e3", false, 0},
        {"12x", false, 0},       {"1,234", false, 0},     {"0x10", false, 0},      {"8 12", false, 0},
        {"--help", false, 0},    {"-", false, 0},         {"+", false, 0},         {"+-5", false, 0},
        {"- 5", false, 0},       {"5-", false, 0},        {"812.0", false, 0},     {"\xff", false, 0},
        {"--5", false, 0},       {"10x", false, 0},       {"1 2", false, 0},       {"9O", false, 0},
        {"1e2", false, 0},       {"1 0", false, 0},
        {"812", true, 812},      {" 812", true, 812},     {"812 ", true, 812},     {"+812", true, 812},
        {"00812", true, 812},    {"-5", true, -5},        {"0", true, 0},          {"-0", true, 0},
        {"+0", true, 0},         {"00", true, 0},         {"007", true, 7},        {"010", true, 10},
        {" \t\n\v\f\r7\r\n", true, 7},                 {" \t\n\v\f\r42", true, 42},
        {"2147483647", true, INT_MAX},                    {"2147483648", true, INT_MAX},
        {"-2147483647", true, -2147483647},               {"-2147483648", true, INT_MIN},
        {"-2147483649", true, INT_MIN},
        {"4294967297", true, INT_MAX},   // a wrap would give 1
        {"-4294967295", true, INT_MIN},  // a wrap would give 1
        {"4294967306", true, INT_MAX},   // a wrap would give 10
        {"-4294967297", true, INT_MIN},
        {"99999999999999999999999999999999 ", true, INT_MAX},
        {"-99999999999999999999999999999999", true, INT_MIN},
        {"00000000000000000000000000000042", true, 42},
    };
    for (const auto& row : kRows) {
        int value = 12345;
        EXPECT_EQ(WholeDecimalToInt(row.text, &value), row.whole) << '"' << row.text << '"';
        EXPECT_EQ(value, row.whole ? row.value : 12345) << '"' << row.text << '"';
    }
}

// The seven keywords, each exactly as the expected table spells it, and
// nothing like them.
TEST(PolicyFromKeyword, ExactlyTheSevenKeywords)
{
    for (const ExpectedPolicy& policy : kExpectedPolicies) {
        EXPECT_EQ(PolicyFromKeyword(policy.keyword), policy.number) << policy.keyword;
    }
    for (const char* text : {"fifo", "Fifo", "FIFO ", " FIFO", "FIF", "FIFOS", "SCHED_FIFO", "1", "0", ""}) {
        EXPECT_EQ(PolicyFromKeyword(text), kNoPolicy) << '"' << text << '"';
    }
}

TEST(PolicyReportName, TableNamesAndFallback)
{
    for (const ExpectedPolicy& policy : kExpectedPolicies) {
        EXPECT_STREQ(PolicyReportName(policy.number), policy.reportName) << policy.number;
    }
    // Numbers outside the table: RR with the reset-on-fork flag among them.
    for (const int number : {3, 5, 320, 1025, 0x40000002, -2, INT_MIN, INT_MAX}) {
        EXPECT_STREQ(PolicyReportName(number), kUnknownPolicyName) << number;
    }
}

}  // namespace
