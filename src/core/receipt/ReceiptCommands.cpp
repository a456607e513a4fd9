#include "core/receipt/ReceiptCommands.h"

#include "core/base/PortSettings.h"
#include "core/port/PortCommands.h"

namespace pemberlux {

namespace {

const ReceiptSettingInfo& Info(int pos) {
    return RECEIPT_SETTINGS[static_cast<std::size_t>(pos)];
}

} // namespace

ReceiptRestoreFrame BuildRestoreFrame(const std::string& language) {
    const std::uint8_t n = language == "Chinese" ? 1 : 0;
    return JoinBytes(SetupFrame({0x1B, 0x16, n}), std::array<std::uint8_t, 3>{0x1D, 0x10, 0x01});
}

Bytes EncodeReceiptItem(int pos, const ReceiptSettingValues& values) {
    if (pos < 0 || pos >= RECEIPT_SETTING_COUNT) return {};
    const ReceiptSettingInfo& info = Info(pos);
    const auto index = static_cast<std::size_t>(pos);
    if (info.IsList()) {
        const int selection = values.selection[index];
        if (selection < 0 || selection >= info.listSize) return {};
        return {0x1B, info.setCode, static_cast<std::uint8_t>(selection)};
    }
    if (!IsDistanceNumber(values.text[index])) return {};
    const auto units = static_cast<std::uint16_t>(MillimetresToUnits(values.text[index]));
    return {0x1B, info.setCode, static_cast<std::uint8_t>(units & 0xFF), static_cast<std::uint8_t>(units >> 8)};
}

int FirstMarkedDistanceWithoutNumber(const ReceiptChangedMarks& marks, const ReceiptSettingValues& values) {
    for (const ReceiptSettingInfo& info : RECEIPT_SETTINGS) {
        const auto index = static_cast<std::size_t>(info.pos);
        if (!info.IsList() && marks.test(index) && !IsDistanceNumber(values.text[index])) return info.pos;
    }
    return -1;
}

Bytes BuildReceiptSettingsFrame(const ReceiptChangedMarks& marks, const ReceiptSettingValues& values) {
    Bytes items;
    for (int pos = 0; pos < RECEIPT_SETTING_COUNT; ++pos) {
        if (!marks.test(static_cast<std::size_t>(pos))) continue;
        const Bytes item = EncodeReceiptItem(pos, values);
        items.insert(items.end(), item.begin(), item.end());
    }
    return WrapSetupItems(items);
}

void ApplyReceiptSerialConfigByte(std::uint8_t config, PortSettings& settings) {
    DecodeSerialConfig(config, SettingsReplyLayout(PrinterFamily::Receipt), settings);
}

bool ApplyReceiptSerialConfig(std::span<const std::uint8_t> reply, PortSettings& settings) {
    if (reply.size() <= RC_SERIAL_CONFIG_OFFSET) return false;
    ApplyReceiptSerialConfigByte(reply[RC_SERIAL_CONFIG_OFFSET], settings);
    return true;
}

void ApplyReceiptReply(std::span<const std::uint8_t> reply, ReceiptSettingValues& values) {
    for (const ReceiptSettingInfo& info : RECEIPT_SETTINGS) {
        const auto index = static_cast<std::size_t>(info.pos);
        const std::size_t at = info.replyOffset;
        if (info.IsList()) {
            if (at >= reply.size()) continue;
            if (reply[at] < info.listSize) values.selection[index] = reply[at];
        } else {
            if (at + 1 >= reply.size()) continue;
            const auto raw = static_cast<std::uint16_t>(reply[at] | (reply[at + 1] << 8));
            values.text[index] = UnitsToMillimetresText(static_cast<std::int16_t>(raw));
        }
    }
}

bool ReceiptReplyComplete(std::span<const std::uint8_t> reply) {
    return reply.size() >= RC_SETTINGS_REPLY_SIZE;
}

ReplyRule ReceiptReplyRule() {
    ReplyRule rule;
    rule.maxBytes = RC_REPLY_BUFFER_SIZE;
    rule.timeout = RC_REPLY_TIMEOUT;
    rule.silence = RC_REPLY_SILENCE;
    rule.complete = [](const std::uint8_t* data, std::size_t size) {
        return ReceiptReplyComplete(std::span<const std::uint8_t>(data, size));
    };
    return rule;
}

ExchangeResult QueryReceiptSettings(PrinterPort& port, const JobLimits& job, std::chrono::milliseconds timeout) {
    ReplyRule rule = ReceiptReplyRule();
    rule.timeout = timeout;
    return Exchange(port, RC_FRAME_READ_SETTINGS, &rule, job);
}

FactoryResetSequence ReceiptFactoryReset(const std::string& language, std::chrono::milliseconds replyTimeout) {
    const ReceiptRestoreFrame frame = BuildRestoreFrame(language);
    return {Bytes(frame.begin(), frame.end()), false, RC_RESTORE_SETTLE,
            [replyTimeout](PrinterPort& port, const JobLimits& job) {
                return QueryReceiptSettings(port, job, replyTimeout);
            }};
}

void DecodeReceiptSettings(std::span<const std::uint8_t> reply, PortSettings& settings, ReceiptSettingValues& values) {
    ApplyReceiptSerialConfig(reply, settings);
    ApplyReceiptReply(reply, values);
}

} // namespace pemberlux
