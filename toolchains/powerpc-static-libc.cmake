# What the static PowerPC builds against musl and uClibc-ng share: the
# programs alone (the test equipment needs the C++ library, which is built
# for glibc), tested under qemu-user by the host build's end-to-end runner.
# SCHED_LIBC names the C library, which SCHED_MUSL_SYSROOT or
# SCHED_UCLIBC_SYSROOT gives; scripts/musl-sysroot or scripts/uclibc-sysroot
# builds it and is asked for its path when none is given.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(CMAKE_CXX_COMPILER powerpc-linux-gnu-g++)

string(TOUPPER "SCHED_${SCHED_LIBC}_SYSROOT" sysroot)
if(NOT ${sysroot})
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/${SCHED_LIBC}-sysroot RESULT_VARIABLE status
                  OUTPUT_VARIABLE ${sysroot} OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "scripts/${SCHED_LIBC}-sysroot (status ${status}): ${${sysroot}}")
  endif()
endif()
# A relative path given as -DSCHED_MUSL_SYSROOT=DIR is taken from where cmake
# runs, as CMake takes any untyped PATH from the command line.
set(${sysroot} "${${sysroot}}" CACHE PATH "${SCHED_LIBC} for PowerPC, as its script prints it")
foreach(file lib/${SCHED_LIBC}-gcc.specs COPYRIGHT)
  if(NOT EXISTS "${${sysroot}}/${file}")
    message(FATAL_ERROR "${sysroot} (${${sysroot}}) has no ${file}: it must hold include/, lib/ with "
                        "${SCHED_LIBC}-gcc.specs and COPYRIGHT, the library's notice, "
                        "as scripts/${SCHED_LIBC}-sysroot makes it")
  endif()
endforeach()
# The compiler checks read this file again, in projects of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ${sysroot})
# Debian's compiler defaults to the 128-bit IBM long double; both C
# libraries have the 64-bit one.
set(CMAKE_CXX_FLAGS_INIT "-specs=${${sysroot}}/lib/${SCHED_LIBC}-gcc.specs -mlong-double-64")
set(SCHED_LIBC_COPYRIGHT ${${sysroot}}/COPYRIGHT)
# Static only, so that the programs need nothing of a system at run time;
# the compiler checks compile alone, without a link.
set(SCHED_STATIC ON CACHE BOOL "Link the programs fully statically" FORCE)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-ppc)
