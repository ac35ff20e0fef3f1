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
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The programs see C strings: text past a NUL byte is not part of it.
    if (text.find('\0') == std::string_view::npos &&
        PolicyFromKeyword(std::string(text).c_str()) != ExpectedNumber(text)) {
        std::abort();
    }
    int number = 0;
    std::memcpy(&number, data, size < sizeof number ? size : sizeof number);
    const char* name = PolicyReportName(number);
    if (name == nullptr || std::strcmp(name, ExpectedReportName(number)) != 0) {
        std::abort();
    }
    return 0;
}
