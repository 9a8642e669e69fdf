# What is installed beside the programs and the run-time, in the layout of
# a Debian package (share/doc/<package>: the README, the examples, the
# copyright and the changelog), and the Debian package, made by
# `cpack -G DEB` (or the `deb` workflow preset) in a build configured with
# CMAKE_INSTALL_PREFIX=/usr. tests/package/debian.cmake holds the package
# to lintian's judgement.

set(BAREIO_PACKAGE_MAINTAINER "bareio-interest authors <bareio-interest@example.org>"
  CACHE STRING "Maintainer field of the Debian package: name <address>")
find_program(GZIP gzip REQUIRED)

# copyright: the licence in Debian's machine-readable form, made from
# LICENSE (Expat is Debian's name for this MIT licence).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(.+[^\n])\n*$")
  message(FATAL_ERROR "LICENSE: no copyright line followed by the licence")
endif()
set(BAREIO_COPYRIGHT ${CMAKE_MATCH_1})
string(REPLACE "\n\n" "\n.\n" BAREIO_LICENCE "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " BAREIO_LICENCE " ${BAREIO_LICENCE}")
file(CONFIGURE OUTPUT copyright @ONLY CONTENT [[
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: @PROJECT_NAME@
Upstream-Contact: @BAREIO_PACKAGE_MAINTAINER@

Files: *
Copyright: @BAREIO_COPYRIGHT@
License: Expat
@BAREIO_LICENCE@
]])

# changelog.gz, newest entry first, one per version of the package (a
# package that is its own upstream keeps no separate changelog.Debian).
file(CONFIGURE OUTPUT changelog @ONLY CONTENT [[
bareio-interest (1.0.0) unstable; urgency=medium

  * The interest calculators corvane and lintrel, and the bareio run-time:
    three objects and libbareio.a, with a C header, a NASM include, a
    pkg-config file, a CMake package and manual pages.

 -- @BAREIO_PACKAGE_MAINTAINER@  Tue, 08 Dec 2026 09:20:37 +0000
]])
execute_process(COMMAND ${GZIP} -9nc INPUT_FILE ${PROJECT_BINARY_DIR}/changelog
  OUTPUT_FILE ${PROJECT_BINARY_DIR}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)

# LICENSE too, as it stands, for a user who installs to a prefix of their own.
install(FILES README.md LICENSE ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
  PATTERN CMakeLists.txt EXCLUDE)

# The programs stripped, for the package, of the compilers' notes as well.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program $<TARGET_FILE_NAME:corvane> $<TARGET_FILE_NAME:lintrel>)
      execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "the bareio-interest authors")
set(CPACK_PACKAGE_CONTACT ${BAREIO_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interest calculators and a run-time for programs with no C library")
set(CPACK_PACKAGE_DESCRIPTION [[
Two independent halves for Linux on x86-64.
.
corvane and lintrel are console programs that ask for a principal, a rate
per period and a number of periods, and print the simple interest and, from
corvane, the compound interest.
.
bareio is a run-time for programs written in assembly (NASM or GNU as) or
freestanding C that run with no C library: process start-up and exit,
command-line arguments, and console input and output of text, characters,
64-bit integers and doubles through raw system calls, with a calling
convention that keeps every register but the result. It comes as three
objects and the archive libbareio.a, with a C header, a NASM include, a
pkg-config file, a CMake package and manual pages.]])
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
# The package holds what the build was configured to install, where it was
# configured to install it (the man pages and bareio.pc name those places).
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build[^/]*/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The programs need the C library, in the version dpkg-shlibdeps finds from
# the symbols they use; the run-time needs ld to link anything at all.
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "binutils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "nasm, pkgconf, cmake")

include(CPack)
