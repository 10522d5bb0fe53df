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

# The manual pages and the changelog, filled in with the version and
# compressed as Debian keeps them (-n: no name or time stamp inside).
find_program(GZIP gzip REQUIRED)
set(lumi_gzipped)
function(lumi_gzip_installed template name destination)
  set(plain "${CMAKE_BINARY_DIR}/packaging/${name}")
  configure_file("${CMAKE_SOURCE_DIR}/packaging/linux/${template}" "${plain}" @ONLY)
  add_custom_command(OUTPUT "${plain}.gz"
    COMMAND "${GZIP}" -9 -n -k -f "${plain}"
    DEPENDS "${plain}"
    VERBATIM)
  install(FILES "${plain}.gz" DESTINATION "${destination}")
  set(lumi_gzipped ${lumi_gzipped} "${plain}.gz" PARENT_SCOPE)
endfunction()
lumi_gzip_installed(lumisaver.6.in lumisaver.6 "${CMAKE_INSTALL_MANDIR}/man6")
lumi_gzip_installed(lumitool.1.in lumitool.1 "${CMAKE_INSTALL_MANDIR}/man1")
lumi_gzip_installed(changelog.in changelog "${CMAKE_INSTALL_DOCDIR}")
add_custom_target(gzipped_docs ALL DEPENDS ${lumi_gzipped})
install(FILES "${CMAKE_SOURCE_DIR}/packaging/linux/copyright" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

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
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lumiscript Developers <dev@lumiscript.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
# The libraries the programs link come from dpkg-shlibdeps. Beyond them: a
# GL driver (the GL libraries are only dispatchers) and a font for the text.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, libglx-mesa0, libegl-mesa0, fontconfig, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xscreensaver")
include(CPack)
