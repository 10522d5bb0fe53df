# Install rules of the Linux program, laid out as Debian lays out X
# screensaver hacks, and the Debian package made from them (cpack -G DEB).
# Included after Content.cmake, whose file list it installs.

# Folders readable by every user whatever the umask of the one installing.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)

install(TARGETS lumisaver RUNTIME DESTINATION "${LUMI_HACK_DIR}")
install(TARGETS lumitool RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

# bin/lumisaver for starting it by hand: a relative link, so it holds under
# any prefix and DESTDIR.
file(RELATIVE_PATH lumi_link_target "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBEXECDIR}/xscreensaver/lumisaver")
set(lumi_link "${CMAKE_BINARY_DIR}/install-links/lumisaver")
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/install-links")
file(CREATE_LINK "${lumi_link_target}" "${lumi_link}" SYMBOLIC)
install(FILES "${lumi_link}" DESTINATION "${CMAKE_INSTALL_BINDIR}")

install(FILES ${lumi_content_files} DESTINATION "${LUMI_INSTALL_CONTENT_DIR}")
install(FILES "${CMAKE_SOURCE_DIR}/packaging/linux/lumisaver.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/xscreensaver/config")

# The man page, compressed as Debian keeps them.
set(lumi_man "${CMAKE_BINARY_DIR}/packaging/lumisaver.6")
configure_file("${CMAKE_SOURCE_DIR}/packaging/linux/lumisaver.6.in" "${lumi_man}" @ONLY)
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT "${lumi_man}.gz"
  COMMAND "${GZIP}" -9 -n -k -f "${lumi_man}"
  DEPENDS "${lumi_man}"
  VERBATIM)
add_custom_target(man_page ALL DEPENDS "${lumi_man}.gz")
install(FILES "${lumi_man}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumiscript)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D calligraphy screensaver for X")
set(CPACK_PACKAGE_DESCRIPTION "Textured 3D calligraphy models of 100 devotional entries, each shown
with an animated line of 3D text. A hack for the XScreenSaver daemon
(libexec/xscreensaver/lumisaver) that also runs on its own.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # lumiscript_<version>_amd64.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lumiscript developers <lumiscript@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
# The libraries the programs link come from dpkg-shlibdeps. Beyond them: a
# GL driver (the GL libraries are only dispatchers) and a font for the text.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, libglx-mesa0, libegl-mesa0, fontconfig, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xscreensaver")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pkexec")
include(CPack)
