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
# it names the places this install put the run-time in, known only when
# the install runs (cmake --install --prefix P; /usr for the package), so
# it is configured here with @prefix@ left in those places and given the
# prefix by the install, as the manual pages are (man/CMakeLists.txt).
install(FILES README.md debian/copyright debian/changelog
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT calculators)
install(FILES docs/tutorial.md debian/copyright debian/changelog
  DESTINATION ${BAREIO_DEV_DOCDIR} COMPONENT dev)
install(DIRECTORY examples/ DESTINATION ${BAREIO_DEV_DOCDIR}/examples COMPONENT dev
  PATTERN CMakeLists.txt EXCLUDE)

block()
  foreach(dir LIBDIR INCLUDEDIR MANDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
      set(BAREIO_README_${dir} "${CMAKE_INSTALL_${dir}}")
    else()
      set(BAREIO_README_${dir} "@prefix@/${CMAKE_INSTALL_${dir}}")
    endif()
  endforeach()
  set(BAREIO_README_PREFIX "@prefix@")
  set(BAREIO_README_DOCDIR "@prefix@/${BAREIO_DEV_DOCDIR}")
  set(BAREIO_README_CMAKEDIR "@prefix@/${BAREIO_CMAKE_DIR}")
  set(BAREIO_README_SRCDIR "@prefix@/src/bareio")
  set(readme ${CMAKE_CURRENT_BINARY_DIR}/README.libbareio-dev.md)
  configure_file(docs/README.libbareio-dev.md.in ${readme}.in @ONLY)
  install(CODE "
    get_filename_component(prefix \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
    configure_file(\"${readme}.in\" \"${readme}\" @ONLY)" COMPONENT dev)
  install(FILES ${readme} DESTINATION ${BAREIO_DEV_DOCDIR} RENAME README.md COMPONENT dev)
endblock()
