// What a program under test wrote and how it ended, collected from its two
// pipes: shared by the end-to-end driver and the system test's guest /init.
#ifndef SCHEDTOOLS_TESTS_OUTCOME_H
#define SCHEDTOOLS_TESTS_OUTCOME_H

#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

struct Outcome {
    std::string out;
    std::string err;
    int status;  // exit status, or 128 + signal number when killed
};

// Reads `outFd` and `errFd` (the read ends of the child's standard output and
// standard error) until both are closed, closes them, then waits for `child`.
inline Outcome Collect(pid_t child, int outFd, int errFd)
{
    Outcome outcome{"", "", -1};
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&outcome.out, &outcome.err};
    for (int open = 2; open > 0;) {
        if (poll(fds, 2, -1) < 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

#endif
