# What is installed beside the programs and the run-time (the licence, the
# README and the examples, in the Debian layout share/doc/<package>), and
# the Debian package, made by `cpack -G DEB` (or the `deb` workflow preset)
# in a build configured with CMAKE_INSTALL_PREFIX=/usr.

install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
  PATTERN CMakeLists.txt EXCLUDE)

set(BAREIO_PACKAGE_MAINTAINER "bareio-interest authors <bareio-interest@example.org>"
  CACHE STRING "Maintainer field of the Debian package: name <address>")

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
