// The settings file is whatever a user or another program left in the folder:
// read any text, save what was read, read that again. Whatever the program kept
// from the file must come back unchanged, and a second save must give the same text.
#include "core/base/SettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace pemberlux;

namespace {

void ReadSaveRead(const std::string& text) {
    PortSettings first;
    ReadSettingsText(text, first);
    const std::string saved = FormatSettings(first);
    PortSettings second;
    ReadSettingsText(saved, second);
    if (!(second == first)) __builtin_trap();
    if (FormatSettings(second) != saved) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The text as a whole file, and as the value of every key of a file laid out as the program writes it.
    ReadSaveRead(text);
    std::string file;
    for (const char* head :
         {"[PrinterModel]\r\nPrinter Model=", "\r\n[PortType]\r\nCurPortType=", "\r\n[COM]\r\nPortName=",
          "\r\nBaudrate=", "\r\nParitySetup=", "\r\nDataBit=", "\r\nStopBit=", "\r\nFlowControl=",
          "\r\n[LPT]\r\nPortName=", "\r\n[LAN]\r\nIpAddr=", "\r\nListenPort=", "\r\n[LanguageSetting]\r\nLanguage="})
        file += head + text;
    ReadSaveRead(file + "\r\n");
    return 0;
}
