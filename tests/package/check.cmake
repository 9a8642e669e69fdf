# Builds users' projects against an installed tree (one enabling C and GNU
# as, one GNU as alone, and the README's CMake block, which enables NASM
# alone, also as a Debug build that gdb stops in at a line of sum.asm),
# and links examples by hand the way the README shows, the register dump
# among them; fails on any difference. The tree is at the prefix STAGE, or
# is found as CMake finds what is installed on the system, with FIND_ROOT
# standing for /. README is the README.md whose block is built (default:
# beside EXAMPLES). The gdb part is left out where GDB is not given.
#   cmake -DSTAGE=... [-DFIND_ROOT=...] -DLIBDIR=... -DSOURCE=... -DEXAMPLES=...
#         -DWORK=... [-DNASM=...] [-DGDB=...] [-DREADME=...] -P check.cmake

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

  # dumpregs dumps the registers between a cmp and its jl: the jump goes
  # as in the same program without the call (its status tells), standard
  # output stays empty, and standard error names every register with its
  # 16 digits, the cmp's rax and flags among them.
  file(READ ${EXAMPLES}/dumpregs.asm text)
  file(WRITE ${WORK}/dumpregs.asm "${text}")
  string(REPLACE "call    __dumpregs" ";" text "${text}")
  file(WRITE ${WORK}/nodump.asm "${text}")
  foreach(program dumpregs nodump)
    must(${NASM} -f elf64 -I ${STAGE}/include -o ${WORK}/${program}.o ${WORK}/${program}.asm)
    link_quietly(-o ${WORK}/${program} ${WORK}/${program}.o -L ${STAGE}/${LIBDIR} -lbareio)
  endforeach()
  string(REPEAT "[0-9a-f]" 16 digits)
  function(expect_dump status rax flags)
    set(want "^rax    ${rax}\n")
    foreach(name rbx rcx rdx rsi rdi rbp rsp r8 r9 r10 r11 r12 r13 r14 r15 rip)
      string(SUBSTRING "${name}      " 0 7 name)
      string(APPEND want "${name}${digits}\n")
    endforeach()
    string(APPEND want "rflags ${digits} ${flags}\n$")
    execute_process(COMMAND ${WORK}/dumpregs ${ARGN}
      RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL status OR NOT out STREQUAL "" OR NOT err MATCHES "${want}")
      message(FATAL_ERROR "dumpregs ${ARGN}: status ${rc}, want ${status}; "
        "output [${out}], want none; standard error:\n${err}")
    endif()
    expect_run("" ${status} ${WORK}/nodump ${ARGN})
  endfunction()
  expect_dump(1 0000000000000001 "CF=1 PF=1 AF=1 ZF=0 SF=1 DF=0 OF=0" one)
  expect_dump(0 0000000000000002 "CF=0 PF=1 AF=0 ZF=1 SF=0 DF=0 OF=0" one two)

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

  # Built as Debug, the same project lets gdb stop at a line of sum.asm,
  # the total in rdx there.
  if(GDB)
    file(COPY ${WORK}/readme/CMakeLists.txt ${EXAMPLES}/sum.asm DESTINATION ${WORK}/debug)
    build_project(${WORK}/debug -DCMAKE_ASM_NASM_COMPILER=${NASM} -DCMAKE_BUILD_TYPE=Debug)
    file(READ ${EXAMPLES}/sum.asm text)
    string(FIND "${text}" "\n.done:" at)         # the line of .done:
    string(SUBSTRING "${text}" 0 ${at} text)
    string(REGEX MATCHALL "\n" lines "${text}")
    list(LENGTH lines line)
    math(EXPR line "${line} + 2")
    must(${GDB} -nx -batch -ex "break sum.asm:${line}" -ex run -ex "print $rdx"
      --args ${WORK}/debug/build/sum 40 2)
    if(NOT out MATCHES "\nBreakpoint 1, [^\n]* at [^\n]*sum\\.asm:${line}\n.*\n\\$1 = 42\n")
      message(FATAL_ERROR "gdb did not stop at sum.asm:${line} of a Debug build:\n${out}")
    endif()
  endif()
endif()
message(STATUS "the installed run-time builds and links as documented")
