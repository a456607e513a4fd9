set(GUI_SOURCES EdtCfgDlg.cpp EdtCfgDlgUSB.cpp EnternetSetting.cpp NetWidgets.cpp SearchDialog.cpp TR510EnthernetDlg.cpp)
