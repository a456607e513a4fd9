# The Wi-Fi and Bluetooth frames, the simulated printer's modules, and the two
# dialogs against the simulated label printer.
pemberlux_test(test_wireless SOURCES wireless/TestWirelessFrames.cpp)
if(TARGET pemberlux_ui)
  pemberlux_test(test_wireless_dialogs SOURCES wireless/TestWirelessDialogs.cpp LIBS test_support_qt)
endif()
