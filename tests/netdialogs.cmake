# Network search and configuration: what the dialogs send (no widgets), the
# dialogs against simulated print servers and label printers on ports the tests
# choose, and the interface page opening them on the protocols' own ports.
pemberlux_test(test_netconfig SOURCES netdialogs/TestNetConfig.cpp)
if(TARGET pemberlux_ui)
  pemberlux_test(test_netdialogs_ps
    SOURCES netdialogs/TestPrintServerDialogs.cpp netdialogs/TestConfigDialogs.cpp
    LIBS test_support_qt)
  pemberlux_test(test_netdialogs_kv SOURCES netdialogs/TestEnternetSetting.cpp LIBS test_support_qt)
  pemberlux_test(test_netdialogs_page SOURCES netdialogs/TestNetworkSetting.cpp
    LIBS test_support_qt LOCKS udp1901 udp22094)
endif()
