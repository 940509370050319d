# What `cmake --install` puts where, and the Debian package CPack makes of it
# (`cpack -G DEB` in a release build folder, or scripts/package). The data
# files, the desktop entry, the icons and the manual pages are installed by
# data/CMakeLists.txt.
include(GNUInstallDirs)

install(TARGETS brisamail brisa-sender brisa-relay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(_doc ${CMAKE_INSTALL_DATADIR}/doc/brisamail)
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright DESTINATION ${_doc})
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND sh -c "gzip -9n -c '${PROJECT_SOURCE_DIR}/data/debian/changelog' > '${CMAKE_BINARY_DIR}/changelog.gz'"
  DEPENDS ${PROJECT_SOURCE_DIR}/data/debian/changelog
  VERBATIM)
add_custom_target(brisa_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${_doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brisamail)
set(CPACK_PACKAGE_VENDOR "BrisaMail")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "BrisaMail developers <developers@brisamail.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "record a voice message and send it by e-mail")
set(CPACK_PACKAGE_DESCRIPTION "BrisaMail records a short voice message from the microphone, lets you pick
recipients from the address books other mail programs left on the disk and
sends the recording to a BrisaMail server, which delivers it as an e-mail
with the recording attached. It lives in the notification area and speaks
English and German; other programs can ask it over D-Bus to prepare a reply.
.
The package also holds brisa-relay, the server end, which stores the
messages it receives in a Maildir or hands them to a mail server, with a
systemd user unit to run it.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The session bus starts the program for D-Bus calls; xdg-open opens the
# help pages, the outbox folder and web addresses.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session | dbus-x11, xdg-utils")
include(CPack)
