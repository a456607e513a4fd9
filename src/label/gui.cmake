set(GUI_SOURCES PrintingSetupLB610_1.cpp)
