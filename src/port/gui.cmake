set(GUI_SOURCES PagePortSet.cpp PortSetParallel.cpp PortSetSerial.cpp PortSetUSB.cpp)
