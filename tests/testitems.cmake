# The test items page of the receipt printers against the simulated printer.
if(TARGET pemberlux_ui)
  pemberlux_test(test_testitems SOURCES testitems/TestTestItems.cpp LIBS test_support_qt)
endif()
