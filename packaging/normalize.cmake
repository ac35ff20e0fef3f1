# A uClibc-ng build is for the tests alone: a static program carries the
# library's LGPL-2.1 obligations, and the musl build behaves the same.
if(CPACK_SCHED_LIBC STREQUAL "uclibc")
  message(FATAL_ERROR "uClibc-ng builds are not packaged: ship the static musl build")
endif()
# Run by cpack on the staged tree before it is packed: directories get the
# modes a package wants whatever the builder's umask was (mkdir applies the
# umask to any mode it is asked for).
file(CHMOD_RECURSE ${CPACK_TEMPORARY_INSTALL_DIRECTORY}
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
