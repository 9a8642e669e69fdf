# The installed tree as a user meets it: the archive's members, a NASM
# program linked through pkg-config, a manual page for every exported
# routine and every page free of groff warnings, the
# C prototypes of the tutorial (README) against bareio.h, and the documentation. Parts
# whose tool is missing (nasm, pkg-config, groff) are left out.
#   cmake -DSTAGE=... -DLIBDIR=... -DMANDIR=... -DDOCDIR=... -DWORK=... -DMODULES=...
#         -DEXAMPLES=... -DREADME=... -DAR=... -DNM=... -DREADELF=... -DCC=...
#         [-DNASM=...] [-DPKG_CONFIG=...] [-DGROFF=...] -P install-layout.cmake

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/must.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(archive ${STAGE}/${LIBDIR}/libbareio.a)

must(${AR} t ${archive})
string(REPLACE " " ".o\n" members "${MODULES}.o\n")
if(NOT out STREQUAL members)
  message(FATAL_ERROR "members of ${archive}:\n${out}")
endif()

# Linked with -lbareio after the program, sum (integers only) gets startup
# and integer but not decimal, nor debug, which no program gets unasked
# (the tutorial links the others, mean and its three among them).
if(NASM AND PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${STAGE}/${LIBDIR}/pkgconfig)
  must(${PKG_CONFIG} --cflags bareio)
  separate_arguments(cflags UNIX_COMMAND "${out}")
  must(${PKG_CONFIG} --libs bareio)
  separate_arguments(libs UNIX_COMMAND "${out}")
  if("${cflags};${libs}" MATCHES "/\\.\\./")
    message(FATAL_ERROR "pkg-config gives paths that are not plain: ${cflags} ${libs}")
  endif()
  must(${NASM} -f elf64 ${cflags} -o ${WORK}/sum.o ${EXAMPLES}/sum.asm)
  must(ld -o ${WORK}/sum ${WORK}/sum.o ${libs})
  must(${NM} ${WORK}/sum)
  if(NOT out MATCHES " T __writeint\n" OR out MATCHES "__writedec|__dumpregs")
    message(FATAL_ERROR "sum linked with -lbareio has the wrong modules:\n${out}")
  endif()
endif()

# The archive exports exactly the routines bareio.h declares, and each has
# its page in section 3. A global of hidden visibility is the modules' own
# (the line reader they share), not an export.
must(${READELF} -sW ${archive})
string(REGEX MATCHALL " FUNC +GLOBAL +DEFAULT +[0-9]+ [_a-z]+" routines "${out}")
list(TRANSFORM routines REPLACE ".* " "")
list(SORT routines)
file(STRINGS ${STAGE}/include/bareio.h declared REGEX "^[^ *#].* (__[a-z]+)\\(")
list(TRANSFORM declared REPLACE ".* (__[a-z]+)\\(.*" "\\1")
list(SORT declared)
if(NOT routines STREQUAL declared)
  message(FATAL_ERROR "${archive} exports [${routines}], bareio.h declares [${declared}]")
endif()
foreach(routine IN LISTS routines)
  if(NOT EXISTS ${STAGE}/${MANDIR}/man3/${routine}.3)
    message(FATAL_ERROR "no manual page for ${routine}")
  endif()
endforeach()

# The pages name where this install put the run-time, not the prefix the
# build was configured with.
file(READ ${STAGE}/${MANDIR}/man3/bareio.3 out)
if(NOT out MATCHES "-L ${STAGE}/${LIBDIR} " OR out MATCHES "/usr/local")
  message(FATAL_ERROR "bareio(3) does not name ${STAGE}/${LIBDIR}:\n${out}")
endif()

# Each page, a routine's link read as the page it leads to, with the stage
# named /usr: a deep build's stage makes paths too long for groff's line.
if(GROFF)
  file(GLOB pages ${STAGE}/${MANDIR}/man*/*)
  foreach(page IN LISTS pages)
    execute_process(COMMAND sh -c "sed \"s|$0/|/usr/|g\" \"$1\" | \"$2\" -man -ww -z"
      ${STAGE} ${page} ${GROFF} RESULT_VARIABLE rc ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
      message(FATAL_ERROR "groff on ${page}: status ${rc}\n${err}")
    endif()
  endforeach()
endif()

# The tutorial's prototypes must agree with the header: a C compiler rejects
# a redeclaration of different type.
file(READ ${README} readme)
if(NOT readme MATCHES "compiles this block with bareio\\.h[^\n]*\n```c\n([^`]*)```")
  message(FATAL_ERROR "${README}: no C block after the marker")
endif()
file(WRITE ${WORK}/prototypes.c "#include <bareio.h>\n${CMAKE_MATCH_1}")
must(${CC} -fsyntax-only -Werror -I ${STAGE}/include ${WORK}/prototypes.c)

foreach(file README.md tutorial.md copyright changelog examples/sum.asm examples/args.S examples/quarter.c)
  if(NOT EXISTS ${STAGE}/${DOCDIR}/${file})
    message(FATAL_ERROR "not installed: ${DOCDIR}/${file}")
  endif()
endforeach()

# The run-time's README names places of this install, each of which exists.
file(READ ${STAGE}/${DOCDIR}/README.md readme)
string(REGEX REPLACE "([][()^$.*+?|\\\\])" "\\\\\\1" stage_pattern "${STAGE}")
string(REGEX MATCHALL "${stage_pattern}/[^` ,:\n]*" places "${readme}")
foreach(place IN LISTS places)
  if(NOT EXISTS ${place} OR readme MATCHES "@|\\]\\(")
    message(FATAL_ERROR "${DOCDIR}/README.md: ${place} is not installed, or an @ or a link is left")
  endif()
endforeach()
message(STATUS "the installed tree is complete")
