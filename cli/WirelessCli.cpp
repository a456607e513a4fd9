#include "Cli.h"

#include "core/base/MacAddress.h"
#include "core/base/UiText.h"
#include "core/port/PortCommands.h"
#include "core/wireless/BluetoothFrames.h"
#include "core/wireless/WifiFrames.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <span>
#include <string_view>

namespace pemberlux::cli {

namespace {

// The Wi-Fi dialog, whose template holds the messages it shares with the command line.
constexpr int WIFI_DIALOG = 217;

void RequireModule(const Context& ctx, bool wifi) {
    const PrinterModel* model = ctx.ModelOrNull();
    if (model && !(wifi ? model->wifiSetup : model->bluetooth))
        Usage(wifi ? "%1 has no Wi-Fi module" : "%1 has no Bluetooth module", {ModelName(*model, LANG_ENGLISH)});
}

std::vector<std::string> Words(std::span<const std::string_view> words) {
    return {words.begin(), words.end()};
}

// "AP|STA".
std::string JoinWords(std::span<const std::string_view> words) {
    std::string joined;
    for (std::string_view word : words)
        joined.append(joined.empty() ? "" : "|").append(word);
    return joined;
}

int ListValue(const std::string& key, const std::string& value, std::span<const std::string_view> words) {
    const auto items = Words(words);
    const auto index = FindItem(items, value);
    if (!index) Usage("%1: '%2' is not one of: %3", {key, value, JoinItems(items)});
    return *index;
}

Ipv4 Address(const std::string& key, const std::string& value) {
    const auto address = ParseIpv4(value);
    if (!address) Usage("%1: '%2' is not a dotted IPv4 address", {key, value});
    return *address;
}

WifiSettings WifiFrom(const Context& ctx, const std::vector<std::string>& args) {
    WifiSettings s;
    bool ssid = false;
    for (const auto& [key, value] : ParseAssignments(args)) {
        if (key == "mode") {
            s.mode = ListValue(key, value, WIFI_MODE_WORDS);
        } else if (key == "ssid") {
            if (value.empty() || !IsAsciiText(value)) Usage(TemplateText(WIFI_DIALOG, "message.SsidNotAscii"));
            s.ssid = value;
            ssid = true;
        } else if (key == "encryption") {
            s.encryption = ListValue(key, value, WIFI_ENCRYPTION_WORDS);
        } else if (key == "key_format") {
            s.keyFormat = ListValue(key, value, WIFI_KEY_FORMAT_WORDS);
        } else if (key == "key") {
            s.key = value;
        } else if (key == "dhcp") {
            const auto on = ParseDhcp(value);
            if (!on) Usage("%1: '%2' is not one of: %3", {"dhcp", value, DHCP_WORDS});
            s.dhcp = *on ? WIFI_DHCP_ENABLE : WIFI_DHCP_DISABLE;
        } else if (key == "ip") {
            s.ip = Address(key, value);
        } else if (key == "subnet_mask") {
            s.mask = Address(key, value);
        } else if (key == "gateway") {
            s.gateway = Address(key, value);
        } else {
            UnknownSetting(key,
                           {"mode", "ssid", "encryption", "key_format", "key", "dhcp", "ip", "subnet_mask", "gateway"});
        }
    }
    if (!ssid) Usage("wifi set needs ssid=NAME");
    if (!IsAsciiText(s.key) ||
        (s.encryption != WIFI_ENCRYPTION_NONE && !WifiKeyValid(s.encryption, s.keyFormat, s.key)))
        Usage(ctx.Text(StringId::WifiKeyInvalid));
    return s;
}

} // namespace

void AddWirelessCommands(CLI::App& app, Context&, Action& action) {
    CLI::App* wifi = app.add_subcommand("wifi", "the label printers' Wi-Fi module");
    wifi->require_subcommand(1);
    auto args = std::make_shared<std::vector<std::string>>();
    auto set = wifi->add_subcommand("set", "mode=" + JoinWords(WIFI_MODE_WORDS) + " ssid=NAME encryption=" +
                                               JoinWords(std::span(WIFI_ENCRYPTION_WORDS).first(2)) +
                                               "|... key_format=" + JoinWords(WIFI_KEY_FORMAT_WORDS) +
                                               " key=KEY dhcp=on|off ip=A.B.C.D subnet_mask=A.B.C.D gateway=A.B.C.D");
    CompletionWords keys;
    keys.keys = {{"mode", Words(WIFI_MODE_WORDS)},
                 {"ssid", {}},
                 {"encryption", Words(WIFI_ENCRYPTION_WORDS)},
                 {"key_format", Words(WIFI_KEY_FORMAT_WORDS)},
                 {"key", {}},
                 {"dhcp", {"on", "off"}},
                 {"ip", {}},
                 {"subnet_mask", {}},
                 {"gateway", {}}};
    SetCompletion(set->add_option("assignments", *args, "KEY=VALUE")->required(), std::move(keys));
    set->callback([&action, args] {
        action = [args](Context& c) {
            RequireModule(c, true);
            const WifiSettings s = WifiFrom(c, *args);
            c.Write(BuildWifiSettingsFrame(s));
            c.Print({{"wifi",
                      {{"mode", std::string(WIFI_MODE_WORDS[static_cast<std::size_t>(s.mode)])},
                       {"ssid", s.ssid},
                       {"ip", FormatIpv4(s.ip)}}}});
        };
    });
    wifi->add_subcommand("reset", "reset the Wi-Fi module to its factory settings")->callback([&action] {
        action = [](Context& c) {
            RequireModule(c, true);
            c.Confirm("Reset the Wi-Fi module of the printer at %1 to its factory settings?", {c.Where()});
            c.Write(BuildWifiResetFrame());
            c.Print({{"wifi_reset", true}});
        };
    });

    CLI::App* bt = app.add_subcommand("bluetooth", "the label printers' Bluetooth module");
    bt->require_subcommand(1);
    bt->add_subcommand("get", "MAC address, name and pairing password")->callback([&action] {
        action = [](Context& c) {
            RequireModule(c, false);
            const ReplyRule rule = c.WithTimeout(BluetoothReadRule());
            const ExchangeResult result = c.Exchange(BT_FRAME_READ, &rule);
            const auto info = DecodeBluetoothAnswer(result.reply);
            // Part of an answer by the time-out.
            if (!info) throw Failure(EXIT_TIMEOUT, c.Text(StringId::CommTimeout));
            c.Print({{"mac", MacShown(info->mac)}, {"name", info->name}, {"password", info->password}});
        };
    });
    auto pair = std::make_shared<std::pair<std::string, std::string>>();
    auto btSet = bt->add_subcommand("set", "NAME PASSWORD (up to 16 characters; 4 characters)");
    SetCompletion(btSet->add_option("name", pair->first, "Bluetooth name")->required(), {});
    SetCompletion(btSet->add_option("password", pair->second, "pairing password")->required(), {});
    btSet->callback([&action, pair] {
        action = [pair](Context& c) {
            RequireModule(c, false);
            if (const auto message = CheckBluetoothInputs(pair->first, pair->second)) Usage(c.Text(*message));
            c.Write(BuildBluetoothSendFrame(pair->first, pair->second));
            c.Print({{"name", pair->first}, {"password", pair->second}});
        };
    });
    bt->add_subcommand("restore", "restore the Bluetooth module's factory settings")->callback([&action] {
        action = [](Context& c) {
            RequireModule(c, false);
            c.Confirm("Restore the factory settings of the Bluetooth module of the printer at %1?", {c.Where()});
            c.Write(BT_FRAME_RESTORE);
            c.Print({{"bluetooth_restore", true}});
        };
    });
}

} // namespace pemberlux::cli
