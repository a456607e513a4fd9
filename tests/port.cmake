file(GLOB port_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/port/Test*.cpp)
pemberlux_test(test_port SOURCES ${port_tests})
