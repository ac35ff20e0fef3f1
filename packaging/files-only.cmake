# Run by cpack after it packed: each .tar.gz is packed again from its own
# contents with file entries alone, so that unpacking it over a prefix such
# as /usr/local, as an embedded target's tar does it, never changes the owner
# or mode of a directory there. Owner, order, modes and dates stay fixed, so
# that the archive stays reproducible.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.tar\\.gz$")
    continue()
  endif()
  set(tree "${package}.files")
  file(REMOVE_RECURSE "${tree}")
  file(MAKE_DIRECTORY "${tree}")
  file(ARCHIVE_EXTRACT INPUT "${package}" DESTINATION "${tree}")
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${tree}" "${tree}/*")
  list(SORT files)
  # The date the build settled on; without one, each file keeps its own.
  set(mtime "")
  if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(mtime --mtime=@$ENV{SOURCE_DATE_EPOCH})
  endif()
  execute_process(COMMAND tar --format=gnu --owner=0 --group=0 --numeric-owner --mode=go-w,a+rX ${mtime}
                          --no-recursion -cf - ${files}
                  COMMAND gzip -9n
                  WORKING_DIRECTORY "${tree}" OUTPUT_FILE "${package}" COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
