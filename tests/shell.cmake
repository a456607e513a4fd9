pemberlux_test(test_portcommands SOURCES shell/TestPortCommands.cpp)
if(TARGET pemberlux_ui)
  pemberlux_test(test_shell
    SOURCES shell/TestPlatform.cpp shell/TestMainWindow.cpp shell/TestPagePortSet.cpp shell/TestJobs.cpp
    LIBS test_support_qt)
endif()
