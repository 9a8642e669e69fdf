# Runs the documents as a reader would, against two installs of the
# run-time: one into a prefix, and one laid out as the Debian package lays
# it out (prefix /usr, libdir lib/x86_64-linux-gnu) under a DESTDIR. In
# each document, a code block after "<!-- examples/<file> -->" must be that
# example, or a run of its whole lines; one after "<!-- save as <file> -->"
# is saved as <file>; a ```console block is run a command at a time: each
# "$ " line through sh, in a folder holding the installed examples, and
# what it writes (both streams) compared with the lines that follow it, in
# which "..." stands for any text and a line "..." for any lines. A block
# that calls nasm or gdb is skipped, saying so, where that tool is missing.
#   cmake -DSOURCE=<source tree> -DWORK=... -DDOCS="<file>;..."
#         [-DNASM=...] [-DGDB=...] -P tutorial.cmake

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/must.cmake)

# The installs, where no space in a path splits a command's $(pkg-config).
spaceless_folder(root ${WORK})
# Both built afresh, as their readers build them: the build under test may
# have another libdir and line tables (the Debian build's).
file(REMOVE_RECURSE ${root}/prefix ${root}/debian ${root}/run-prefix ${root}/run-debian)
must(${CMAKE_COMMAND} -S ${SOURCE} -B ${root}/prefix-build -DBUILD_TESTING=OFF)
must(${CMAKE_COMMAND} --build ${root}/prefix-build -j 2)
must(${CMAKE_COMMAND} --install ${root}/prefix-build --prefix ${root}/prefix --component dev)
must(${CMAKE_COMMAND} -S ${SOURCE} -B ${root}/debian-build -DBUILD_TESTING=OFF
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=lib/x86_64-linux-gnu)
must(${CMAKE_COMMAND} --build ${root}/debian-build -j 2)
set(ENV{DESTDIR} ${root}/debian)
must(${CMAKE_COMMAND} --install ${root}/debian-build --component dev)
unset(ENV{DESTDIR})

# The environment a reader has: for a prefix, what the tutorial exports;
# for the package, nothing but the sysroot that stands for /. Neither has
# the MAKEFLAGS of a make that runs the tests (dh_auto_test's).
set(env_reader --unset=MAKEFLAGS --unset=MFLAGS --unset=MAKELEVEL)
set(env_prefix ${env_reader} --unset=PKG_CONFIG_SYSROOT_DIR --unset=PKG_CONFIG_LIBDIR
  PKG_CONFIG_PATH=${root}/prefix/lib/pkgconfig CMAKE_PREFIX_PATH=${root}/prefix)
set(env_debian ${env_reader} --unset=PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR=${root}/debian
  PKG_CONFIG_LIBDIR=${root}/debian/usr/lib/x86_64-linux-gnu/pkgconfig
  CMAKE_PREFIX_PATH=${root}/debian/usr)
set(doc_prefix ${root}/prefix/share/doc/libbareio-dev)
set(doc_debian ${root}/debian/usr/share/doc/libbareio-dev)

# `pattern` = the regular expression that the shown output stands for.
# Matched against the output with a newline in front of both.
function(output_pattern shown)
  string(REGEX REPLACE "([][()^$.*+?|\\\\])" "\\\\\\1" escaped "\n${shown}")
  string(REPLACE "\n\\.\\.\\.\n" "\n.*" escaped "${escaped}")
  string(REPLACE "\\.\\.\\." ".*" escaped "${escaped}")
  set(pattern "^${escaped}$" PARENT_SCOPE)
endfunction()

# Lines are taken off a text one at a time, as CMake's lists would split
# them at the semicolons of NASM's comments: `line` is the first line of
# the variable <text>, which loses it; `more` is false once none is left.
macro(take_line text)
  string(FIND "${${text}}" "\n" at_)
  if(at_ LESS 0)
    set(more FALSE)
  else()
    set(more TRUE)
    string(SUBSTRING "${${text}}" 0 ${at_} line)
    math(EXPR at_ "${at_} + 1")
    string(SUBSTRING "${${text}}" ${at_} -1 ${text})
  endif()
endmacro()

# Runs the commands of a console block in <dir> with the environment <env>.
function(run_session block dir env where)
  string(APPEND block "$ \n")   # ends the last command
  set(command "")
  take_line(block)
  while(more)
    if(line MATCHES "^\\$ (.*)")
      set(next "${CMAKE_MATCH_1}")
      if(NOT command STREQUAL "")
        execute_process(COMMAND ${CMAKE_COMMAND} -E env ${env} sh -c "${command}"
          WORKING_DIRECTORY ${dir} OUTPUT_VARIABLE out ERROR_VARIABLE out)
        output_pattern("${shown}")
        if(NOT "\n${out}" MATCHES "${pattern}")
          message(FATAL_ERROR "${where}: $ ${command}\nwrote:\n${out}\nshown:\n${shown}")
        endif()
      endif()
      set(command "${next}")
      set(shown "")
    else()
      string(APPEND shown "${line}\n")
    endif()
    take_line(block)
  endwhile()
endfunction()

foreach(layout prefix debian)
  set(dir ${root}/run-${layout})
  file(COPY ${doc_${layout}}/examples/ DESTINATION ${dir})
  foreach(doc IN LISTS DOCS)
    file(READ ${doc} text)
    set(marker "")
    set(fence "")
    set(number 0)
    take_line(text)
    while(more)
      math(EXPR number "${number} + 1")
      if(fence STREQUAL "" AND line MATCHES "^```(.*)")
        set(fence "${CMAKE_MATCH_1}")
        set(start ${number})
        set(block "")
      elseif(NOT fence STREQUAL "" AND line STREQUAL "```")
        set(where "${doc}:${start}")
        if(marker MATCHES "^examples/(.*)")
          file(READ ${doc_${layout}}/examples/${CMAKE_MATCH_1} file)
          string(FIND "\n${file}" "\n${block}" at)
          if(at LESS 0)
            message(FATAL_ERROR "${where}: the block is not a part of ${marker}")
          endif()
        elseif(marker MATCHES "^save as (.*)")
          file(WRITE ${dir}/${CMAKE_MATCH_1} "${block}")
        elseif(fence STREQUAL "console")
          if(block MATCHES "\\$ nasm " AND NOT NASM)
            message("${where} skipped: nasm is not installed")
          elseif(block MATCHES "\\$ gdb " AND NOT GDB)
            message("${where} skipped: gdb is not installed")
          else()
            run_session("${block}" ${dir} "${env_${layout}}" "${where} (${layout})")
          endif()
        endif()
        set(fence "")
        set(marker "")
      elseif(NOT fence STREQUAL "")
        string(APPEND block "${line}\n")
      elseif(line MATCHES "^<!-- (.*) -->$")
        set(marker "${CMAKE_MATCH_1}")
      elseif(NOT line STREQUAL "")
        set(marker "")
      endif()
      take_line(text)
    endwhile()
  endforeach()
endforeach()
if(NOT root STREQUAL WORK)
  file(REMOVE_RECURSE ${root})
endif()
message(STATUS "every program and session shown runs as shown, from a prefix and from the package's layout")
