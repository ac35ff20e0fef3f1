// The system test's /init, process 1 of a PowerPC guest whose kernel has the
// extension policies. It prints the cpu line of /proc/cpuinfo, so that the
// host sees which core it ran on, runs the guest's rows of the case table on
// each build of the programs in the initramfs, prints each failure, then
// "N passed, M failed", and reboots, which ends QEMU (-no-reboot).
#include <sys/mount.h>
#include <sys/reboot.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "kit.h"

int main()
{
    if (getpid() == 1) {
        mount("proc", "/proc", "proc", 0, nullptr);
    }
    // With the C library's stdio: a C++ stream's first use waits on a futex
    // through the 32-bit-time futex call, which the test kernels leave out
    // (no CONFIG_COMPAT_32BIT_TIME), and glibc stops on its ENOSYS.
    FILE* cpuinfo = std::fopen("/proc/cpuinfo", "r");
    char line[256];
    while (cpuinfo != nullptr && std::fgets(line, sizeof line, cpuinfo) != nullptr) {
        if (std::strncmp(line, "cpu", 3) == 0 && line[3 + std::strspn(line + 3, " \t")] == ':') {
            std::fputs(line, stdout);
            break;
        }
    }
    if (cpuinfo != nullptr) {
        std::fclose(cpuinfo);
    }

    std::vector<const kit::Case*> rows;
    for (const kit::Case& row : kit::Cases()) {
        if ((row.kernels & kit::kGuest) != 0) {
            rows.push_back(&row);
        }
    }
    // Each build the initramfs holds: static with glibc, static with musl,
    // and dynamic with its loader and C library in /lib, as a package or a
    // root file system ships it.
    int passed = 0;
    int failed = 0;
    for (const char* dir : {"/static", "/musl", "/usr/bin"}) {
        if (access(dir, F_OK) == 0) {
            const kit::Tally tally = kit::RunRows({kit::kGuest, dir, {}, "", ""}, rows, dir);
            passed += tally.passed;
            failed += tally.failed + tally.skipped;
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    // Only as process 1 of the guest: run anywhere else, it must not reboot
    // the machine it runs on.
    if (getpid() == 1) {
        sync();
        reboot(RB_AUTOBOOT);
    }
    return failed == 0 ? 0 : 1;
}
