# This host's programs against musl (Debian's musl-tools), linked
# statically: the two programs alone, run by the host build's end-to-end
# runner. A cross build to CMake, so that the test equipment, which needs
# the C++ library built for glibc, is borrowed from the host build.
#   cmake -B build-musl -DCMAKE_TOOLCHAIN_FILE=toolchains/x86_64-linux-musl.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_CXX_FLAGS_INIT "-specs=/usr/lib/x86_64-linux-musl/musl-gcc.specs")
set(SCHED_LIBC musl)
set(SCHED_LIBC_COPYRIGHT /usr/share/doc/musl/copyright)
# Static only, so that the programs need nothing of a system at run time;
# the compiler checks compile alone, without a link.
set(SCHED_STATIC ON CACHE BOOL "Link the programs fully statically" FORCE)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
