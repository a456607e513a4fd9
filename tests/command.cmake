# The command test page: its core (hexadecimal text, typed text, files, the send
# jobs against the simulated printer) and the page in the program's window.
pemberlux_test(test_command SOURCES command/TestCommandCore.cpp command/TestFirmwareCore.cpp command/TestDelivery.cpp)
if(TARGET pemberlux_ui)
  pemberlux_test(test_commandpage SOURCES command/TestCommandPage.cpp LIBS test_support_qt)
endif()
if(TARGET pemberlux_ui)
  pemberlux_test(test_upgradepage SOURCES command/TestUpgradePage.cpp LIBS test_support_qt pemberlux_uiwalk)
endif()
