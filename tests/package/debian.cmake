# Builds the Debian packages with dpkg-buildpackage (nocheck: the suite runs
# on its own) from a copy of the tree, checks their fields and contents,
# has lintian judge them (any tag, pedantic and experimental ones too,
# fails), unpacks them, runs corvane, finds GetSimpleInterest in the
# stripped lintrel, builds users' projects against the unpacked tree, and
# builds them again from a copy in another folder: the same bytes must come
# out. Skipped, saying so, where debhelper is not installed.
#   cmake -DROOT=<source tree> -DWORK=... -DVERSION=... -DNM=... [-DNASM=...]
#         -P debian.cmake

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/must.cmake)

find_program(DPKG_BUILDPACKAGE dpkg-buildpackage)
find_program(DH dh)
if(NOT DPKG_BUILDPACKAGE OR NOT DH)
  message("package.debian skipped: dpkg-buildpackage and debhelper (dh) are not both "
    "installed (apt-get install debhelper)")
  return()
endif()

# Builds the packages from a copy of the tree in <dir>/bareio-interest;
# `debs` is then the packages made in <dir>. A folder of the tree holding
# a CMakeCache.txt is a build and stays behind, as does .git.
set(ENV{DEB_BUILD_OPTIONS} "nocheck parallel=2")
unset(ENV{SOURCE_DATE_EPOCH})   # the changelog's date, not the caller's
file(GLOB entries LIST_DIRECTORIES true RELATIVE ${ROOT} ${ROOT}/*)
function(build_packages dir)
  file(REMOVE_RECURSE ${dir})
  foreach(entry IN LISTS entries)
    if(NOT entry MATCHES "^(\\.git|obj-.*)$" AND NOT EXISTS ${ROOT}/${entry}/CMakeCache.txt)
      file(COPY ${ROOT}/${entry} DESTINATION ${dir}/bareio-interest)
    endif()
  endforeach()
  execute_process(COMMAND ${DPKG_BUILDPACKAGE} -us -uc -b
    WORKING_DIRECTORY ${dir}/bareio-interest
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  file(GLOB debs ${dir}/*.deb)
  set(made "bareio-interest-dbgsym;bareio-interest;libbareio-dev")
  list(TRANSFORM made REPLACE "(.+)" "${dir}/\\1_${VERSION}_amd64.deb")
  if(NOT rc EQUAL 0 OR NOT debs STREQUAL made)
    message(FATAL_ERROR "dpkg-buildpackage in ${dir} (${rc}) made [${debs}]\n${out}")
  endif()
  set(debs ${debs} PARENT_SCOPE)
endfunction()
# Packed outside WORK when its path holds a space, which the compilers'
# -ffile-prefix-map from dpkg-buildflags cannot map: the debug symbols
# would then keep the folder's name, and two builds would differ.
file(REMOVE_RECURSE ${WORK}/root)
file(MAKE_DIRECTORY ${WORK})
spaceless_folder(packing ${WORK})
build_packages(${packing}/first)

# Each package's own fields, files it must hold (under /usr) and files it
# must not; bareio-interest-dbgsym is debhelper's own.
set(fields_bareio-interest "Section: math" "Depends: libc6 \\(")
set(files_bareio-interest bin/corvane bin/lintrel share/man/man1/lintrel\\.1\\.gz)
set(foreign_bareio-interest "/usr/(include|lib|src)/|/man3/")
set(fields_libbareio-dev "Section: libdevel" "Multi-Arch: same" "Source: bareio-interest"
  "Replaces: bareio-interest \\(<< 1\\.1\\.0\\)")
set(files_libbareio-dev include/bareio.h include/bareio.inc "lib/[^ \n]*/libbareio\\.a"
  "lib/[^ \n]*/bareio/decimal\\.o" "lib/[^ \n]*/bareio/debug\\.o" "lib/[^ \n]*/pkgconfig/bareio\\.pc"
  lib/cmake/bareio/bareioConfig\\.cmake lib/cmake/bareio/BareioProgram\\.cmake
  "share/man/man3/__writedec\\.3\\.gz -> __argvdec\\.3\\.gz" share/man/man3/__dumpregs\\.3\\.gz
  share/doc/libbareio-dev/examples/quarter\\.c share/doc/libbareio-dev/tutorial\\.md
  share/doc/libbareio-dev/README\\.md src/bareio/integer\\.S src/bareio/bareio-asm\\.h)
set(foreign_libbareio-dev "/usr/bin/|/man1/")

foreach(deb IN LISTS debs)
  string(REGEX REPLACE ".*/([^_/]+)_[^/]*$" "\\1" package ${deb})
  if(package MATCHES "-dbgsym$")
    continue()
  endif()
  must(dpkg-deb -f ${deb})
  foreach(field "Package: ${package}\n" "Version: ${VERSION}\n" "Maintainer: [^\n]+ <[^>]+@[^>]+>"
      "Description: [^\n]+\n [^\n]+" ${fields_${package}})
    if(NOT out MATCHES "${field}")
      message(FATAL_ERROR "${package}: no field '${field}' in:\n${out}")
    endif()
  endforeach()
  must(dpkg-deb -c ${deb})
  foreach(path ${files_${package}} share/doc/${package}/copyright share/doc/${package}/changelog\\.gz)
    if(NOT out MATCHES " \\./usr/${path}\n")
      message(FATAL_ERROR "${package} lacks /usr/${path}:\n${out}")
    endif()
  endforeach()
  if(out MATCHES "${foreign_${package}}")
    message(FATAL_ERROR "${package} holds another package's files:\n${out}")
  endif()
  must(dpkg-deb -x ${deb} ${WORK}/root)
  # Lintian leaves to us that the newest changelog entry is this version.
  must(gzip -dc ${WORK}/root/usr/share/doc/${package}/changelog.gz)
  if(NOT out MATCHES "^bareio-interest \\(${VERSION}\\) ")
    message(FATAL_ERROR "${package}: the changelog's newest entry is not ${VERSION}:\n${out}")
  endif()
endforeach()

find_program(LINTIAN lintian)
if(LINTIAN)
  must(${LINTIAN} --fail-on error,warning,info,pedantic,experimental -I -E --pedantic
    ${packing}/first/bareio-interest_${VERSION}_amd64.changes)
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
find_program(GDB gdb)
must(${CMAKE_COMMAND} -DSTAGE=${WORK}/root/usr -DFIND_ROOT=${WORK}/root -DLIBDIR=${libdir}
  -DSOURCE=${CMAKE_CURRENT_LIST_DIR} -DEXAMPLES=${WORK}/root/usr/share/doc/libbareio-dev/examples
  -DREADME=${ROOT}/README.md -DWORK=${WORK}/consumer -DNASM=${NASM} -DGDB=${GDB}
  -P ${CMAKE_CURRENT_LIST_DIR}/check.cmake)

# The same tree in another folder, deeper down: the same packages, byte
# for byte.
set(first ${debs})
build_packages(${packing}/second/elsewhere)
foreach(deb IN ZIP_LISTS first debs)
  must(${CMAKE_COMMAND} -E compare_files ${deb_0} ${deb_1})
endforeach()
if(NOT packing STREQUAL WORK)
  file(REMOVE_RECURSE ${packing})
endif()
message(STATUS "the packages install, run, serve users' projects and build again the same")
