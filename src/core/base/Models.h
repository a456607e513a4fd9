// The printer models the program knows, in the order of the model list: what
// each is called in the two languages, how it is found on USB, and which pages,
// buttons and rules it has. Windows and pages look a model up here; none of them
// recognises a model by a translated name or a list position of its own.
#pragma once

#include "core/base/StringId.h"

#include <array>
#include <string>
#include <string_view>

namespace pemberlux {

enum class ModelId { LB610, LB710, TR510, TR520, LB600 };

enum class PrinterFamily { Label, Receipt };

// The page that "Printer Setup" shows.
enum class SettingsPage { Label, Receipt };

// The network search dialog that "Setting" opens with the network interface:
// the label printers' own module (key-value protocol) or a print server.
enum class NetworkDialog { LabelModule, PrintServer };

// How the serial configuration byte carries the parity (bits 4 and 5).
enum class SerialParityBits {
    None,           // not carried: the byte says nothing about parity
    OddLowEvenHigh, // odd 0x10, even 0x20
    EvenLowOddHigh, // even 0x10, odd 0x20
};

// How the settings reply of a family's page carries the serial line in its
// configuration byte: the parity order, and whether bit 3 (Xon/Xoff) is read.
struct SerialReplyLayout {
    SerialParityBits parity;
    bool flowControl;
};
SerialReplyLayout SettingsReplyLayout(PrinterFamily family);

// The USB selection the model sets (UsbVendorId, UsbSecondId, UsbVendorOnly):
// with vendorOnly the second id is a second accepted vendor, else the product id.
struct UsbIds {
    const char* vendorId;
    const char* secondId;
    bool vendorOnly;
};

struct PrinterModel {
    ModelId id;
    int position; // in the model list of the interface page
    // String id of the name shown; the same id in both string tables, whose
    // texts may differ ("LB-610" / "Label Printer(200DPI)").
    StringId nameId;
    // Listed only while the settings language is English. A stored name of such
    // a model becomes the name of `chineseStandIn` in Chinese.
    bool englishOnly;
    ModelId chineseStandIn;
    PrinterFamily family;
    UsbIds usb;

    // Interface page: the caption of the model group (also the main window's
    // printer caption) and the prompt above the list, by string id.
    StringId groupCaptionId;
    StringId promptId;
    // Interface page buttons: "Reset Wi-Fi settings", "Wi-Fi Setup", "Bluetooth Settings".
    bool resetWifi;
    bool wifiSetup;
    bool bluetooth;
    NetworkDialog networkDialog;
    SerialParityBits serialParity;

    SettingsPage settingsPage;
    // "Test Items" in the menu list; the page enabled when shown.
    bool testItems;
    bool testItemsEnabled;
    // Receipt printers: the cutter setting and the cutter test buttons.
    bool cutter;
    // Label page: the four-item emulation list (with "ESC/POS") under the
    // Chinese name in the Chinese interface.
    bool escPosInChinese;

    // Firmware page: "Download Mode" shown, transfers over the network too, and
    // "Update" stays off after a failed transfer.
    bool downloadMode;
    StringId firmwareFilterId; // file dialog filter, by string id
    StringId firmwareNoteId;   // instruction text, by string id
};

extern const std::array<PrinterModel, 5> MODELS;

// The model at `position` of the model list; null outside it (no selection is -1).
const PrinterModel* ModelAt(int position);
const PrinterModel& ModelById(ModelId id);
// The model whose name in either language is `name`, compared exactly; null
// when none is (a stored name from another program, an empty list).
const PrinterModel* ModelByName(std::string_view name);
// Only the name in `langId` (2052 Chinese, any other English) counts.
const PrinterModel* ModelByName(std::string_view name, int langId);

// The name shown in `langId`, or in the calling thread's language.
std::string ModelName(const PrinterModel& model, int langId);
std::string ModelName(const PrinterModel& model);
// Whether the model list holds the model under the settings language
// ("English", "Chinese", or anything else).
bool IsListed(const PrinterModel& model, const std::string& settingsLanguage);

// A stored model name as the list of the stored language shows it: a name from
// the other language's list becomes this one's; anything else is kept.
std::string ModelNameIn(const std::string& storedName, const std::string& settingsLanguage);

} // namespace pemberlux
