// The bytes exchanged with a receipt printer: the settings query, the restore
// command, the set frame built from the changed settings, and the decoding of
// the 14-byte settings reply with its serial configuration byte.
#pragma once

#include "core/port/Exchange.h"
#include "core/port/PortCommands.h"
#include "core/port/SetupFrame.h"
#include "core/receipt/ReceiptSettings.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace pemberlux {

struct PortSettings;

// The settings query: SETUP_BEGIN, 1B 33 00, SETUP_END.
inline constexpr std::array<std::uint8_t, 9> RC_FRAME_READ_SETTINGS = SetupFrame({0x1B, 0x33, 0x00});

// Restore: the printer language set to the program's (0 English, 1 Chinese)
// in a frame, then 1D 10 01, which restores the factory settings.
using ReceiptRestoreFrame = std::array<std::uint8_t, 12>;
ReceiptRestoreFrame BuildReceiptRestoreFrame(const std::string& language);

// The reply is read into a buffer of this size; a whole reply is 14 bytes.
inline constexpr std::size_t RC_REPLY_BUFFER_SIZE = 100;
inline constexpr std::size_t RC_SETTINGS_REPLY_SIZE = 14;
inline constexpr std::size_t RC_SERIAL_CONFIG_OFFSET = 2;

// ---- Set frame -------------------------------------------------------------

// The item of one setting ("1B code n" or "1B code nL nH"). Empty for a list
// without a selection or with one beyond its items, and for a distance whose
// text is no number (see IsReceiptDistanceNumber): nothing defined to send.
Bytes EncodeReceiptSettingItem(int pos, const ReceiptSettingValues& values);

// The marked distance whose text is no number, or -1. Such a frame is not
// sent: the user is asked for a number instead.
int FirstMarkedReceiptDistanceWithoutNumber(const ReceiptChangedMarks& marks, const ReceiptSettingValues& values);

// SETUP_BEGIN, the items of the marked settings in position order, SETUP_END;
// 1B 0D 53 1B 10 45 with no marks.
Bytes BuildReceiptSettingsFrame(const ReceiptChangedMarks& marks, const ReceiptSettingValues& values);

// ---- Settings reply --------------------------------------------------------

// Serial configuration byte into baud rate, flow control, parity, stop and data
// bits of `settings` (parity 1 Even, 2 Odd, 3 leaves it as it is).
void ApplyReceiptSerialConfigByte(std::uint8_t config, PortSettings& settings);
// The same from a reply; false (nothing changed) when byte 2 did not arrive.
bool ApplyReceiptSerialConfig(std::span<const std::uint8_t> reply, PortSettings& settings);

// Sets each list from its byte when the byte is one of the list's indexes, and
// each distance text from its two bytes. A field whose bytes did not all arrive
// is left as it was. Marks are not touched.
void ApplyReceiptSettingsReply(std::span<const std::uint8_t> reply, ReceiptSettingValues& values);

// Whether the bytes gathered so far are the whole reply.
bool ReceiptSettingsReplyComplete(std::span<const std::uint8_t> reply);

// How long a receipt printer has to begin its answer, and the quiet after
// which an answer it cut short is taken.
inline constexpr std::chrono::milliseconds RC_REPLY_TIMEOUT{3000};
inline constexpr std::chrono::milliseconds RC_REPLY_SILENCE{500};
// The reply rule of the settings query.
ReplyRule ReceiptReplyRule();

// ---- Exchanges -------------------------------------------------------------

// The settings query and its reply, as the page and the command line run it.
ExchangeResult QueryReceiptSettings(PrinterPort& port, const JobLimits& job,
                                    std::chrono::milliseconds timeout = RC_REPLY_TIMEOUT);
// The factory reset: the restore frame (the printer language set to
// `language`); a second later the printer is back on its factory serial line,
// and the settings are read back on it.
inline constexpr std::chrono::milliseconds RC_RESTORE_SETTLE{1000};
FactoryResetSequence ReceiptFactoryReset(const std::string& language,
                                         std::chrono::milliseconds replyTimeout = RC_REPLY_TIMEOUT);
// What a settings reply says: the serial line into `settings`, then every
// setting into `values` (ApplyReceiptSerialConfig, ApplyReceiptSettingsReply).
void DecodeReceiptSettings(std::span<const std::uint8_t> reply, PortSettings& settings, ReceiptSettingValues& values);

} // namespace pemberlux
