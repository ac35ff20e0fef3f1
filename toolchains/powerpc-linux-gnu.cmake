# Cross build for the target: Linux on 32-bit big-endian PowerPC, with
# Debian's powerpc-linux-gnu compilers. Programs built with it run on this
# host under qemu-user, which CTest puts before each of them.
#   cmake -B build-ppc -DCMAKE_TOOLCHAIN_FILE=toolchains/powerpc-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)

set(CMAKE_C_COMPILER powerpc-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER powerpc-linux-gnu-g++)

set(SCHED_TARGET_SYSROOT /usr/powerpc-linux-gnu)
set(CMAKE_FIND_ROOT_PATH ${SCHED_TARGET_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A static build (-DSCHED_STATIC=ON) runs without the sysroot: that it does
# shows the programs need nothing of the target's userland.
if(SCHED_STATIC)
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-ppc)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-ppc -L ${SCHED_TARGET_SYSROOT})
endif()
