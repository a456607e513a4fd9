# The jobs through the core and the command line against printers in chaos mode.
if(TARGET pemberlux-cli)
  find_package(nlohmann_json 3 REQUIRED)
  pemberlux_test(test_chaos SOURCES chaos/TestChaos.cpp)
  target_compile_definitions(test_chaos PRIVATE PEMBERLUX_CLI_BINARY="$<TARGET_FILE:pemberlux-cli>")
  target_link_libraries(test_chaos PRIVATE nlohmann_json::nlohmann_json)
  add_dependencies(test_chaos pemberlux-cli)
endif()
# The program's window against printers in chaos mode, and the long run's
# descriptors and threads.
if(TARGET pemberlux_ui)
  find_package(nlohmann_json 3 REQUIRED)
  pemberlux_test(test_window_soak SOURCES chaos/TestWindowSoak.cpp LIBS test_support_qt nlohmann_json::nlohmann_json)
endif()
