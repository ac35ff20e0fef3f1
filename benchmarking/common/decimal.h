// Decimal conversion of a command-line argument, shared by both programs.
#ifndef SCHEDTOOLS_DECIMAL_H
#define SCHEDTOOLS_DECIMAL_H

#include <ctype.h>
#include <limits.h>
#include <stdlib.h>

// Converts text that is a whole decimal number and nothing else: optional
// white space, one optional sign, one or more digits, optional white space
// (white space as in the C locale, which the programs never change). Stores
// the value in *value and returns true; a value outside the signed 32-bit
// range saturates to INT_MIN or INT_MAX instead of wrapping. Returns false,
// leaving *value alone, for any other text.
inline bool WholeDecimalToInt(const char* text, int* value)
{
    // strtoll skips the leading white space and the sign, consumes nothing
    // unless a digit follows them, and saturates beyond 64 bits.
    char* end = nullptr;
    const long long number = strtoll(text, &end, 10);
    while (end != text && isspace(static_cast<unsigned char>(*end)) != 0) {
        ++end;
    }
    if (end == text || *end != '\0') {
        return false;
    }
    *value = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : static_cast<int>(number);
    return true;
}

#endif
