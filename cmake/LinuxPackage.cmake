# The Debian package: `ninja -C build/native package` (cpack -G DEB) makes
# build/native/vorlant_2.4_<arch>.deb with everything `cmake --install`
# installs under /usr (both programs, their manual pages, the bash
# completion, the desktop entry, the icons and the AppStream description),
# stripped, with the libraries it needs found by dpkg-shlibdeps, and the
# copyright and changelog Debian asks for.
if(WIN32 OR CMAKE_CROSSCOMPILING)
  return()
endif()
include(GNUInstallDirs)

set(doc ${CMAKE_INSTALL_DATADIR}/doc/vorlant)
set(changelog ${CMAKE_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/debian
  COMMAND sh -c "gzip -9nc '${CMAKE_SOURCE_DIR}/cmake/debian/changelog' > '${changelog}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog
  COMMENT "The package's changelog" VERBATIM)
add_custom_target(vorlant-debian-changelog ALL DEPENDS ${changelog})
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright ${changelog} DESTINATION ${doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlant)
set(CPACK_PACKAGE_VERSION ${VORLANT_RELEASE})
set(CPACK_PACKAGE_VENDOR "The Vorlant developers")
set(CPACK_PACKAGE_CONTACT "The Vorlant developers <developers@vorlant.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for the Brask telescope mount controller")
# The long description (the summary above is its first line).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Vorlant reads out and changes the settings of a Brask, a two-axis
stepper-motor controller for telescope mounts, on a serial port: gear
ratios, motor currents, guiding and tracking, the site's location; it
moves the mount by hand and saves or restores every setting as a file.
.
The package holds the window program vorlant-qt, the command-line tool
vorlantctl with its bash completion and, where it was built, the INDI
driver indi_brask, which serves the controller to INDI clients through
indiserver.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VORLANT_ABOUT_WEB_ADDRESS})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# 0755 directories and 0644 files in the control part as well.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
