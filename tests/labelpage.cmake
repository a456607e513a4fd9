if(TARGET pemberlux_ui)
  pemberlux_test(test_labelpage
    SOURCES label/TestLabelPage.cpp label/TestLabelPageWorkers.cpp
    LIBS test_support_qt)
endif()
