// libFuzzer target: DecimalToInt against an independent reference, strtoll
// in base 10 clamped to the signed 32-bit range.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "decimal.h"

namespace {

int Reference(const char* text)
{
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    if (DecimalToInt(text.data()) != Reference(text.data())) {
        std::abort();
    }
    return 0;
}
