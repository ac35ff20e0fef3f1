// libFuzzer target: the whole-number conversion against an independent
// reference built on the C library: strtoll in base 10, clamped to the signed
// 32-bit range, with its end pointer and isspace for the whole-number rule.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "decimal.h"

namespace {

int Reference(const char* text, bool* whole)
{
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    const char* rest = end;
    while (std::isspace(static_cast<unsigned char>(*rest)) != 0) {
        ++rest;
    }
    *whole = (end != text) && (*rest == '\0');
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
    bool whole = false;
    const int expected = Reference(text.data(), &whole);
    int value = 0x5a5a5a5a;
    if (WholeDecimalToInt(text.data(), &value) != whole || value != (whole ? expected : 0x5a5a5a5a)) {
        std::abort();
    }
    return 0;
}
