set(GUI_SOURCES AboutDlg.cpp PemberluxApp.cpp PemberluxDlg.cpp Resources.cpp)
