// What both programs do at exit with their standard output.
#ifndef SCHEDTOOLS_OUTPUT_H
#define SCHEDTOOLS_OUTPUT_H

#include <stdio.h>
#include <unistd.h>

// Registered with atexit: a run whose lines did not all reach standard
// output whole (a full device, a closed descriptor, an I/O error) ends with
// status 1 (by _exit: exit must not be called again from here).
inline void CheckOutput()
{
    if (fflush(stdout) != 0 || ferror(stdout) != 0) {
        _exit(1);
    }
}

#endif
