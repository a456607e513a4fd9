set(GUI_SOURCES InternalSetupTR510.cpp)
