# What the simulated printers print: the readable log of the demo.
pemberlux_test(test_paperlog SOURCES sim/TestPaperLog.cpp)
if(TARGET pemberlux-sim)
  target_compile_definitions(test_paperlog PRIVATE PEMBERLUX_SIM_BINARY="$<TARGET_FILE:pemberlux-sim>")
  add_dependencies(test_paperlog pemberlux-sim)
endif()
