# Makes the Debian packages from a build configured for /usr, checks their
# fields and contents, has lintian judge them (where installed: any error,
# warning or informational tag fails), unpacks them, runs corvane, finds
# GetSimpleInterest in the stripped lintrel, builds users' projects against
# the unpacked tree, and packs again: the same bytes must come out.
#   cmake -DROOT=<source tree> -DWORK=... -DVERSION=... -DDPKG_DEB=... -DNM=...
#         [-DNASM=...] -P debian.cmake

include(${CMAKE_CURRENT_LIST_DIR}/must.cmake)

unset(ENV{SOURCE_DATE_EPOCH})   # the packages' own time stamps, not the caller's
file(REMOVE_RECURSE ${WORK})
must(${CMAKE_COMMAND} -S ${ROOT} -B ${WORK}/build -DCMAKE_INSTALL_PREFIX=/usr
  -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release)
must(${CMAKE_COMMAND} --build ${WORK}/build --parallel 2)

# Runs cpack; `debs` is then the packages it made.
function(pack)
  execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G DEB WORKING_DIRECTORY ${WORK}/build
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  file(GLOB debs ${WORK}/build/*.deb)
  if(NOT rc EQUAL 0 OR NOT debs MATCHES
      "^[^;]*/bareio-interest_${VERSION}_amd64\\.deb;[^;]*/libbareio-dev_${VERSION}_amd64\\.deb$")
    message(FATAL_ERROR "cpack -G DEB (${rc}) made [${debs}]\n${out}\n${err}")
  endif()
  set(debs ${debs} PARENT_SCOPE)
endfunction()
pack()
file(COPY ${debs} DESTINATION ${WORK}/first)

# Each package's own fields, files it must hold (under /usr) and files it
# must not.
set(fields_bareio-interest "Section: math" "Depends: libc6 \\(")
set(files_bareio-interest bin/corvane bin/lintrel share/man/man1/lintrel\\.1\\.gz)
set(foreign_bareio-interest "/usr/(include|lib)/|/man3/")
set(fields_libbareio-dev "Section: libdevel" "Multi-Arch: same" "Source: bareio-interest"
  "Replaces: bareio-interest \\(<< 1\\.1\\.0\\)")
set(files_libbareio-dev include/bareio.h include/bareio.inc "lib/[^ \n]*/libbareio\\.a"
  "lib/[^ \n]*/bareio/decimal\\.o" "lib/[^ \n]*/pkgconfig/bareio\\.pc"
  lib/cmake/bareio/bareioConfig\\.cmake lib/cmake/bareio/BareioProgram\\.cmake
  "share/man/man3/__writedec\\.3\\.gz -> __argvdec\\.3\\.gz"
  share/doc/libbareio-dev/examples/quarter\\.c)
set(foreign_libbareio-dev "/usr/bin/|/man1/")

foreach(deb IN LISTS debs)
  string(REGEX REPLACE ".*/([^_/]+)_[^/]*$" "\\1" package ${deb})
  must(${DPKG_DEB} -f ${deb})
  foreach(field "Package: ${package}\n" "Version: ${VERSION}\n" "Maintainer: [^\n]+ <[^>]+@[^>]+>"
      "Description: [^\n]+\n [^\n]+" ${fields_${package}})
    if(NOT out MATCHES "${field}")
      message(FATAL_ERROR "${package}: no field '${field}' in:\n${out}")
    endif()
  endforeach()
  must(${DPKG_DEB} -c ${deb})
  foreach(path ${files_${package}} share/doc/${package}/copyright share/doc/${package}/changelog\\.gz)
    if(NOT out MATCHES " \\./usr/${path}\n")
      message(FATAL_ERROR "${package} lacks /usr/${path}:\n${out}")
    endif()
  endforeach()
  if(out MATCHES "${foreign_${package}}")
    message(FATAL_ERROR "${package} holds another package's files:\n${out}")
  endif()
  must(${DPKG_DEB} -x ${deb} ${WORK}/root)
  # Lintian leaves to us that the newest changelog entry is this version.
  must(gzip -dc ${WORK}/root/usr/share/doc/${package}/changelog.gz)
  if(NOT out MATCHES "^bareio-interest \\(${VERSION}\\) ")
    message(FATAL_ERROR "${package}: the changelog's newest entry is not ${VERSION}:\n${out}")
  endif()
endforeach()

find_program(LINTIAN lintian)
if(LINTIAN)
  must(${LINTIAN} --fail-on error,warning,info --display-info ${debs})
endif()

file(WRITE ${WORK}/input "1000\n5 2\n")
execute_process(COMMAND ${WORK}/root/usr/bin/corvane INPUT_FILE ${WORK}/input
  RESULT_VARIABLE rc OUTPUT_VARIABLE out)
string(CONCAT dialogue "Enter Principle\nEnter Rate / Period\n"
  "Calculated Interest is 100.000000\nCalculated Compound Interest is 102.499900\n")
if(NOT rc EQUAL 0 OR NOT out STREQUAL dialogue)
  message(FATAL_ERROR "corvane from the package: status ${rc}\n${out}")
endif()
must(${NM} -D ${WORK}/root/usr/bin/lintrel)
if(NOT out MATCHES " T GetSimpleInterest\n")
  message(FATAL_ERROR "lintrel from the package does not show GetSimpleInterest:\n${out}")
endif()

# Users' projects find the package under /usr, enabling NASM, GNU as, or C.
file(GLOB libdir RELATIVE ${WORK}/root/usr ${WORK}/root/usr/lib/*-linux-gnu)
must(${CMAKE_COMMAND} -DSTAGE=${WORK}/root/usr -DFIND_ROOT=${WORK}/root -DLIBDIR=${libdir}
  -DSOURCE=${CMAKE_CURRENT_LIST_DIR} -DEXAMPLES=${WORK}/root/usr/share/doc/libbareio-dev/examples
  -DWORK=${WORK}/consumer -DNASM=${NASM} -P ${CMAKE_CURRENT_LIST_DIR}/check.cmake)

# Some seconds later, the same packages, byte for byte.
pack()
foreach(deb IN LISTS debs)
  get_filename_component(name ${deb} NAME)
  must(${CMAKE_COMMAND} -E compare_files ${deb} ${WORK}/first/${name})
endforeach()
message(STATUS "${debs} install, run and pack again the same")
