# Receipt printers: frames, replies, distances and the profile format of the core, the simulated
# receipt printer fed literal bytes, and the settings page against it over real
# transports.
pemberlux_test(test_receipt SOURCES receipt/TestReceiptCommands.cpp receipt/TestReceiptPrinterSim.cpp receipt/TestReceiptProfile.cpp
  profile/TestReceiptProfileFormat.cpp)
if(TARGET pemberlux_ui)
  pemberlux_test(test_receiptpage
    SOURCES receipt/TestReceiptPage.cpp receipt/TestReceiptPageWorkers.cpp shell/TestSettingsPageFailures.cpp
    LIBS test_support_qt)
endif()
