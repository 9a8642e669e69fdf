# Builds users' projects against an installed tree (one enabling C and GNU
# as, one GNU as alone, and the README's CMake block, which enables NASM
# alone), and links examples by hand the way the README shows; fails on any
# difference. The tree is at the prefix STAGE, or is found as CMake finds
# what is installed on the system, with FIND_ROOT standing for /. README is
# the README.md whose block is built (default: beside EXAMPLES). (The
# tutorial's sessions run the register dump, and gdb in a NASM project
# built as Debug, from a prefix and from the package's layout.)
#   cmake -DSTAGE=... [-DFIND_ROOT=...] -DLIBDIR=... -DSOURCE=... -DEXAMPLES=...
#         -DWORK=... [-DNASM=...] [-DREADME=...] -P check.cmake

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/must.cmake)

# <expected output> <expected status> <command...>
function(expect_run output status)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out)
  if(NOT out STREQUAL output OR NOT rc EQUAL status)
    message(FATAL_ERROR "${ARGN}: got [${out}] status ${rc}, want [${output}] status ${status}")
  endif()
endfunction()

# A hand link must not warn (an executable stack, a missing entry point).
function(link_quietly)
  execute_process(COMMAND ld ${ARGN} RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
    message(FATAL_ERROR "ld ${ARGN}: status ${rc}\n${err}")
  endif()
endfunction()

if(FIND_ROOT)
  set(find -DCMAKE_FIND_ROOT_PATH=${FIND_ROOT} -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY)
else()
  set(find -DCMAKE_PREFIX_PATH=${STAGE})
endif()

# Configures and builds the project in <dir> against the installed tree.
function(build_project dir)
  must(${CMAKE_COMMAND} -S ${dir} -B ${dir}/build ${find} ${ARGN})
  must(${CMAKE_COMMAND} --build ${dir}/build)
endfunction()

file(REMOVE_RECURSE ${WORK})
file(COPY ${SOURCE}/ ${EXAMPLES}/quarter.c DESTINATION ${WORK})
build_project(${WORK})
expect_run("42\n" 0 ${WORK}/build/twice 21)
expect_run("1.25\n" 0 ${WORK}/build/quarter 5)

file(WRITE ${WORK}/gas/CMakeLists.txt [[
cmake_minimum_required(VERSION 3.25)
project(gas LANGUAGES ASM)
find_package(bareio REQUIRED)
bareio_add_program(twice ../twice.S MODULES ${MODULES})
]])
build_project(${WORK}/gas -DMODULES=integer)
expect_run("42\n" 0 ${WORK}/gas/build/twice 21)

# A misspelt module stops the configuration, naming the modules there are.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${WORK}/gas -B ${WORK}/typo ${find} -DMODULES=floats
  RESULT_VARIABLE rc ERROR_VARIABLE err)
string(REGEX REPLACE "[ \n]+" " " err "${err}")   # as CMake wraps it
if(rc EQUAL 0 OR NOT err MATCHES "no module \"floats\"; the modules are startup, integer, decimal, debug")
  message(FATAL_ERROR "MODULES floats: status ${rc}\n${err}")
endif()

set(lib ${STAGE}/${LIBDIR}/bareio)
must(as -o ${WORK}/args.o ${EXAMPLES}/args.S)
link_quietly(-o ${WORK}/args ${WORK}/args.o ${lib}/startup.o)
expect_run("a\nb c\n" 2 ${WORK}/args a "b c")

if(NASM)
  must(${NASM} -f elf64 -I ${STAGE}/include -o ${WORK}/sum.o ${EXAMPLES}/sum.asm)
  link_quietly(-o ${WORK}/sum ${WORK}/sum.o ${lib}/startup.o ${lib}/integer.o)
  expect_run("37\n" 0 ${WORK}/sum 40 2 -5)
  expect_run("0\n" 0 ${WORK}/sum)
  expect_run("-9223372036854775808\n" 0 ${WORK}/sum 9223372036854775807 1)
  must(${NASM} -f elf64 -I ${STAGE}/include -o ${WORK}/mean.o ${EXAMPLES}/mean.asm)
  link_quietly(-o ${WORK}/mean ${WORK}/mean.o ${lib}/startup.o ${lib}/integer.o ${lib}/decimal.o)
  expect_run("2.583333\n" 0 ${WORK}/mean 1.5 2 4.25)
  expect_run("0.0\n" 0 ${WORK}/mean)
  expect_run("-1.5\n" 0 ${WORK}/mean -1 -2)

  # The block that follows the marker in the README, verbatim.
  if(NOT README)
    get_filename_component(README ${EXAMPLES}/../README.md ABSOLUTE)
  endif()
  file(READ ${README} readme)
  if(NOT readme MATCHES "check\\.cmake builds this block[^\n]*\n```cmake\n([^`]*)```")
    message(FATAL_ERROR "README.md: no CMake block after the marker")
  endif()
  file(WRITE ${WORK}/readme/CMakeLists.txt "${CMAKE_MATCH_1}")
  file(COPY ${EXAMPLES}/sum.asm DESTINATION ${WORK}/readme)
  build_project(${WORK}/readme -DCMAKE_ASM_NASM_COMPILER=${NASM})
  expect_run("37\n" 0 ${WORK}/readme/build/sum 40 2 -5)

endif()
message(STATUS "the installed run-time builds and links as documented")
