#include "core/receipt/ReceiptCommands.h"

#include "core/base/PortSettings.h"
#include "core/port/PortCommands.h"

namespace pemberlux {

ReceiptRestoreFrame BuildReceiptRestoreFrame(const std::string& language) {
    const std::uint8_t n = language == "Chinese" ? 1 : 0;
    return JoinBytes(SetupFrame({0x1B, 0x16, n}), std::array<std::uint8_t, 3>{0x1D, 0x10, 0x01});
}

Bytes EncodeReceiptSettingItem(int pos, const ReceiptSettingValues& values) {
    if (pos < 0 || pos >= RECEIPT_SETTING_COUNT) return {};
    const auto index = static_cast<std::size_t>(pos);
    const SettingEntry& entry = RECEIPT_SETTINGS[index];
    if (entry.IsList()) {
        const int selection = values.selection[index];
        if (selection < 0 || selection >= static_cast<int>(entry.words.size())) return {};
        return {0x1B, entry.setCode, static_cast<std::uint8_t>(entry.firstCode + selection)};
    }
    if (!IsReceiptDistanceNumber(values.text[index])) return {};
    const auto units = static_cast<std::uint16_t>(ReceiptMillimetresToUnits(values.text[index]));
    return {0x1B, entry.setCode, static_cast<std::uint8_t>(units & 0xFF), static_cast<std::uint8_t>(units >> 8)};
}

int FirstMarkedReceiptDistanceWithoutNumber(const ReceiptChangedMarks& marks, const ReceiptSettingValues& values) {
    for (const SettingEntry& entry : RECEIPT_SETTINGS) {
        const auto index = static_cast<std::size_t>(entry.pos);
        if (!entry.IsList() && marks.test(index) && !IsReceiptDistanceNumber(values.text[index])) return entry.pos;
    }
    return -1;
}

Bytes BuildReceiptSettingsFrame(const ReceiptChangedMarks& marks, const ReceiptSettingValues& values) {
    return BuildSetFrame(marks, [&values](int pos) { return EncodeReceiptSettingItem(pos, values); });
}

void ApplyReceiptSerialConfigByte(std::uint8_t config, PortSettings& settings) {
    DecodeSerialConfig(config, SettingsReplyLayout(PrinterFamily::Receipt), settings);
}

bool ApplyReceiptSerialConfig(std::span<const std::uint8_t> reply, PortSettings& settings) {
    if (reply.size() <= RC_SERIAL_CONFIG_OFFSET) return false;
    ApplyReceiptSerialConfigByte(reply[RC_SERIAL_CONFIG_OFFSET], settings);
    return true;
}

void ApplyReceiptSettingsReply(std::span<const std::uint8_t> reply, ReceiptSettingValues& values) {
    for (const SettingEntry& entry : RECEIPT_SETTINGS) {
        const auto index = static_cast<std::size_t>(entry.pos);
        const std::size_t at = entry.replyOffset;
        if (at + entry.replyWidth > reply.size()) continue;
        if (entry.IsList()) {
            const int item = reply[at] - entry.firstCode;
            if (item >= 0 && item < static_cast<int>(entry.words.size())) values.selection[index] = item;
        } else {
            const auto raw = static_cast<std::uint16_t>(reply[at] | (reply[at + 1] << 8));
            values.text[index] = ReceiptUnitsToMillimetresText(static_cast<std::int16_t>(raw));
        }
    }
}

bool ReceiptSettingsReplyComplete(std::span<const std::uint8_t> reply) {
    return reply.size() >= RC_SETTINGS_REPLY_SIZE;
}

ReplyRule ReceiptReplyRule() {
    ReplyRule rule;
    rule.maxBytes = RC_REPLY_BUFFER_SIZE;
    rule.timeout = RC_REPLY_TIMEOUT;
    rule.silence = RC_REPLY_SILENCE;
    rule.complete = [](const std::uint8_t* data, std::size_t size) {
        return ReceiptSettingsReplyComplete(std::span<const std::uint8_t>(data, size));
    };
    return rule;
}

ExchangeResult QueryReceiptSettings(PrinterPort& port, const JobLimits& job, std::chrono::milliseconds timeout) {
    ReplyRule rule = ReceiptReplyRule();
    rule.timeout = timeout;
    return Exchange(port, RC_FRAME_READ_SETTINGS, &rule, job);
}

FactoryResetSequence ReceiptFactoryReset(const std::string& language, std::chrono::milliseconds replyTimeout) {
    const ReceiptRestoreFrame frame = BuildReceiptRestoreFrame(language);
    return {Bytes(frame.begin(), frame.end()), false, RC_RESTORE_SETTLE,
            [replyTimeout](PrinterPort& port, const JobLimits& job) {
                return QueryReceiptSettings(port, job, replyTimeout);
            }};
}

void DecodeReceiptSettings(std::span<const std::uint8_t> reply, PortSettings& settings, ReceiptSettingValues& values) {
    ApplyReceiptSerialConfig(reply, settings);
    ApplyReceiptSettingsReply(reply, values);
}

} // namespace pemberlux
