# Cross build for the target against uClibc-ng, linked statically: a test build, never shipped
# (cpack refuses): a static program carries its LGPL-2.1 obligations; the musl build behaves the same.
#   cmake -B build-ppc-uclibc -DCMAKE_TOOLCHAIN_FILE=toolchains/powerpc-linux-uclibc.cmake
# SCHED_UCLIBC_SYSROOT is the uClibc-ng that scripts/uclibc-sysroot builds.
set(SCHED_LIBC uclibc)
include(${CMAKE_CURRENT_LIST_DIR}/powerpc-static-libc.cmake)
