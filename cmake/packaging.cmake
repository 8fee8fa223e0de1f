# The Debian package (`cpack -G DEB`, scripts/package.sh): both programs, the menu entry, the
# icons and the metainfo under /usr. Library dependencies are computed by dpkg-shlibdeps; the
# rest are what the program needs at run time that no library link shows.
set(CPACK_PACKAGE_NAME lumetta)
set(CPACK_PACKAGE_VENDOR "Lumetta")
set(CPACK_PACKAGE_CONTACT "Lumetta developers <lumetta@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "live gold and silver prices in a small panel that stays on top")
set(CPACK_PACKAGE_DESCRIPTION
    "Lumetta shows the live buy and sell price of one of 17 precious-metal products in a small
panel that stays above other windows, with a rise/fall arrow, a tray icon and a news ticker.
The package also carries lumetta-server, a local quote server for trying it out.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds the X11 platform through a plugin, and the Chinese texts need a CJK font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wqy-microhei | fonts-noto-cjk")
# Pages open in the user's browser through xdg-open; the icon theme's caches are refreshed by
# its own triggers.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, hicolor-icon-theme")

include(CPack)
