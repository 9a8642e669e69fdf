# Shared by the tree's CMake scripts (cmake -P), the tests' among them.
# must(<command>...): runs the command and stops the script, showing its
# output, unless it succeeds; its standard output is left in `out`.
function(must)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()
