# Receipt printers: frames, replies and distances of the core, and the
# simulated receipt printer fed literal bytes.
pemberlux_test(test_receipt SOURCES receipt/TestReceiptCommands.cpp receipt/TestReceiptPrinterSim.cpp)
