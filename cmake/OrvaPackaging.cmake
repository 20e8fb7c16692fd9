# What a Debian package of ORVA holds besides the three programs (installed by their own
# folders): the desktop entry, its icon, the AppStream metainfo with the screenshot, and the man
# pages. Then the CPack settings for `cpack -G DEB` (see scripts/package.sh).
include_guard(GLOBAL)

# One reverse-DNS id names the desktop entry, the icon and the metainfo, as desktop packages do.
set(ORVA_APP_ID org.orva.orva)
set(ORVA_WEB_URL "https://orva.example" CACHE STRING
    "Where the project's web pages and screenshots are published (AppStream wants web URLs)")

function(orva_install_desktop_files)
  install(FILES ${PROJECT_SOURCE_DIR}/ui/orva.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications RENAME ${ORVA_APP_ID}.desktop)
  install(FILES ${PROJECT_SOURCE_DIR}/ui/orva.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${ORVA_APP_ID}.svg)
  configure_file(${PROJECT_SOURCE_DIR}/ui/orva.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/${ORVA_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${ORVA_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The screenshot travels with the package too, beside the copy the metainfo points to.
  install(FILES ${PROJECT_SOURCE_DIR}/docs/control-window-tape.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/orva/screenshots)
  file(GLOB _man CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/*.1)
  install(FILES ${_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

function(orva_debian_package)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME orva)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_CONTACT "ORVA developers <orva@orva.example>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "controller for one video deck on a serial line, with clip logger and EDL converter")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "ORVA drives an RS-422 9-pin tape deck, a DVD recorder or a LANC deck over a serial\n\
line from a Qt control window with a live timecode, cue and clip review. A logger\n\
window saves clip lists as standard EDLs; converter windows and orva-convert turn a\n\
standard EDL into the DVD recorder's list. orva-decksim emulates a 9-pin deck on a\n\
pseudo-terminal.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # orva_<version>_<arch>.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION video)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)   # Depends: from the programs' shared libraries
  set(CPACK_STRIP_FILES ON)
  include(CPack)
endfunction()
