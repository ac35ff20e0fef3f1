# Cross build for the target against musl, linked statically: the
# copy-and-run build. musl's start-up, and the paths these programs take
# through musl, run no floating-point instruction: they run on cores without
# a floating-point unit, on kernels without its emulation, as their tests
# show.
#   cmake -B build-ppc-musl -DCMAKE_TOOLCHAIN_FILE=toolchains/powerpc-linux-musl.cmake
# SCHED_MUSL_SYSROOT is the musl that scripts/musl-sysroot builds.
set(SCHED_LIBC musl)
include(${CMAKE_CURRENT_LIST_DIR}/powerpc-static-libc.cmake)
