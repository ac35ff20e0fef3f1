// The conversion and the table lookups of both programs, the lookups held to
// the expected table; under qemu-user for PowerPC.
#include <limits.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "decimal.h"
#include "cases.h"
#include "policy_table.h"

int main()
{
    int wrong = 0;
    const auto expect = [&wrong](bool holds, const char* what, const std::string& text) {
        if (!holds && ++wrong <= 20) {
            printf("FAIL: %s: \"", what);
            for (const unsigned char c : text) {
                printf(c >= ' ' && c < 0x7f ? "%c" : "\\x%02x", c);
            }
            printf("\"\n");
        }
    };

    // A pid or a priority is a whole decimal number: only white space may
    // stand around it; values beyond 32 bits saturate and never wrap.
    for (const char* text : {"", " ", "abc", "1e3", "12x", "1,234", "0x10", "8 12", "--help", "-", "+", "+-5",
                             "+-1", "- 5", "5-", "812.0", "\xff", "--5", "10x", "1 2", "9O", "1e2", "1 0"}) {
        int value = 12345;
        expect(!WholeDecimalToInt(text, &value) && value == 12345, "taken for a whole number", text);
    }
    const std::pair<const char*, int> kWhole[] = {
        {"812", 812}, {" 812", 812}, {"812 ", 812}, {"+812", 812}, {"00812", 812}, {"-5", -5}, {"0", 0},
        {"-0", 0}, {"+0", 0}, {"00", 0}, {"007", 7}, {"010", 10}, {" \t\n\v\f\r7\r\n", 7}, {"\t\n 7", 7},
        {" \t\n\v\f\r42", 42}, {"+42", 42}, {"00000000000000000000000000000042", 42},
        {"2147483647", INT_MAX}, {"2147483648", INT_MAX}, {"-2147483647", -2147483647},
        {"-2147483648", INT_MIN}, {"-2147483649", INT_MIN},
        {"4294967297", INT_MAX}, {"-4294967295", INT_MIN}, {"4294967306", INT_MAX}, {"-4294967297", INT_MIN},
        {"\t-4294967297\r\n", INT_MIN}, {"99999999999999999999", INT_MAX},
        {"99999999999999999999999999999999 ", INT_MAX}, {"-99999999999999999999999999999999", INT_MIN},
    };
    for (const auto& [text, expected] : kWhole) {
        int value = 12345;
        expect(WholeDecimalToInt(text, &value) && value == expected, "not read as its whole number", text);
    }

    // Each keyword and report name, and every text one edit away from one: a
    // character replaced by any byte, or deleted; any byte inserted.
    std::vector<std::string> texts{"", "0", "1", "2", "4", "64", "256", "1024", " FIFO", "FIFOS", "FIFO\n"};
    for (const ExpectedPolicy& policy : kExpectedPolicies) {
        for (const std::string name : {policy.keyword, policy.reportName}) {
            texts.push_back(name);
            for (size_t at = 0; at <= name.size(); ++at) {
                texts.push_back(std::string(name).erase(at, 1));
                for (int byte = 1; byte < 256; ++byte) {
                    texts.push_back(std::string(name).insert(at, 1, static_cast<char>(byte)));
                    texts.push_back(std::string(name).replace(at, 1, 1, static_cast<char>(byte)));
                }
            }
        }
    }
    for (const std::string& text : texts) {
        const auto* named = std::ranges::find(kExpectedPolicies, text, &ExpectedPolicy::keyword);
        const int expected = named == std::end(kExpectedPolicies) ? -1 : named->number;
        expect(PolicyFromKeyword(text.c_str()) == expected, "keyword lookup", text);
    }

    // Every number of 17 bits, and every one with one or two bits set, negated and inverted too.
    std::vector<int> numbers;
    for (int number = -65536; number <= 65535; ++number) {
        numbers.push_back(number);
    }
    for (unsigned low = 0; low < 32; ++low) {
        for (unsigned high = low; high < 32; ++high) {
            const unsigned bits = (1U << low) | (1U << high);
            numbers.insert(numbers.end(),
                           {static_cast<int>(bits), static_cast<int>(0U - bits), static_cast<int>(~bits)});
        }
    }
    for (const int number : numbers) {
        expect(std::string(PolicyReportName(number)) == ExpectedReportName(number), "report name of",
               std::to_string(number));
    }
    printf("unit: %zu texts and %zu numbers looked up; %d wrong\n", texts.size(), numbers.size(), wrong);
    return wrong == 0 ? 0 : 1;
}
