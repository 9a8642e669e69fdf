# bareio_add_program(<name> <source>... [MODULES <module>...] [ENTRY <symbol>])
#
# Adds an executable that runs with no C library: linked static, with no
# start files and no libraries, entered at ENTRY (default _start), whose
# entry code calls __start with the address of its main routine. MODULES
# picks the run-time objects among BAREIO_MODULES (startup, integer,
# decimal; default all three), and the ones they call are added (integer
# needs startup, decimal both), and among BAREIO_OPTIONAL_MODULES (debug),
# which are linked only when named; any other name stops the
# configuration. C and C++ sources are compiled freestanding, and NASM
# sources get line tables (-g -Fdwarf) in the build types that give the
# others theirs, Debug and RelWithDebInfo.
#
# Any one of C, ASM (GNU as through the compiler driver) or ASM_NASM is
# enough: the program is linked by the C driver, else by the ASM driver,
# else by ld itself. A source whose language the project has not enabled
# is an error here, not a program that CMake quietly builds without it.

# The run-time's modules in link order, each calling only modules before
# it and needing all of them: integer needs startup, decimal both. The
# build, the installed package and bareio_add_program take the list from
# here.
set(BAREIO_MODULES startup integer decimal)
# Modules a program links only when it names them, each needing no other:
# debug, the register dump.
set(BAREIO_OPTIONAL_MODULES debug)

# What C and C++ code that includes bareio.h is compiled with (the targets
# bareio::headers give it): no red zone, so that the status functions'
# inline calls of the routines can push their return address safely, and
# the macro that tells bareio.h so.
set(BAREIO_HEADER_OPTIONS $<$<COMPILE_LANGUAGE:C,CXX>:-mno-red-zone>)
set(BAREIO_HEADER_DEFINITIONS $<$<COMPILE_LANGUAGE:C,CXX>:BAREIO_NO_RED_ZONE>)

# Source extensions and the language each one needs.
set(_bareio_source_languages
  .asm ASM_NASM  .nasm ASM_NASM  .S ASM  .s ASM  .sx ASM
  .c C  .cc CXX  .cpp CXX  .cxx CXX  .C CXX)

function(bareio_add_program name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ENTRY" "MODULES")
  if(NOT arg_ENTRY)
    set(arg_ENTRY _start)
  endif()
  if(NOT arg_MODULES)
    set(arg_MODULES ${BAREIO_MODULES})
  endif()
  # Objects are not passed on transitively: the program gets the list up to
  # the last module it names, and the optional ones it names.
  set(count 0)
  set(optional)
  foreach(module IN LISTS arg_MODULES)
    list(FIND BAREIO_MODULES "${module}" at)
    if(module IN_LIST BAREIO_OPTIONAL_MODULES)
      list(APPEND optional ${module})
    elseif(at LESS 0)
      list(JOIN BAREIO_MODULES ", " known)
      list(JOIN BAREIO_OPTIONAL_MODULES ", " also)
      message(FATAL_ERROR "bareio_add_program(${name}): no module \"${module}\"; "
        "the modules are ${known}, ${also}")
    elseif(at GREATER_EQUAL count)
      math(EXPR count "${at} + 1")
    endif()
  endforeach()
  list(SUBLIST BAREIO_MODULES 0 ${count} objects)
  list(REMOVE_DUPLICATES optional)
  list(APPEND objects ${optional})

  get_property(enabled GLOBAL PROPERTY ENABLED_LANGUAGES)
  foreach(source IN LISTS arg_UNPARSED_ARGUMENTS)
    get_filename_component(extension "${source}" LAST_EXT)
    list(FIND _bareio_source_languages "${extension}" at)
    if(at GREATER_EQUAL 0)
      math(EXPR at "${at} + 1")
      list(GET _bareio_source_languages ${at} language)
      if(NOT language IN_LIST enabled)
        message(FATAL_ERROR "bareio_add_program(${name}): ${source} needs the "
          "${language} language; enable it, e.g. project(<name> LANGUAGES ${language})")
      endif()
    endif()
  endforeach()

  add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
  foreach(module IN LISTS objects)
    target_link_libraries(${name} PRIVATE bareio::${module})
  endforeach()
  target_link_libraries(${name} PRIVATE bareio::headers)
  # Unwind tables, which clang leaves out of freestanding code unless asked,
  # let a debugger backtrace the program however it is optimised.
  target_compile_options(${name} PRIVATE
    $<$<COMPILE_LANGUAGE:C,CXX>:-ffreestanding -fno-stack-protector -fno-builtin -fasynchronous-unwind-tables>
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
  # CMake gives NASM no debug information in any build type (its
  # CMAKE_ASM_NASM_FLAGS_DEBUG is empty): these sources get DWARF line
  # tables where the C, C++ and GNU as ones get -g, so that a debugger
  # stops at prog.asm:LINE.
  target_compile_options(${name} PRIVATE
    "$<$<AND:$<COMPILE_LANGUAGE:ASM_NASM>,$<CONFIG:Debug,RelWithDebInfo>>:-g;-Fdwarf>")

  # CMake reads its build rules per directory when it generates the build,
  # so a rule changed here is set in the directory's scope once the
  # directory has been read (see _bareio_set_rule below).
  if("ASM_NASM" IN_LIST enabled AND NOT CMAKE_ASM_NASM_OBJECT_FORMAT STREQUAL "elf64")
    # With neither C nor C++ enabled, CMake cannot tell a 64-bit target and
    # has NASM write 32-bit objects, which do not link with the run-time.
    string(REPLACE "-f ${CMAKE_ASM_NASM_OBJECT_FORMAT} " "-f elf64 " rule
      "${CMAKE_ASM_NASM_COMPILE_OBJECT}")
    _bareio_set_rule(CMAKE_ASM_NASM_COMPILE_OBJECT "${rule}")
  endif()
  if("C" IN_LIST enabled OR "ASM" IN_LIST enabled)
    if("C" IN_LIST enabled)
      set(driver C)
    else()
      set(driver ASM)
    endif()
    set_target_properties(${name} PROPERTIES LINKER_LANGUAGE ${driver})
    target_link_options(${name} PRIVATE -nostdlib -static -Wl,--entry=${arg_ENTRY})
  elseif("ASM_NASM" IN_LIST enabled)
    # NASM cannot link, yet CMake's rule would run it as the linker.
    if(NOT CMAKE_LINKER)
      find_program(CMAKE_LINKER ld REQUIRED)
    endif()
    _bareio_set_rule(CMAKE_ASM_NASM_LINK_EXECUTABLE
      "\"${CMAKE_LINKER}\" <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
    set_target_properties(${name} PROPERTIES LINKER_LANGUAGE ASM_NASM)
    target_link_options(${name} PRIVATE -static --entry=${arg_ENTRY})
  else()
    message(FATAL_ERROR "bareio_add_program(${name}): enable C, ASM or ASM_NASM")
  endif()
endfunction()

# Sets <variable> to <rule> in the current directory's scope when the
# directory has been read. A deferred call's arguments are evaluated when
# it runs, so the rule goes in as a bracket argument, already expanded.
function(_bareio_set_rule variable rule)
  cmake_language(EVAL CODE "cmake_language(DEFER CALL set ${variable} [==[${rule}]==])")
endfunction()
