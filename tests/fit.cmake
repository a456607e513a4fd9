# Fit and finish: every text whole in every page and dialog, the main window's
# size and start-up, offscreen.
if(TARGET pemberlux_uiwalk)
  pemberlux_test(test_fit SOURCES fit/TestTextsFit.cpp fit/TestStartup.cpp LIBS test_support_qt pemberlux_uiwalk)
endif()
