#include "core/label/LabelCommands.h"

#include "core/base/CodePage.h"
#include "core/port/PortCommands.h"

#include <algorithm>
#include <charconv>

namespace pemberlux {

namespace {

std::uint8_t Low(unsigned value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}
std::uint8_t High(unsigned value) {
    return static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

} // namespace

const std::array<LabelSettingPos, LABEL_SETTING_COUNT> LB_SETTINGS_REPLY_ORDER = {
    LS_CUT_MODE,
    LS_PRINTER_LANGUAGE,
    LS_PRINT_POSITION_DETECTION,
    LS_PAPER_SENSOR_SELECTION,
    LS_TOP_FORM_SENSING,
    LS_EMULATION,
    LS_PAPER_OUT_DETECTION,
    LS_AUTO_CALIBRATE_LABEL,
    LS_PRINT_MEDIA,
    LS_PRINT_METHOD,
    LS_PAGE_MODE,
    LS_BLACK_MARK_AD_VALUE,
    LS_PRINT_SPEED,
    LS_PRINT_DENSITY,
    LS_PEELER,
    LS_PRINT_HOME_OFFSET,
    LS_CUTTING_POSITION_OFFSET,
};

const LabelFrame9& TextQueryFrame(LabelTextQuery query) {
    switch (query) {
    case LabelTextQuery::SerialNumber:
        return LB_FRAME_READ_SERIAL_NUMBER;
    case LabelTextQuery::FirmwareVersion:
        return LB_FRAME_READ_FIRMWARE_VERSION;
    case LabelTextQuery::Statistics:
        break;
    }
    return LB_FRAME_PRINT_STATISTICS;
}

Bytes EncodeLabelSettingItem(int pos, const LabelSettingValues& values, const PortSettings& settings) {
    if (pos < 0 || pos >= LABEL_SETTING_COUNT) return {};
    const auto index = static_cast<std::size_t>(pos);
    const SettingEntry& entry = LABEL_SETTINGS[index];
    Bytes item = {0x1B, entry.setCode};
    std::uint16_t value = 0;
    switch (entry.kind) {
    case SettingKind::List: {
        const auto code = LabelListCode(pos, values.selection[index], settings);
        if (!code) return {};
        item.push_back(*code);
        return item;
    }
    case SettingKind::Millimetres:
        value = static_cast<std::uint16_t>(MillimetresToDots(values.text[index]));
        break;
    case SettingKind::Integer:
        value = AdValueFromText(values.text[index]);
        break;
    }
    item.push_back(Low(value));
    item.push_back(High(value));
    return item;
}

Bytes BuildLabelSettingsFrame(const LabelChangedMarks& marks, const LabelSettingValues& values,
                              const PortSettings& settings) {
    return BuildSetFrame(marks, [&](int pos) { return EncodeLabelSettingItem(pos, values, settings); });
}

void ApplyLabelSerialConfigByte(std::uint8_t config, PortSettings& settings) {
    DecodeSerialConfig(config, SettingsReplyLayout(PrinterFamily::Label), settings);
}

bool ApplyLabelSerialConfig(std::span<const std::uint8_t> reply, PortSettings& settings) {
    if (reply.size() <= LB_SERIAL_CONFIG_OFFSET) return false;
    ApplyLabelSerialConfigByte(reply[LB_SERIAL_CONFIG_OFFSET], settings);
    return true;
}

void ApplyLabelSettingsReply(std::span<const std::uint8_t> reply, const PortSettings& settings,
                             LabelSettingValues& values) {
    for (LabelSettingPos pos : LB_SETTINGS_REPLY_ORDER) {
        const auto index = static_cast<std::size_t>(pos);
        const SettingEntry& entry = LABEL_SETTINGS[index];
        if (entry.replyOffset + entry.replyWidth > reply.size()) continue;
        const std::uint8_t low = reply[entry.replyOffset];
        const auto raw =
            static_cast<std::uint16_t>(entry.replyWidth == 2 ? low | (reply[entry.replyOffset + 1] << 8) : low);
        switch (entry.kind) {
        case SettingKind::List: {
            // The byte as the list control takes it: signed.
            const int selection = LabelListSelection(pos, static_cast<std::int8_t>(low), settings);
            // The three-item Emulation list keeps its selection on a code it has no item for.
            if (selection == NO_SELECTION && pos == LS_EMULATION && !UsesFourItemEmulation(settings)) break;
            values.selection[index] = selection;
            break;
        }
        case SettingKind::Millimetres:
            values.text[index] = DotsToMillimetresText(static_cast<std::int16_t>(raw));
            break;
        case SettingKind::Integer:
            values.text[index] = AdValueText(raw);
            break;
        }
    }
}

bool LabelSettingsReplyComplete(std::span<const std::uint8_t> reply) {
    return reply.size() >= LB_SETTINGS_REPLY_SIZE;
}

bool LabelTextReplyComplete(std::span<const std::uint8_t> reply) {
    return std::find(reply.begin(), reply.end(), 0) != reply.end();
}

std::string DecodeLabelTextReply(std::span<const std::uint8_t> reply, int langId) {
    const std::size_t limit = std::min(reply.size(), LB_REPLY_BUFFER_SIZE);
    const auto zero = std::find(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(limit), 0);
    return DecodeCodePage(std::string(reply.begin(), zero), langId);
}

std::optional<double> HeadMileageMetres(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (!text.empty() && text.back() == 'm') text.remove_suffix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    // Digits with at most one decimal point, nothing else.
    const auto digits = std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const auto points = std::count(text.begin(), text.end(), '.');
    if (digits == 0 || points > 1 || static_cast<std::size_t>(digits + points) != text.size()) return std::nullopt;
    double metres = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), metres);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return metres;
}

ReplyRule LabelReplyRule(bool settings) {
    ReplyRule rule;
    rule.maxBytes = LB_REPLY_BUFFER_SIZE;
    rule.timeout = LB_REPLY_TIMEOUT;
    // A serial line knows no end of a reply but silence: say when it is whole.
    rule.complete = [settings](const std::uint8_t* data, std::size_t size) {
        const std::span<const std::uint8_t> reply(data, size);
        return settings ? LabelSettingsReplyComplete(reply) : LabelTextReplyComplete(reply);
    };
    return rule;
}

ExchangeResult QueryLabelSettings(PrinterPort& port, const JobLimits& job, std::chrono::milliseconds timeout) {
    ReplyRule rule = LabelReplyRule(true);
    rule.timeout = timeout;
    return Exchange(port, LB_FRAME_READ_SETTINGS, &rule, job);
}

FactoryResetSequence LabelFactoryReset(std::chrono::milliseconds replyTimeout) {
    return {Bytes(LB_FRAME_RESTORE_FACTORY.begin(), LB_FRAME_RESTORE_FACTORY.end()), true, LB_RESET_SETTLE,
            [replyTimeout](PrinterPort& port, const JobLimits& job) {
                return QueryLabelSettings(port, job, replyTimeout);
            }};
}

ExchangeResult QueryLabelText(PrinterPort& port, LabelTextQuery query, const JobLimits& job,
                              std::chrono::milliseconds timeout) {
    ReplyRule rule = LabelReplyRule(false);
    rule.timeout = timeout;
    return Exchange(port, TextQueryFrame(query), &rule, job);
}

void DecodeLabelSettings(std::span<const std::uint8_t> reply, PortSettings& settings, LabelSettingValues& values) {
    ApplyLabelSerialConfig(reply, settings);
    ApplyLabelSettingsReply(reply, settings, values);
}

} // namespace pemberlux
