# Builds a user's project against the staged install, and links examples
# by hand the way the README shows; fails on any difference.
#   cmake -DSTAGE=... -DSOURCE=... -DEXAMPLES=... -DWORK=... [-DNASM=...] -P check.cmake

function(must)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
endfunction()

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

file(REMOVE_RECURSE ${WORK})
must(${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/build -DCMAKE_PREFIX_PATH=${STAGE})
must(${CMAKE_COMMAND} --build ${WORK}/build)
expect_run("42\n" 0 ${WORK}/build/twice 21)
expect_run("1.25\n" 0 ${WORK}/build/quarter 5)

set(lib ${STAGE}/lib/bareio)
must(as -o ${WORK}/args.o ${EXAMPLES}/args.S)
link_quietly(-o ${WORK}/args ${WORK}/args.o ${lib}/startup.o)
expect_run("a\nb c\n" 2 ${WORK}/args a "b c")

if(NASM)
  must(${NASM} -f elf64 -I ${STAGE}/include -o ${WORK}/sum.o ${EXAMPLES}/sum.asm)
  link_quietly(-o ${WORK}/sum ${WORK}/sum.o ${lib}/startup.o ${lib}/integer.o)
  expect_run("37\n" 0 ${WORK}/sum 40 2 -5)
  must(${NASM} -f elf64 -I ${STAGE}/include -o ${WORK}/mean.o ${EXAMPLES}/mean.asm)
  link_quietly(-o ${WORK}/mean ${WORK}/mean.o ${lib}/startup.o ${lib}/integer.o ${lib}/decimal.o)
  expect_run("2.583333\n" 0 ${WORK}/mean 1.5 2 4.25)
endif()
message(STATUS "the installed run-time builds and links as documented")
