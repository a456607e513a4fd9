# `cmake --install` into a temporary root: the layout, the desktop entry and the
# installed program starting offscreen; then the .deb, checked by lintian.
if(TARGET pemberlux)
  add_test(NAME install_layout COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install/TestInstall.sh ${CMAKE_BINARY_DIR}
                                       ${PEMBERLUX_HARDENED} ${PEMBERLUX_APPSTREAM_ID})
  set_tests_properties(install_layout PROPERTIES TIMEOUT 300)
endif()
