# Makes the Debian package from a build configured for /usr, checks its
# fields and contents, has lintian judge it (where lintian is installed:
# any error or warning not overridden fails), unpacks it, runs corvane
# and finds GetSimpleInterest in the stripped lintrel.
#   cmake -DROOT=<source tree> -DWORK=... -DVERSION=... -DDPKG_DEB=... -DNM=... -P debian.cmake

include(${CMAKE_CURRENT_LIST_DIR}/must.cmake)

file(REMOVE_RECURSE ${WORK})
must(${CMAKE_COMMAND} -S ${ROOT} -B ${WORK}/build -DCMAKE_INSTALL_PREFIX=/usr
  -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release)
must(${CMAKE_COMMAND} --build ${WORK}/build --parallel 2)
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G DEB WORKING_DIRECTORY ${WORK}/build
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(GLOB deb ${WORK}/build/*.deb)
if(NOT rc EQUAL 0 OR NOT deb MATCHES "/bareio-interest_${VERSION}_[a-z0-9]+\\.deb$")
  message(FATAL_ERROR "cpack -G DEB (${rc}) made [${deb}]\n${out}\n${err}")
endif()

must(${DPKG_DEB} -f ${deb} Package Version Section Maintainer Description Depends)
foreach(field "Package: bareio-interest" "Version: ${VERSION}" "Section: devel"
    "Maintainer: [^\n]+ <[^>]+@[^>]+>" "Description: [^\n]+\n [^\n]+" "Depends: libc6")
  if(NOT out MATCHES "${field}")
    message(FATAL_ERROR "no field '${field}' in:\n${out}")
  endif()
endforeach()

must(${DPKG_DEB} -c ${deb})
foreach(path bin/corvane bin/lintrel include/bareio.h include/bareio.inc
    "lib/[^ \n]*libbareio\\.a" "lib/[^ \n]*/bareio/decimal\\.o" "lib/[^ \n]*/pkgconfig/bareio\\.pc"
    "lib/[^ \n]*/cmake/bareio/bareioConfig\\.cmake" share/man/man1/corvane\\.1\\.gz
    "share/man/man3/__writedec\\.3\\.gz -> __argvdec\\.3\\.gz"
    share/doc/bareio-interest/copyright share/doc/bareio-interest/changelog\\.gz)
  if(NOT out MATCHES " \\./usr/${path}\n")
    message(FATAL_ERROR "the package lacks /usr/${path}:\n${out}")
  endif()
endforeach()

find_program(LINTIAN lintian)
if(LINTIAN)
  must(${LINTIAN} --fail-on error,warning ${deb})
endif()

# Lintian leaves to us that the newest changelog entry is this version.
must(${DPKG_DEB} -x ${deb} ${WORK}/root)
must(gzip -dc ${WORK}/root/usr/share/doc/bareio-interest/changelog.gz)
if(NOT out MATCHES "^bareio-interest \\(${VERSION}\\) ")
  message(FATAL_ERROR "the changelog's newest entry is not ${VERSION}:\n${out}")
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
message(STATUS "${deb} installs and runs")
