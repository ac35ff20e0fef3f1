// The conversion and the table lookups that both programs share.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <string>
#include <vector>

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

// Every number the kernel could report, as the expected table names it: a
// row the program's table has and the expected one lacks fails here too.
TEST(PolicyReportName, AgreesWithTheExpectedTable)
{
    std::vector<int> numbers{INT_MIN, INT_MAX, 0x40000002};  // RR with the reset-on-fork flag
    for (int number = -2048; number <= 2048; ++number) {
        numbers.push_back(number);
    }
    for (unsigned bit = 1; bit != 0; bit <<= 1) {
        numbers.insert(numbers.end(), {static_cast<int>(bit), static_cast<int>(~bit)});
    }
    for (const int number : numbers) {
        const auto* known = std::find_if(std::begin(kExpectedPolicies), std::end(kExpectedPolicies),
                                         [number](const ExpectedPolicy& policy) { return policy.number == number; });
        EXPECT_STREQ(PolicyReportName(number), known == std::end(kExpectedPolicies) ? kUnknownPolicyName
                                                                                       : known->reportName)
            << number;
    }
}

}  // namespace
