# Installed as a Debian desktop finds a program: the launcher `pemberlux` on the
# path (it starts the program in the user's folder), the program itself under
# libexec, the simulator, the help files, the desktop entry and the icons.
# `make package` turns the same layout into a .deb.
include(GNUInstallDirs)

set(PEMBERLUX_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR}/pemberlux)
set(PEMBERLUX_HELP_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/pemberlux/help)

if(TARGET pemberlux-sim)
  install(TARGETS pemberlux-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(TARGET pemberlux)
  install(TARGETS pemberlux RUNTIME DESTINATION ${PEMBERLUX_PROGRAM_DIR})

  # The launcher finds the program and the help files relative to itself, so the
  # installation works under any prefix (and under DESTDIR).
  file(RELATIVE_PATH BIN_TO_PROGRAM /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${PEMBERLUX_PROGRAM_DIR}/pemberlux)
  file(RELATIVE_PATH BIN_TO_HELP /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${PEMBERLUX_HELP_INSTALL_DIR})
  configure_file(${CMAKE_SOURCE_DIR}/res/install/pemberlux.in ${CMAKE_BINARY_DIR}/install/pemberlux @ONLY)
  install(PROGRAMS ${CMAKE_BINARY_DIR}/install/pemberlux DESTINATION ${CMAKE_INSTALL_BINDIR})

  install(FILES ${CMAKE_SOURCE_DIR}/res/install/pemberlux.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(DIRECTORY ${PEMBERLUX_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  install(DIRECTORY ${PEMBERLUX_HELP_DIR}/ DESTINATION ${PEMBERLUX_HELP_INSTALL_DIR} FILES_MATCHING PATTERN "*.pdf")
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pemberlux)

# The .deb: its dependencies are the Debian packages of the libraries the
# programs link (dpkg-shlibdeps reads them from the binaries).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pemberlux)
set(CPACK_PACKAGE_VENDOR Tavrel)
set(CPACK_PACKAGE_CONTACT "Pemberlux maintainers <pemberlux@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration utility for Tavrel label and receipt printers")
set(CPACK_PACKAGE_DESCRIPTION
    "Picks the printer model and the interface (serial, parallel, USB printer class, network), \
reads and changes the printer's settings, runs tests, sends data and firmware, and finds and \
configures network printers, in English or Simplified Chinese. Includes pemberlux-sim, a \
simulated printer to try it without hardware.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-noto-cjk)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
