# Installed as a Debian desktop finds a program: the launcher `pemberlux` on the
# path (it starts the program in the user's folder), the program itself under
# libexec, the simulator, the help files, the desktop entry and the icons.
# `make package` turns the same layout into a .deb.
include(GNUInstallDirs)

set(PEMBERLUX_MAINTAINER "Pemberlux Maintainers <maintainers@pemberlux.org>"
    CACHE STRING "The package's maintainer: \"Name <address>\"")
set(PEMBERLUX_HOMEPAGE "https://pemberlux.org" CACHE STRING "The project's home page")
set(PEMBERLUX_APPSTREAM_ID "org.pemberlux.pemberlux")
set(PEMBERLUX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/pemberlux)
find_program(GZIP gzip REQUIRED)
find_program(HELP2MAN help2man)

# A file gzipped as Debian wants it: best compression, no name or time inside.
function(pemberlux_gzip input output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${GZIP} -9nc ${input} > ${output}
    DEPENDS ${input}
    VERBATIM)
endfunction()

# The manual page of `target`, from its own --help, with the sections of
# `include` (a help2man include file: FILES, SEE ALSO).
function(pemberlux_manpage target summary include)
  if(NOT HELP2MAN OR NOT TARGET ${target})
    return()
  endif()
  set(page ${CMAKE_BINARY_DIR}/man/${target}.1)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION} --name=${summary}
            --include=${include} --output=${page} $<TARGET_FILE:${target}>
    DEPENDS ${target} ${include}
    VERBATIM)
  pemberlux_gzip(${page} ${page}.gz)
  add_custom_target(${target}-man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

set(PEMBERLUX_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR}/pemberlux)
set(PEMBERLUX_HELP_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/pemberlux/help)

if(TARGET pemberlux-sim)
  install(TARGETS pemberlux-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  pemberlux_manpage(pemberlux-sim "a simulated Tavrel label or receipt printer"
                    ${CMAKE_SOURCE_DIR}/res/install/pemberlux-sim.h2m)
endif()
pemberlux_manpage(pemberlux "set up Tavrel label and receipt printers" ${CMAKE_SOURCE_DIR}/res/install/pemberlux.h2m)

if(TARGET pemberlux)
  install(TARGETS pemberlux RUNTIME DESTINATION ${PEMBERLUX_PROGRAM_DIR})

  # The launcher finds the program and the help files relative to itself, so the
  # installation works under any prefix (and under DESTDIR).
  file(RELATIVE_PATH BIN_TO_PROGRAM /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${PEMBERLUX_PROGRAM_DIR}/pemberlux)
  # The program finds the installed help files relative to itself.
  file(RELATIVE_PATH PROGRAM_TO_HELP /prefix/${PEMBERLUX_PROGRAM_DIR} /prefix/${PEMBERLUX_HELP_INSTALL_DIR})
  target_compile_definitions(pemberlux_ui PRIVATE PEMBERLUX_HELP_FROM_PROGRAM="${PROGRAM_TO_HELP}")
  configure_file(${CMAKE_SOURCE_DIR}/res/install/pemberlux.in ${CMAKE_BINARY_DIR}/install/pemberlux @ONLY)
  install(PROGRAMS ${CMAKE_BINARY_DIR}/install/pemberlux DESTINATION ${CMAKE_INSTALL_BINDIR})

  install(FILES ${CMAKE_SOURCE_DIR}/res/install/pemberlux.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(DIRECTORY ${PEMBERLUX_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  install(FILES ${CMAKE_SOURCE_DIR}/res/images/pemberlux.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  configure_file(${CMAKE_SOURCE_DIR}/res/install/pemberlux.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/install/${PEMBERLUX_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/install/${PEMBERLUX_APPSTREAM_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(DIRECTORY ${PEMBERLUX_HELP_DIR}/ DESTINATION ${PEMBERLUX_HELP_INSTALL_DIR} FILES_MATCHING PATTERN "*.pdf")
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${PEMBERLUX_DOC_DIR})

# The logged-in user may open the printers' USB devices.
install(FILES ${CMAKE_SOURCE_DIR}/res/install/70-pemberlux.rules DESTINATION lib/udev/rules.d)

# Debian's documentation files: the copyright and the changelog (gzipped).
configure_file(${CMAKE_SOURCE_DIR}/res/install/copyright ${CMAKE_BINARY_DIR}/install/copyright @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/res/install/changelog.in ${CMAKE_BINARY_DIR}/install/changelog @ONLY)
pemberlux_gzip(${CMAKE_BINARY_DIR}/install/changelog ${CMAKE_BINARY_DIR}/install/changelog.gz)
add_custom_target(pemberlux_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/install/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/install/copyright ${CMAKE_BINARY_DIR}/install/changelog.gz
        DESTINATION ${PEMBERLUX_DOC_DIR})

# The .deb: its dependencies are the Debian packages of the libraries the
# programs link (dpkg-shlibdeps reads them from the binaries).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pemberlux)
set(CPACK_PACKAGE_VENDOR Tavrel)
set(CPACK_PACKAGE_CONTACT "${PEMBERLUX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PEMBERLUX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PEMBERLUX_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration utility for Tavrel label and receipt printers")
# Lines of at most 80 characters: the control file keeps them as they are.
set(CPACK_PACKAGE_DESCRIPTION
    "Picks the printer model and the interface (serial, parallel, USB printer
class, network), reads and changes the printer's settings, runs tests, sends
data and firmware, and finds and configures network printers, in English or
Simplified Chinese. Includes pemberlux-cli, the same from a terminal, and
pemberlux-sim, a simulated printer to try it without hardware.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries come from dpkg-shlibdeps; Qt's platform plugins are loaded at
# run time, so no library names them, and without them no window opens.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The Chinese interface: its glyphs, and Qt's own texts (standard buttons, file dialogs).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n, xdg-utils, evince | okular | qpdfview | mupdf | pdf-viewer")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
