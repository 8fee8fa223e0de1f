# The Debian package (`cpack -G DEB`, scripts/package.sh): both programs, their manual pages,
# the menu entry, the icons, the metainfo and the systemd user units under /usr, with the
# copyright and changelog Debian asks for. Library dependencies are computed by
# dpkg-shlibdeps; the rest are what the program needs at run time that no library link shows.
set(debian_dir ${PROJECT_SOURCE_DIR}/cmake/debian)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/lumetta)
install(FILES ${debian_dir}/copyright DESTINATION ${doc_dir})
# A native package's changelog is changelog.gz; gzip -n as for the manual pages.
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9nc ${debian_dir}/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
  DEPENDS ${debian_dir}/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${doc_dir})

# A stripped install (the package's) also drops the compiler's .comment and .note sections,
# as Debian's own packages do.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program Tessal lumetta-server)
      execute_process(
        COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

set(CPACK_PACKAGE_NAME lumetta)
set(CPACK_PACKAGE_VENDOR "Lumetta")
set(CPACK_PACKAGE_CONTACT "Lumetta developers <lumetta@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "live gold and silver prices in a small panel that stays on top")
# Lines of at most 80 columns, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Lumetta shows the live buy and sell price of one of 17 precious-metal products
in a small panel that stays above other windows, with a rise/fall arrow, a tray
icon and a news ticker.
.
The package also carries lumetta-server, a local quote server that fetches the
market's quotes from public data feeds (Sina, Tencent, East Money, cngold,
gold-api.com), for personal reference under those feeds' own terms. A systemd
user socket starts it for each user on the panel's first connection. Its
demonstration mode serves simulated quotes instead.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds the X11 platform through a plugin, the Chinese texts need a CJK font, the
# maintainer scripts enable the user socket with deb-systemd-helper --user (1.52 and later),
# and the live server verifies its sources' certificates against the system's authorities.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-wqy-microhei | fonts-noto-cjk, init-system-helpers (>= 1.52), ca-certificates")
# Pages open in the user's browser through xdg-open, or sensible-browser without it; a Wayland
# session without XWayland needs Qt's Wayland platform; the icon theme's caches are refreshed
# by its own triggers.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, sensible-utils, qt6-wayland, hicolor-icon-theme")
# postinst enables lumetta-server.socket for every user, postrm masks it on removal and
# forgets it on purge.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${debian_dir}/postinst;${debian_dir}/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
