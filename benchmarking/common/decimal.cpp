#include "decimal.h"

#include <climits>

namespace {

// White space as the C locale's isspace sees it; the programs never change
// locale, so the table is fixed.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int DecimalToInt(const char* text)
{
    while (IsSpace(*text)) {
        ++text;
    }
    const bool negative = (*text == '-');
    if (*text == '-' || *text == '+') {
        ++text;
    }
    // The magnitude grows no further once it passes 2^31, which is beyond
    // either limit: text of any length converts without overflow.
    constexpr long long kCap = 1LL + INT_MAX;
    long long magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (magnitude <= kCap) {
            magnitude = magnitude * 10 + (*text - '0');
        }
    }
    if (negative) {
        return magnitude >= kCap ? INT_MIN : static_cast<int>(-magnitude);
    }
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}
