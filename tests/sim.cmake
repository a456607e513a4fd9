pemberlux_test(test_sim SOURCES sim/TestTransports.cpp sim/TestChaosMode.cpp)
if(TARGET pemberlux-sim)
  target_compile_definitions(test_sim PRIVATE PEMBERLUX_SIM_BINARY="$<TARGET_FILE:pemberlux-sim>")
  add_dependencies(test_sim pemberlux-sim)
endif()

# The simulator must not build on the program's protocol code: compile a probe
# that includes some of it with the simulator's flags.
add_library(sim_protocol_probe STATIC EXCLUDE_FROM_ALL sim/SimProtocolProbe.cpp)
target_link_libraries(sim_protocol_probe PRIVATE pemberlux_options)
pemberlux_sim_guard(sim_protocol_probe)
add_test(NAME sim_rejects_protocol_headers
  COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target sim_protocol_probe)
# Passes only on the guard's own message, not on any other build failure.
set_tests_properties(sim_rejects_protocol_headers PROPERTIES
  PASS_REGULAR_EXPRESSION "the simulator must not use the program's core/network/KvProtocol.h")
