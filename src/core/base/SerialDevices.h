// Serial devices present on this machine, besides the COMn names, so a user can
// pick a USB serial adapter (/dev/ttyUSB0, /dev/ttyACM0, ...).
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace pemberlux {

// "ttyUSB10" -> ("ttyUSB", 10); a name without a trailing number gives -1.
std::pair<std::string, long> SplitDeviceName(const std::string& name);

// Paths of the ttyUSB, ttyACM, ttyAMA and rfcomm nodes under `devRoot`, in
// natural order (ttyUSB2 before ttyUSB10).
std::vector<std::string> ListSerialDevices(const std::filesystem::path& devRoot = "/dev");

} // namespace pemberlux
