# pemberlux-cli run as a process against the simulated printers.
if(TARGET pemberlux-cli)
  find_package(nlohmann_json 3 REQUIRED)
  pemberlux_test(test_cli SOURCES cli/TestCli.cpp cli/TestCliNetwork.cpp cli/TestCliValues.cpp cli/TestCliIo.cpp
    cli/TestCliFleet.cpp cli/TestCliHabits.cpp
    LIBS pemberlux_cli_values)
  target_compile_definitions(test_cli PRIVATE PEMBERLUX_CLI_BINARY="$<TARGET_FILE:pemberlux-cli>"
                                              PEMBERLUX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  target_link_libraries(test_cli PRIVATE nlohmann_json::nlohmann_json)
  add_dependencies(test_cli pemberlux-cli)
  # The command line links no Qt library (also checked after every link of it).
  add_test(NAME cli_links_no_qt
    COMMAND ${CMAKE_COMMAND} -DBINARY=$<TARGET_FILE:pemberlux-cli> -P ${CMAKE_SOURCE_DIR}/cli/NoQtLinked.cmake)
endif()
# The fleet tests start 60 simulated printers; fewer under the sanitizers, which slow every one of them.
if(TARGET test_cli AND PEMBERLUX_SANITIZE)
  target_compile_definitions(test_cli PRIVATE PEMBERLUX_FLEET_SIZE=24)
endif()
