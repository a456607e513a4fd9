set(GUI_SOURCES CommandTest.cpp UpgradeFW.cpp)
