# BAREIO_SANITIZE: a list for -fsanitize= (address,undefined for the asan
# preset), applied to the programs and tests that run on the C library.
# Programs with no C library cannot carry a sanitizer's run-time: they get
# the undefined-behaviour checks in trapping form, which needs none. The
# assembly is never instrumented.
set(BAREIO_SANITIZE "" CACHE STRING "Sanitizers for hosted C/C++ targets, e.g. address,undefined")

# bareio_sanitize(<target>...): a hosted target, fully sanitized.
function(bareio_sanitize)
  if(NOT BAREIO_SANITIZE)
    return()
  endif()
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE
      $<$<COMPILE_LANGUAGE:C,CXX>:-fsanitize=${BAREIO_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer>)
    target_link_options(${target} PRIVATE -fsanitize=${BAREIO_SANITIZE})
  endforeach()
endfunction()

# bareio_sanitize_freestanding(<target>...): a program with no C library:
# undefined behaviour traps (ud2) instead of calling a reporting run-time.
function(bareio_sanitize_freestanding)
  if(NOT BAREIO_SANITIZE MATCHES "undefined")
    return()
  endif()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(trap -fsanitize-undefined-trap-on-error)
  else()
    set(trap -fsanitize-trap=undefined)
  endif()
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-fsanitize=undefined ${trap}>)
  endforeach()
endfunction()
