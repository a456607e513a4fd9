// Serial devices present on this machine, besides the COMn names, so a user can
// pick a USB serial adapter (/dev/ttyUSB0, /dev/ttyACM0, ...).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pemberlux {

// Paths of the ttyUSB, ttyACM, ttyAMA and rfcomm nodes under `devRoot`, in
// natural order (ttyUSB2 before ttyUSB10).
std::vector<std::string> ListSerialDevices(const std::filesystem::path& devRoot = "/dev");

} // namespace pemberlux
