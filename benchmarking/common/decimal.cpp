#include "decimal.h"

#include <limits.h>

namespace {

// White space as the C locale's isspace sees it; the programs never change
// locale, so the table is fixed.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

const char* SkipSpace(const char* p)
{
    while (IsSpace(*p)) {
        ++p;
    }
    return p;
}

}  // namespace

bool WholeDecimalToInt(const char* text, int* value)
{
    const char* p = SkipSpace(text);
    const bool negative = (*p == '-');
    if (*p == '-' || *p == '+') {
        ++p;
    }
    if (!IsDigit(*p)) {
        return false;
    }
    // The magnitude grows no further once it passes 2^31, which is beyond
    // either limit: text of any length converts without overflow.
    constexpr long long kCap = 1LL + INT_MAX;
    long long magnitude = 0;
    for (; IsDigit(*p); ++p) {
        if (magnitude <= kCap) {
            magnitude = magnitude * 10 + (*p - '0');
        }
    }
    if (*SkipSpace(p) != '\0') {
        return false;
    }
    if (negative) {
        *value = magnitude >= kCap ? INT_MIN : static_cast<int>(-magnitude);
    } else {
        *value = magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    }
    return true;
}
