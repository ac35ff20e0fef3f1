// Whether the lines a program wrote reached standard output, shared by both
// programs: each checks once, after its last line.
#ifndef SCHEDTOOLS_OUTPUT_H
#define SCHEDTOOLS_OUTPUT_H

#include <stdio.h>

// Flushes standard output and tells whether everything written to it so far
// got there whole: false after a full device, a closed descriptor or an I/O
// error.
inline bool OutputWritten()
{
    return fflush(stdout) == 0 && ferror(stdout) == 0;
}

#endif
