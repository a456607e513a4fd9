# Receipt printers: frames, replies and distances of the core.
pemberlux_test(test_receipt SOURCES receipt/TestReceiptCommands.cpp)
