# The documents installed beside the programs and the run-time, in the
# layout of Debian's packages: each install component has its
# share/doc/<package> with a README, the licence as the machine-readable
# debian/copyright and the changelog, debian/changelog; the run-time's also
# has the tutorial and the examples it builds. LICENSE is the licence's
# text in the tree and is not installed a second time. The Debian build
# (debian/) compresses and installs the copyright and changelog its own
# way: debian/not-installed names these copies.
#
# The calculators' README is the tree's. The run-time's is its own
# (docs/README.libbareio-dev.md.in), for a reader of the installed tree:
# like the manual pages it names the places this install put the run-time
# in (bareio_install_document, below).
#
# The places the run-time is installed in, as the documents name them: they
# are known only when the install runs (cmake --install --prefix P; /usr
# for the packages), so a document is configured with @prefix@ left in
# them and given the prefix by the install.
#
# bareio_install_places(<var> <prefix>): <var>_LIBDIR, _INCLUDEDIR and
# _MANDIR, the install's folders under <prefix>, or as they stand where
# absolute (bareio.pc's are under pkg-config's ${prefix}).
function(bareio_install_places var prefix)
  foreach(dir LIBDIR INCLUDEDIR MANDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
      set(${var}_${dir} "${CMAKE_INSTALL_${dir}}" PARENT_SCOPE)
    else()
      set(${var}_${dir} "${prefix}/${CMAKE_INSTALL_${dir}}" PARENT_SCOPE)
    endif()
  endforeach()
endfunction()
bareio_install_places(BAREIO_FULL "@prefix@")
set(BAREIO_FULL_PREFIX "@prefix@")
set(BAREIO_FULL_DEV_DOCDIR "@prefix@/${BAREIO_DEV_DOCDIR}")
set(BAREIO_FULL_CMAKE_DIR "@prefix@/${BAREIO_CMAKE_DIR}")
set(BAREIO_FULL_SRCDIR "@prefix@/src/bareio")

# bareio_install_document(<template> <configured> <destination> <component>
#                         [RENAME <name>]): installs <template> configured
# with those places and the install's prefix.
function(bareio_install_document template configured destination component)
  configure_file(${template} ${configured}.in @ONLY)
  install(CODE "
    get_filename_component(prefix \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
    configure_file(\"${configured}.in\" \"${configured}\" @ONLY)" COMPONENT ${component})
  install(FILES ${configured} DESTINATION ${destination} COMPONENT ${component} ${ARGN})
endfunction()

install(FILES README.md debian/copyright debian/changelog
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT calculators)
install(FILES docs/tutorial.md debian/copyright debian/changelog
  DESTINATION ${BAREIO_DEV_DOCDIR} COMPONENT dev)
install(DIRECTORY examples/ DESTINATION ${BAREIO_DEV_DOCDIR}/examples COMPONENT dev
  PATTERN CMakeLists.txt EXCLUDE)

bareio_install_document(${PROJECT_SOURCE_DIR}/docs/README.libbareio-dev.md.in
  ${CMAKE_CURRENT_BINARY_DIR}/README.libbareio-dev.md ${BAREIO_DEV_DOCDIR} dev RENAME README.md)
