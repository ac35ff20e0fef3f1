# The Debian packages (cpack -G DEB) for the host or, with the target's
# toolchain file, for powerpc; and, from a static build, a copy-and-run
# archive (cpack -G TGZ). Every package carries the copyright and the
# changelog, and two builds of one commit give identical packages.

set(SCHED_PACKAGE_MAINTAINER "The schedtools authors <schedtools@example.org>" CACHE STRING
    "Maintainer field of the Debian package: a packager's name and address")

# Debian's places and forms: a machine-readable copyright file and the
# changelog compressed with gzip -9n.
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
                   COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog > ${changelog_gz}
                   DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog)
add_custom_target(changelog ALL DEPENDS ${changelog_gz})
install(FILES packaging/copyright ${changelog_gz} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME schedtools)
set(CPACK_PACKAGE_CONTACT "${SCHED_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set and report the scheduling policy of Linux processes")
set(CPACK_PACKAGE_DESCRIPTION
    "Two small tools for the real-time and extension scheduling policies of a
Linux kernel. schedassign puts an existing process under a policy with a
static priority, after checking the priority against the range the kernel
reports for that policy. schedreport prints, as one fixed-layout line, the
policy and priority a process runs under.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "powerpc")
  # dpkg-shlibdeps cannot read the target's C library packages here; the
  # dynamic programs need the GLIBC_2.34 symbol version at most.
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE powerpc)
  if(NOT SCHED_STATIC)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34)")
  endif()
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

# The archive holds bin/ and share/ at its top: tar -xzf ARCHIVE -C /usr/local.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
if(SCHED_LIBC AND SCHED_STATIC)
  set(CPACK_PACKAGE_FILE_NAME
      ${PROJECT_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR}-${SCHED_LIBC}-static)
elseif(SCHED_STATIC)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR}-static)
else()
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR})
endif()

# Read by cpack itself: the install prefix of each generator, and the date
# the build settled on when cpack's environment gives none.
set(CPACK_SCHED_SOURCE_DATE_EPOCH "${SCHED_SOURCE_DATE_EPOCH}")
set(CPACK_SCHED_LIBC "${SCHED_LIBC}")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-options.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/normalize.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/files-only.cmake)
include(CPack)
