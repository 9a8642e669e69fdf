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

# spaceless_folder(<var> <folder>): <var> = <folder>, or a new temporary
# folder when <folder>'s path holds a space, which a shell's $(...) and a
# compiler's -ffile-prefix-map would split; the caller removes that one.
function(spaceless_folder var folder)
  if(folder MATCHES " ")
    execute_process(COMMAND mktemp -d OUTPUT_VARIABLE folder OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  set(${var} ${folder} PARENT_SCOPE)
endfunction()
