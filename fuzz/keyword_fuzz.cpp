// libFuzzer target: exactly the seven keywords name a policy, and every
// number has a report name, "SCHED_" + keyword for the seven.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "policy_table.h"

namespace {

const struct {
    const char* keyword;
    int policy;
} kExpected[] = {{"FIFO", 1}, {"RR", 2}, {"OTHER", 0}, {"MGMT", 4}, {"CALLP", 64}, {"IO", 256}, {"MTC", 1024}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    int expected = kNoPolicy;
    for (const auto& row : kExpected) {
        if (text == row.keyword) {
            // cppcheck-suppress useStlAlgorithm ; a plain loop, like the report-name check below
            expected = row.policy;
        }
    }
    // The programs see C strings: text past a NUL byte is not part of it.
    if (text.find('\0') == std::string::npos && PolicyFromKeyword(text.c_str()) != expected) {
        std::abort();
    }

    int number = 0;
    std::memcpy(&number, data, size < sizeof number ? size : sizeof number);
    const char* name = PolicyReportName(number);
    std::string wanted = "Unknown policy name";
    for (const auto& row : kExpected) {
        if (row.policy == number) {
            wanted = std::string("SCHED_") + row.keyword;
        }
    }
    if (name == nullptr || wanted != name) {
        std::abort();
    }
    return 0;
}
