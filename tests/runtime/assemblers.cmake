# Every assembly source of the tree means the same to GNU as and to LLVM's
# integrated assembler: each is assembled by both drivers, and the two
# disassemblies must list the same instructions and relocations, addresses
# and branch offsets aside. (A symbol that one reads as an immediate and the
# other as a memory operand is exactly what this catches.)
#   cmake -DGNU=gcc -DLLVM=clang -DOBJDUMP=... -DINCLUDE=... -DWORK=...
#         -DSOURCES=<a.S;b.S...> -P assemblers.cmake

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/must.cmake)

# The disassembly of <object>, one instruction or relocation a line, with
# its address, branch targets and padding left out.
function(listing object result)
  must(${OBJDUMP} -d -r -M intel --no-show-raw-insn ${object})
  string(REPLACE ";" "," out "${out}")
  string(REPLACE "\n" ";" lines "${out}")
  set(kept)
  foreach(line IN LISTS lines)
    if(line MATCHES "file format|^Disassembly|^$|\tnop|\txchg +ax,ax")
      continue()
    endif()
    string(REGEX REPLACE "^[0-9a-f]+ <(.*)>:$" "\\1:" line "${line}")
    string(REGEX REPLACE "^[ \t]*[0-9a-f]+:[ \t]*" "" line "${line}")
    string(REGEX REPLACE " +[0-9a-f]+ <[^>]*>$" "" line "${line}")
    list(APPEND kept "${line}")
  endforeach()
  set(${result} "${kept}" PARENT_SCOPE)
endfunction()

file(MAKE_DIRECTORY ${WORK})
foreach(source IN LISTS SOURCES)
  get_filename_component(name ${source} NAME_WE)
  foreach(driver GNU LLVM)
    must(${${driver}} -c -I ${INCLUDE} -o ${WORK}/${name}.${driver}.o ${source})
    listing(${WORK}/${name}.${driver}.o by_${driver})
  endforeach()
  foreach(gnu llvm IN ZIP_LISTS by_GNU by_LLVM)
    if(NOT gnu STREQUAL llvm)
      message(FATAL_ERROR "${source}: GNU as and LLVM disagree:\n  GNU as: ${gnu}\n  LLVM:   ${llvm}")
    endif()
  endforeach()
endforeach()
message(STATUS "both assemblers read every source alike")
