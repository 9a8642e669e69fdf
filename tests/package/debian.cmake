# Checks the Debian packages that .ci/run builds, in what no other check
# covers (debian/tests/installed runs them installed; lintian judges them):
# each package's fields and files, its changelog's newest entry, the
# stripped lintrel's GetSimpleInterest, and that a second build of the tree
# in another folder (AGAIN) gave the same bytes.
#   cmake -DDEBS=<folder of the .debs> -DAGAIN=<folder of the second .debs>
#         -DVERSION=... -DWORK=... -P debian.cmake

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/must.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})  # (dpkg-deb -x makes only the last folder)
file(GLOB debs ${DEBS}/*.deb)

# Each package's own fields, files it must hold (under /usr) and files it
# must not; bareio-interest-dbgsym is debhelper's own.
set(fields_bareio-interest "Section: math" "Depends: libc6 \\(")
set(files_bareio-interest bin/corvane bin/lintrel share/man/man1/lintrel\\.1\\.gz)
set(foreign_bareio-interest "/usr/(include|lib|src)/|/man3/")
set(fields_libbareio-dev "Section: libdevel" "Multi-Arch: same" "Source: bareio-interest"
  "Recommends: binutils, pkgconf \\| pkg-config" "Suggests: cmake, nasm"
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

must(nm -D ${WORK}/root/usr/bin/lintrel)
if(NOT out MATCHES " T GetSimpleInterest\n")
  message(FATAL_ERROR "lintrel from the package does not show GetSimpleInterest:\n${out}")
endif()

foreach(deb IN LISTS debs)
  get_filename_component(name ${deb} NAME)
  must(${CMAKE_COMMAND} -E compare_files ${deb} ${AGAIN}/${name})
endforeach()
message(STATUS "the packages hold what they should, and build again the same")
