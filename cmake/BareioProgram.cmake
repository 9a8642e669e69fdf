# bareio_add_program(<name> <source>... [MODULES <module>...] [ENTRY <symbol>])
#
# Adds an executable that runs with no C library: linked static, with no
# start files and no libraries, entered at ENTRY (default _start), whose
# entry code calls __start with the address of its main routine. MODULES
# picks the run-time objects (startup, integer, decimal; default all three);
# the ones they call are added (integer needs startup, decimal both). C and C++ sources are compiled freestanding.
# The link goes through the C compiler driver, so the project enables C.
function(bareio_add_program name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ENTRY" "MODULES")
  if(NOT arg_ENTRY)
    set(arg_ENTRY _start)
  endif()
  if(NOT arg_MODULES)
    set(arg_MODULES startup integer decimal)
  endif()
  # Objects are not passed on transitively, so the closure is spelled out.
  set(objects startup)
  if("integer" IN_LIST arg_MODULES OR "decimal" IN_LIST arg_MODULES)
    list(APPEND objects integer)
  endif()
  if("decimal" IN_LIST arg_MODULES)
    list(APPEND objects decimal)
  endif()
  add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
  foreach(module IN LISTS objects)
    target_link_libraries(${name} PRIVATE bareio::${module})
  endforeach()
  target_link_libraries(${name} PRIVATE bareio::headers)
  target_compile_options(${name} PRIVATE
    $<$<COMPILE_LANGUAGE:C,CXX>:-ffreestanding -fno-stack-protector -fno-builtin>
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables>)
  target_link_options(${name} PRIVATE -nostdlib -static -Wl,-e,${arg_ENTRY})
  set_target_properties(${name} PROPERTIES LINKER_LANGUAGE C)
endfunction()
