// Decimal conversion of a command-line argument, shared by both programs.
#ifndef SCHEDTOOLS_DECIMAL_H
#define SCHEDTOOLS_DECIMAL_H

// Converts text that is a whole decimal number and nothing else: optional
// white space, one optional sign, one or more digits, optional white space
// (white space as in the C locale). Stores the value in *value and returns
// true; a value outside the signed 32-bit range saturates to INT_MIN or
// INT_MAX instead of wrapping, on every platform. Returns false, leaving
// *value alone, for any other text.
bool WholeDecimalToInt(const char* text, int* value);

#endif
