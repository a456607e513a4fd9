// The bytes exchanged with a label printer: the settings frame brackets shared
// by every printer family, the query and action frames of the label settings
// page, the write-settings frame built from the changed settings, and the
// decoding of the settings reply and the text replies.
#pragma once

#include "core/base/PortSettings.h"
#include "core/label/LabelSettings.h"
#include "core/port/Exchange.h"
#include "core/port/PortCommands.h"
#include "core/port/SetupFrame.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pemberlux {

using LabelFrame9 = std::array<std::uint8_t, 9>;

// Query and action frames: SETUP_BEGIN, one item, SETUP_END.
inline constexpr LabelFrame9 LB_FRAME_READ_SETTINGS = SetupFrame({0x1B, 0x33, 0x00});
inline constexpr LabelFrame9 LB_FRAME_RESTORE_FACTORY = SetupFrame({0x1B, 0x60, 0x01});
inline constexpr LabelFrame9 LB_FRAME_CALIBRATE = SetupFrame({0x1B, 0x3D, 0x01});
inline constexpr LabelFrame9 LB_FRAME_READ_SERIAL_NUMBER = SetupFrame({0x1B, 0x19, 0x01});
inline constexpr LabelFrame9 LB_FRAME_READ_FIRMWARE_VERSION = SetupFrame({0x1B, 0x1A, 0x01});
inline constexpr LabelFrame9 LB_FRAME_PRINT_STATISTICS = SetupFrame({0x1B, 0x18, 0x01});
// The self-test is not framed: ESC CR "L".
inline constexpr std::array<std::uint8_t, 3> LB_FRAME_SELF_TEST = {0x1B, 0x0D, 0x4C};

// The page clears a buffer of this size before each query and reads into it.
inline constexpr std::size_t LB_REPLY_BUFFER_SIZE = 1024;
// A settings reply carries what the page reads in offsets 7 to 41.
inline constexpr std::size_t LB_SETTINGS_REPLY_SIZE = 42;
inline constexpr std::size_t LB_SERIAL_CONFIG_OFFSET = 7;

// The three text queries.
enum class LabelTextQuery { SerialNumber, FirmwareVersion, Statistics };
const LabelFrame9& TextQueryFrame(LabelTextQuery query);

// ---- Write settings --------------------------------------------------------

// The item of one setting as it goes into a set frame ("1B code value" or
// "1B code low high"), taken from `values` as they are now. Empty when the list
// has no selection, or a selection beyond its items: no value is defined then,
// so nothing is sent for it. The Emulation code follows UsesFourItemEmulation.
Bytes EncodeLabelSettingItem(int pos, const LabelSettingValues& values, const PortSettings& settings);

// The write-settings frame: SETUP_BEGIN, the items of the marked settings in
// position order, SETUP_END. With no marks (or only marked lists without a
// selection) it is 1B 0D 53 1B 10 45. Building does not clear the marks.
Bytes BuildLabelSettingsFrame(const LabelChangedMarks& marks, const LabelSettingValues& values,
                              const PortSettings& settings);

// ---- Settings reply --------------------------------------------------------

// Serial line configuration byte (reply byte 7) into baud rate, parity, stop
// bits and data bits of `settings`; flow control, names and addresses stay.
// Parity 3 leaves the parity as it is.
void ApplyLabelSerialConfigByte(std::uint8_t config, PortSettings& settings);
// The same from a reply; a reply that ended before byte 7 changes nothing
// (returns false).
bool ApplyLabelSerialConfig(std::span<const std::uint8_t> reply, PortSettings& settings);

// Sets every list selection from its reply byte and the three edit texts, in
// the order of LB_SETTINGS_REPLY_ORDER. A byte taken as a signed list index
// outside the list gives no selection; with the three-item Emulation list a
// byte other than 1, 2, 3 leaves its selection as it was. Marks are not
// touched. A field whose bytes did not all arrive (a short reply) is left as
// it was: the reply is never read past its end.
void ApplyLabelSettingsReply(std::span<const std::uint8_t> reply, const PortSettings& settings,
                             LabelSettingValues& values);

// Positions in the order ApplyLabelSettingsReply sets them.
extern const std::array<LabelSettingPos, LABEL_SETTING_COUNT> LB_SETTINGS_REPLY_ORDER;

// ---- Text replies ----------------------------------------------------------

// The text of a serial-number, firmware-version or statistics reply: the bytes
// up to the first zero byte or the end of what arrived (and never more than
// LB_REPLY_BUFFER_SIZE), read in the code page of the user-interface language
// (2052: GB18030, else Windows-1252) and returned as UTF-8. Bytes that are not
// valid there become U+FFFD.
std::string DecodeLabelTextReply(std::span<const std::uint8_t> reply, int langId);

// The print-head mileage the statistics query answers as text ("1250.40 m"):
// a decimal number, optionally followed by the unit m, in metres; nothing for
// any other text.
std::optional<double> HeadMileageMetres(std::string_view text);

// Whether the bytes gathered so far are a whole reply, so a serial read need
// not wait out the line's silence: a settings reply once every offset the page
// reads has arrived, a text reply once its terminating zero byte has.
bool LabelSettingsReplyComplete(std::span<const std::uint8_t> reply);
bool LabelTextReplyComplete(std::span<const std::uint8_t> reply);

// How long a label printer has to begin an answer.
inline constexpr std::chrono::milliseconds LB_REPLY_TIMEOUT{3000};
// The reply rule of the settings query (`settings`) or of a text query.
ReplyRule LabelReplyRule(bool settings);

// ---- Exchanges -------------------------------------------------------------

// The settings query and its reply, as the page and the command line run it.
ExchangeResult QueryLabelSettings(PrinterPort& port, const JobLimits& job,
                                  std::chrono::milliseconds timeout = LB_REPLY_TIMEOUT);
// The factory reset: the restore frame; the printer's serial line becomes the
// factory line as it takes the frame; a second later the settings are read back.
inline constexpr std::chrono::milliseconds LB_RESET_SETTLE{1000};
FactoryResetSequence LabelFactoryReset(std::chrono::milliseconds replyTimeout = LB_REPLY_TIMEOUT);
// A text query (serial number, firmware version, statistics) and its reply.
ExchangeResult QueryLabelText(PrinterPort& port, LabelTextQuery query, const JobLimits& job,
                              std::chrono::milliseconds timeout = LB_REPLY_TIMEOUT);
// What a settings reply says: the serial line into `settings`, then every
// setting into `values` (ApplyLabelSerialConfig, ApplyLabelSettingsReply).
void DecodeLabelSettings(std::span<const std::uint8_t> reply, PortSettings& settings, LabelSettingValues& values);

} // namespace pemberlux
