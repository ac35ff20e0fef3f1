// libFuzzer target: exactly the seven keywords name a policy, and every
// number has its report name, the fallback for any number outside the seven.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "policies.h"
#include "policy_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    int expected = kNoPolicy;
    for (const ExpectedPolicy& row : kExpectedPolicies) {
        if (text == row.keyword) {
            // cppcheck-suppress useStlAlgorithm ; a plain loop, like the report-name check below
            expected = row.number;
        }
    }
    // The programs see C strings: text past a NUL byte is not part of it.
    if (text.find('\0') == std::string::npos && PolicyFromKeyword(text.c_str()) != expected) {
        std::abort();
    }

    int number = 0;
    std::memcpy(&number, data, size < sizeof number ? size : sizeof number);
    const char* name = PolicyReportName(number);
    std::string wanted = kUnknownPolicyName;
    for (const ExpectedPolicy& row : kExpectedPolicies) {
        if (row.number == number) {
            wanted = row.reportName;
        }
    }
    if (name == nullptr || wanted != name) {
        std::abort();
    }
    return 0;
}
