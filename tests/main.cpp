// End-to-end driver: sched_e2e --bin-dir DIR --standin LIB [-- LAUNCHER...]
// Everything after "--" is put before each program, as an emulator would be.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "harness.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    HarnessConfig& config = Config();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--bin-dir") == 0 && i + 1 < argc) {
            config.binDir = argv[++i];
        } else if (std::strcmp(argv[i], "--standin") == 0 && i + 1 < argc) {
            config.standinLibrary = argv[++i];
        } else if (std::strcmp(argv[i], "--") == 0) {
            config.launcher.assign(argv + i + 1, argv + argc);
            break;
        } else {
            std::fprintf(stderr, "usage: %s --bin-dir DIR --standin LIB [-- LAUNCHER...]\n", argv[0]);
            return 2;
        }
    }
    if (config.binDir.empty() || config.standinLibrary.empty()) {
        std::fprintf(stderr, "%s: --bin-dir and --standin are required\n", argv[0]);
        return 2;
    }
    return RUN_ALL_TESTS();
}
