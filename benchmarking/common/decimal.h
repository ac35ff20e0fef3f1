// Decimal conversion of a command-line argument, shared by both programs.
#ifndef SCHEDTOOLS_DECIMAL_H
#define SCHEDTOOLS_DECIMAL_H

// Converts text the way atoi does: leading white space skipped, one optional
// sign, then decimal digits up to the first other character; no digits gives
// 0. A value outside the signed 32-bit range saturates to INT_MIN or INT_MAX
// instead of wrapping, on every platform.
int DecimalToInt(const char* text);

// Converts text that is a whole decimal number and nothing else: optional
// white space, one optional sign, one or more digits, optional white space
// (white space as in the C locale). Stores the value, saturated as by
// DecimalToInt, in *value and returns true; returns false, leaving *value
// alone, for any other text.
bool WholeDecimalToInt(const char* text, int* value);

#endif
