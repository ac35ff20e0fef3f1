#include "decimal.h"

#include <climits>

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

// Reads the leading white space, sign and digits of `text` into *value,
// saturated to 32 bits, and returns where the digits end: `text` itself when
// there are none.
const char* Scan(const char* text, int* value)
{
    const char* p = text;
    while (IsSpace(*p)) {
        ++p;
    }
    const bool negative = (*p == '-');
    if (*p == '-' || *p == '+') {
        ++p;
    }
    if (!IsDigit(*p)) {
        *value = 0;
        return text;
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
    if (negative) {
        *value = magnitude >= kCap ? INT_MIN : static_cast<int>(-magnitude);
    } else {
        *value = magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    }
    return p;
}

}  // namespace

int DecimalToInt(const char* text)
{
    int value = 0;
    Scan(text, &value);
    return value;
}

bool WholeDecimalToInt(const char* text, int* value)
{
    int scanned = 0;
    const char* end = Scan(text, &scanned);
    if (end == text) {
        return false;
    }
    while (IsSpace(*end)) {
        ++end;
    }
    if (*end != '\0') {
        return false;
    }
    *value = scanned;
    return true;
}
