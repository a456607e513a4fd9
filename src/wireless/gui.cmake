set(GUI_SOURCES BluetoothSetupDlg.cpp WifiSetupDlg_LB610.cpp)
