# What is installed beside the programs and the run-time, in the layout of
# Debian packages, and the two Debian packages, made by `cpack -G DEB` (or
# the `deb` workflow preset) in a build configured with
# CMAKE_INSTALL_PREFIX=/usr, one per install component:
#   bareio-interest  (calculators) corvane, lintrel and their manual pages
#   libbareio-dev    (dev) the run-time's objects, archive, header, NASM
#                    include, pkg-config and CMake files, section 3 pages
#                    and the examples
# Each has its share/doc/<package> with the README, the copyright and the
# changelog. The licence is installed as that copyright only: Debian wants
# no second copy beside it. tests/package/debian.cmake holds both packages
# to lintian's judgement.

set(BAREIO_PACKAGE_MAINTAINER "bareio-interest authors <bareio-interest@example.org>"
  CACHE STRING "Maintainer field of the Debian packages: name <address>")
find_program(GZIP gzip REQUIRED)

# copyright: the licence in Debian's machine-readable form, made from
# LICENSE (Expat is Debian's name for this MIT licence).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/changelog)
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

# changelog.gz, from the file `changelog` (Debian's format, newest entry
# first, one per version, shared by both packages as by binary packages of
# one source). A new version needs its entry there: the newest must be
# this one.
file(READ ${PROJECT_SOURCE_DIR}/changelog changelog)
string(REGEX MATCH "\n -- [^\n]+>  ([^\n]+)" trailer "${changelog}")
set(changelog_date "${CMAKE_MATCH_1}")
if(NOT changelog MATCHES "^([^ ]+) \\(([^)]+)\\)" OR NOT trailer)
  message(FATAL_ERROR "changelog: no entry in Debian's format at the top")
elseif(NOT CMAKE_MATCH_1 STREQUAL PROJECT_NAME OR NOT CMAKE_MATCH_2 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "changelog: the newest entry is ${CMAKE_MATCH_1} ${CMAKE_MATCH_2}, "
    "not ${PROJECT_NAME} ${PROJECT_VERSION}: the newest must be this version's")
endif()
execute_process(COMMAND ${GZIP} -9nc INPUT_FILE ${PROJECT_SOURCE_DIR}/changelog
  OUTPUT_FILE ${PROJECT_BINARY_DIR}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)

install(FILES README.md ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT calculators)
install(FILES README.md ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
  DESTINATION ${BAREIO_DEV_DOCDIR} COMPONENT dev)
install(DIRECTORY examples/ DESTINATION ${BAREIO_DEV_DOCDIR}/examples COMPONENT dev
  PATTERN CMakeLists.txt EXCLUDE)

# The programs stripped, for the package, of the compilers' notes as well.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program $<TARGET_FILE_NAME:corvane> $<TARGET_FILE_NAME:lintrel>)
      execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()" COMPONENT calculators)

# The packages' time stamps, for the same bytes from the same tree:
# SOURCE_DATE_EPOCH when cpack is given it, else the date of the last
# commit when cpack runs, else (no git checkout) the newest changelog
# entry's date.
find_package(Git QUIET)
execute_process(COMMAND date -d "${changelog_date}" +%s
  OUTPUT_VARIABLE BAREIO_CHANGELOG_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
file(CONFIGURE OUTPUT CPackProjectConfig.cmake @ONLY CONTENT [[
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch @BAREIO_CHANGELOG_EPOCH@)
  if(EXISTS "@GIT_EXECUTABLE@")
    execute_process(COMMAND "@GIT_EXECUTABLE@" -C "@PROJECT_SOURCE_DIR@" log -1 --format=%ct -- .
      OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(commit MATCHES "^[0-9]+$")
      set(epoch ${commit})
    endif()
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
]])
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "the bareio-interest authors")
set(CPACK_PACKAGE_CONTACT ${BAREIO_PACKAGE_MAINTAINER})
# Each package's synopsis is the first line of its own description.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
# The packages hold what the build was configured to install, where it was
# configured to install it (the man pages name those places).
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build[^/]*/")

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL calculators dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_CALCULATORS_PACKAGE_NAME bareio-interest)
set(CPACK_DEBIAN_CALCULATORS_PACKAGE_SECTION math)
set(CPACK_DEBIAN_CALCULATORS_DESCRIPTION [[
simple and compound interest calculators for the console
corvane and lintrel ask for a principal, a rate per period in percent and
a number of periods, and print the interest: corvane the simple and the
compound interest, lintrel the simple interest alone. They talk through
standard input and output, so a person at a terminal or a script on a pipe
can drive them.]])
# The programs need the C library, in the version dpkg-shlibdeps finds from
# the symbols they use.
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_CALCULATORS_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_CALCULATORS_PACKAGE_DEPENDS "libc6")
endif()

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libbareio-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SOURCE ${PROJECT_NAME})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# Multi-Arch: same, as Debian marks a library's -dev package, and lintian
# agrees: the run-time is x86-64 code, built for amd64 alone, so its files
# outside lib/<multiarch> (the headers, the CMake package, the documents)
# are the same wherever the package is installed. CPack 3.25 has no
# variable for the field, so it rides on the line of Priority.
set(CPACK_DEBIAN_DEV_PACKAGE_PRIORITY "optional\nMulti-Arch: same")
set(CPACK_DEBIAN_DEV_DESCRIPTION [[
run-time for x86-64 programs with no C library
bareio is a run-time for programs written in assembly (NASM or GNU as) or
freestanding C and C++ that run with no C library: process start-up and
exit, command-line arguments, and console input and output of text,
characters, 64-bit integers and doubles through raw system calls, with a
calling convention that keeps every register but the result.
.
This package holds its three objects and the archive libbareio.a, with a C
header, a NASM include, a pkg-config file, a CMake package, manual pages
and example programs.]])
# Linking anything with the run-time takes ld; the rest is for the ways of
# building a program that the README shows.
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "binutils")
set(CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS "nasm, pkgconf, cmake")
# Up to 1.0.0 one package, bareio-interest, held the run-time's files too.
set(CPACK_DEBIAN_DEV_PACKAGE_BREAKS "bareio-interest (<< 1.1.0)")
set(CPACK_DEBIAN_DEV_PACKAGE_REPLACES "bareio-interest (<< 1.1.0)")

include(CPack)
