set(GUI_SOURCES TestItemDialog.cpp)
