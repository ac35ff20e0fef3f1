// The conversion and the table lookups that both programs share. The
// conversion's cases include what its fuzz target's corpus held.
#include <gtest/gtest.h>

#include <climits>
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
    for (const char* text : {"", " ", "abc", "1e3", "12x", "1,234", "0x10", "8 12", "--help", "-", "+", "+-5", "+-1", "- 5",
                             "5-", "812.0", "\xff", "--5", "10x", "1 2", "9O", "1e2", "1 0"}) {
        int value = 12345;
        EXPECT_FALSE(WholeDecimalToInt(text, &value)) << '"' << text << '"';
        EXPECT_EQ(value, 12345) << '"' << text << '"';
    }
    const struct {
        const char* text;
        int value;
    } kWhole[] = {
        {"812", 812},      {" 812", 812},     {"812 ", 812},     {"+812", 812},       {"00812", 812},   {"-5", -5},
        {"0", 0},          {"-0", 0},         {"+0", 0},         {"00", 0},           {"007", 7},       {"010", 10},
        {" \t\n\v\f\r7\r\n", 7},              {" \t\n\v\f\r42", 42}, {"\t\n 7", 7},         {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},              {"-2147483647", -2147483647},        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},             {"4294967297", INT_MAX},  // a wrap would give 1
        {"-4294967295", INT_MIN},  // a wrap would give 1
        {"4294967306", INT_MAX},   // a wrap would give 10
        {"-4294967297", INT_MIN},             {"\t-4294967297\r\n", INT_MIN},   {"99999999999999999999", INT_MAX},
        {"99999999999999999999999999999999 ", INT_MAX}, {"+42", 42},
        {"-99999999999999999999999999999999", INT_MIN}, {"00000000000000000000000000000042", 42},
    };
    for (const auto& row : kWhole) {
        int value = 12345;
        EXPECT_TRUE(WholeDecimalToInt(row.text, &value)) << '"' << row.text << '"';
        EXPECT_EQ(value, row.value) << '"' << row.text << '"';
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
        EXPECT_STREQ(PolicyReportName(number), ExpectedReportName(number)) << number;
    }
}

}  // namespace
