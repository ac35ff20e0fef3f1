# Cross build for the target against musl, linked statically: the two
# programs alone (the test equipment needs the C++ library, which is built
# for glibc), tested under qemu-user by the host build's end-to-end runner.
# musl's start-up, and the paths these programs take through musl, run no
# floating-point instruction: they run on cores without a floating-point
# unit, on kernels without its emulation, as their tests show.
#   cmake -B build-ppc-musl -DCMAKE_TOOLCHAIN_FILE=toolchains/powerpc-linux-musl.cmake
# SCHED_MUSL_SYSROOT is the musl that scripts/musl-sysroot builds, which is
# asked for its path when none is given.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(CMAKE_CXX_COMPILER powerpc-linux-gnu-g++)

if(NOT SCHED_MUSL_SYSROOT)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/musl-sysroot RESULT_VARIABLE status
                  OUTPUT_VARIABLE SCHED_MUSL_SYSROOT OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "scripts/musl-sysroot (status ${status}): ${SCHED_MUSL_SYSROOT}")
  endif()
  set(SCHED_MUSL_SYSROOT ${SCHED_MUSL_SYSROOT} CACHE PATH "musl for PowerPC, as scripts/musl-sysroot prints it")
endif()
# The compiler checks read this file again, in projects of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SCHED_MUSL_SYSROOT)
# Debian's compiler defaults to the 128-bit IBM long double; musl has the
# 64-bit one.
set(CMAKE_CXX_FLAGS_INIT "-specs=${SCHED_MUSL_SYSROOT}/lib/musl-gcc.specs -mlong-double-64")
set(SCHED_LIBC musl)
set(SCHED_LIBC_COPYRIGHT ${SCHED_MUSL_SYSROOT}/COPYRIGHT)
# Static only, so that the programs need nothing of a system at run time;
# the compiler checks compile alone, without a link.
set(SCHED_STATIC ON CACHE BOOL "Link the programs fully statically" FORCE)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-ppc)
