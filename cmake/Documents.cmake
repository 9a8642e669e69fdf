# The documents installed beside the programs and the run-time, in the
# layout of Debian's packages: each install component has its
# share/doc/<package> with the README, the licence as the machine-readable
# debian/copyright and the changelog, debian/changelog; the run-time's also
# has the tutorial and the examples it builds. LICENSE is the licence's text in the tree and is not
# installed a second time. The Debian build (debian/) compresses and
# installs the copyright and changelog its own way: debian/not-installed
# names these copies.
install(FILES README.md debian/copyright debian/changelog
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT calculators)
install(FILES README.md docs/tutorial.md debian/copyright debian/changelog
  DESTINATION ${BAREIO_DEV_DOCDIR} COMPONENT dev)
install(DIRECTORY examples/ DESTINATION ${BAREIO_DEV_DOCDIR}/examples COMPONENT dev
  PATTERN CMakeLists.txt EXCLUDE)
