# Widgets outside the shell suite, offscreen: what assistive technology reads
# from the main window, and the parallel interface dialog.
if(TARGET pemberlux_ui)
  pemberlux_test(test_widgets
    SOURCES widgets/TestAccessibleValues.cpp widgets/TestPortSetParallel.cpp
    LIBS test_support_qt)
endif()
