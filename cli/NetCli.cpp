#include "Commands.h"

#include "core/base/MacAddress.h"
#include "core/network/KvClient.h"
#include "core/network/NetConfig.h"
#include "core/network/PrintServerChannel.h"
#include "core/network/PrintServerWrite.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <memory>

namespace pemberlux::cli {

namespace {

using namespace std::chrono_literals;

// A device found on the network by either protocol.
struct Device {
    bool printServer = false;
    DiscoveryRecord record; // print servers
    FoundPrinter printer;   // key-value printers

    std::string Ip() const { return printServer ? record.IpText() : printer.ipInUse; }
    std::string Mac() const { return printServer ? FormatMac(record.Mac()) : MacShown(printer.mac); }
    bool HasMac(const MacBytes& mac) const { return printServer ? record.Mac() == mac : ParseMac(printer.mac) == mac; }
    Json Row() const {
        if (printServer)
            return {{"protocol", "print_server"},
                    {"mac", Mac()},
                    {"ip_in_use", record.IpText()},
                    {"device_name", record.DeviceName()},
                    {"network_firmware_version", record.FirmwareText()},
                    {"serial_number", nullptr}};
        return {{"protocol", "key_value"},
                {"mac", Mac()},
                {"ip_in_use", printer.ipInUse},
                {"device_name", printer.deviceName},
                {"network_firmware_version", printer.firmwareVersion},
                {"serial_number", printer.serialNumber}};
    }
};

struct Network {
    std::unique_ptr<PrintServerChannel> channel;
    std::unique_ptr<KvClient> kv;
};

// Both searches at once; every answering device once, in order of arrival.
std::vector<Device> Discover(const Context& ctx, Network& net, std::chrono::milliseconds limit) {
    const std::stop_token stop = ctx.Stop();
    net.channel = std::make_unique<PrintServerChannel>(static_cast<std::uint16_t>(ctx.options.psPort));
    net.kv = std::make_unique<KvClient>();
    net.kv->Open(static_cast<std::uint16_t>(ctx.options.kvPort));
    std::vector<Device> found;
    const bool ps = net.channel->Search() == PsSearchResult::Started;
    const bool kv = net.kv->StartSearch() == KvStart::Started;
    std::vector<FoundPrinter> rows;
    bool kvOver = !kv;
    auto drain = [&] {
        DiscoveryRecord record;
        while (net.channel->PopAnswer(record)) {
            const bool known = std::any_of(found.begin(), found.end(), [&](const Device& d) {
                return d.printServer && d.record.Mac() == record.Mac();
            });
            if (!known) found.push_back({true, record, {}});
        }
    };
    const auto start = JobClock::now();
    // The search's reply window, counted in whole seconds as the receiver
    // counts it; the rows are all in once it has passed, whenever the
    // receiver notices.
    const auto window = start + std::chrono::seconds(KV_REPLY_TIMEOUT_SECONDS + 1);
    net.kv->Serve(
        [&](const KvPollResult& r) {
            if (r.listChanged) rows = r.rows;
            if (r.exchangeEnded || JobClock::now() >= window) kvOver = true;
            drain();
            return kvOver && (!ps || net.channel->IsIdle());
        },
        start + limit, stop);
    drain();
    if (const KvPollResult last = net.kv->Poll(); last.listChanged) rows = last.rows;
    for (const FoundPrinter& p : rows)
        found.push_back({false, {}, p});
    if (stop.stop_requested()) Fail(EXIT_INTERRUPTED, "interrupted");
    return found;
}

// The device a command names: a MAC address in any of its forms, or an IPv4 address.
struct Target {
    std::string text;
    std::optional<MacBytes> mac;
};

Target ParseTarget(const std::string& text) {
    Target target{text, ParseMac(text)};
    if (!target.mac && (!ParseDottedIp(text) || std::count(text.begin(), text.end(), '.') != 3))
        Usage("'%1' is neither a MAC address (aa:bb:cc:dd:ee:ff, AA-BB-CC-DD-EE-FF or AABBCCDDEEFF) nor a dotted "
              "IPv4 address",
              {text});
    return target;
}

Device FindDevice(const Context& ctx, Network& net, const Target& target) {
    const std::vector<Device> devices = Discover(ctx, net, std::chrono::seconds(15));
    for (const Device& d : devices)
        if (target.mac ? d.HasMac(*target.mac) : d.Ip() == target.text) return d;
    Fail(EXIT_TIMEOUT, "no device %1 answered the search", {target.text});
}

// ---- Reading ------------------------------------------------------------------

KvConfigValues QueryKv(const Context& ctx, Network& net, const Device& d) {
    const KvQueryOutcome answer =
        net.kv->Query(d.printer.mac, d.printer.serialNumber, JobClock::now() + 15s, ctx.Stop());
    if (answer.started != KvStart::Started) throw Failure(EXIT_PRINTER, ctx.Text(StringId::NetworkSearchBusy));
    if (ctx.Stop().stop_requested()) Fail(EXIT_INTERRUPTED, "interrupted");
    if (!answer.complete) throw Failure(EXIT_TIMEOUT, ctx.Text(StringId::CommTimeout));
    return answer.values;
}

Json KvJson(const KvConfigValues& v) {
    return {{"protocol", "key_value"},
            {"mac", MacShown(v.mac)},
            {"serial_number", v.serialNumber},
            {"device_name", v.deviceName},
            {"network_firmware_version", v.firmwareVersion},
            {"ip_in_use", v.hasCurrentIp ? Json(FormatIp(v.currentIp)) : Json(nullptr)},
            {"dhcp", v.dhcp < 0 ? Json(nullptr) : Json(v.dhcp == 1 ? "on" : "off")},
            {"ip", FormatIp(v.ip)},
            {"subnet_mask", FormatIp(v.mask)},
            {"gateway", FormatIp(v.gateway)},
            {"print_port", KvFieldInt(v.printPort)},
            {"print_timeout", KvFieldInt(v.printTimeout)}};
}

void ReadPrintServer(const Context& ctx, Network& net, const Device& d) {
    // The search ends after its quiet window; Ctrl-C is heard meanwhile.
    const auto until = JobClock::now() + PS_SEARCH_LIMIT;
    while (!net.channel->IsIdle() && !ctx.Stop().stop_requested() && JobClock::now() < until)
        net.channel->WaitIdle(50ms);
    const PsReadResult rc = net.channel->ReadConfig(d.record, ctx.Stop());
    if (ctx.Stop().stop_requested()) Fail(EXIT_INTERRUPTED, "interrupted");
    if (rc == PsReadResult::NoAnswer) throw Failure(EXIT_TIMEOUT, ctx.Text(StringId::CommTimeout));
    if (rc != PsReadResult::Ok) throw Failure(EXIT_PRINTER, ctx.Text(StringId::SettingsNotRead));
}

// The same keys as KvJson; what the print servers do not have is null.
Json PsJson(const Device& d, const ConfigImage& image) {
    return {{"protocol", "print_server"},
            {"mac", FormatMac(d.record.Mac())},
            {"serial_number", nullptr},
            {"device_name", d.record.DeviceName()},
            {"network_firmware_version", d.record.FirmwareText()},
            {"ip_in_use", d.record.IpText()},
            {"dhcp", image.DhcpEnabled() ? "on" : "off"},
            {"ip", FormatIp(image.IpAddress())},
            {"subnet_mask", FormatIp(image.SubnetMask())},
            {"gateway", FormatIp(image.Gateway())},
            {"print_port", image.PrintPort()},
            {"print_timeout", nullptr}};
}

// ---- Writing ------------------------------------------------------------------

// The changes of a set, checked before anything is sent.
struct NetChanges {
    std::optional<bool> dhcp;
    std::optional<Ipv4Octets> ip, mask, gateway;
    std::optional<int> printPort, printTimeout;
};

NetChanges ParseChanges(const std::vector<std::string>& args, bool timeout) {
    std::vector<std::string> keys = {"dhcp", "ip", "subnet_mask", "gateway", "print_port"};
    if (timeout) keys.push_back("print_timeout");
    NetChanges c;
    for (const auto& assignment : ParseAssignments(args)) {
        // Named references: clang before 16 does not let the lambda below capture a structured binding.
        const std::string& key = assignment.first;
        const std::string& value = assignment.second;
        auto address = [&] {
            const auto a = ParseDottedIp(value);
            if (!a || std::count(value.begin(), value.end(), '.') != 3)
                Usage("%1: '%2' is not a dotted IPv4 address", {key, value});
            return *a;
        };
        if (key == "dhcp") {
            c.dhcp = ParseDhcp(value);
            if (!c.dhcp) Usage("%1: '%2' is not one of: %3", {key, value, DHCP_WORDS});
        } else if (key == "ip") {
            c.ip = address();
        } else if (key == "subnet_mask") {
            c.mask = address();
        } else if (key == "gateway") {
            c.gateway = address();
        } else if (key == "print_port") {
            const auto n = ParseInteger(value);
            if (!n || !IsUsablePort(static_cast<int>(*n)))
                Usage("%1: '%2' is not an integer from %3 to %4", {key, value, "1", "65535"});
            c.printPort = static_cast<int>(*n);
        } else if (key == "print_timeout" && timeout) {
            const auto n = ParseInteger(value);
            if (!n || *n < 0 || *n > 65535)
                Usage("%1: '%2' is not an integer from %3 to %4", {key, value, "0", "65535"});
            c.printTimeout = static_cast<int>(*n);
        } else {
            UnknownSetting(key, keys);
        }
    }
    if (args.empty()) Usage("nothing to set: give KEY=VALUE; keys: %1", {JoinItems(keys)});
    return c;
}

void SetKv(Context& ctx, Network& net, const Device& d, const NetChanges& c) {
    const KvConfigValues now = QueryKv(ctx, net, d);
    const KvChanges changes{c.dhcp ? std::optional<int>(*c.dhcp ? 1 : 0) : std::nullopt,
                            c.ip,
                            c.mask,
                            c.gateway,
                            c.printPort,
                            c.printTimeout};
    const KvStart started = net.kv->StartSet(d.printer.mac, d.printer.serialNumber, KvSetValuesOf(now, changes));
    if (started != KvStart::Started)
        throw Failure(EXIT_PRINTER, ctx.Text(KvStartMessage(started).value_or(StringId::NetworkSearchBusy)));
    // The confirmation asks the printer until it answers with its new settings.
    const KvSetOutcome outcome = net.kv->ConfirmServing(ctx.Stop());
    if (ctx.Stop().stop_requested()) Fail(EXIT_INTERRUPTED, "interrupted");
    if (!outcome.confirmed) throw Failure(EXIT_TIMEOUT, ctx.Text(StringId::CommTimeout));
    ctx.Print({{"protocol", "key_value"},
               {"mac", MacShown(d.printer.mac)},
               {"ip_in_use", outcome.ipInUse},
               {"print_port", outcome.monitorPort}});
}

void SetPrintServer(Context& ctx, Network& net, const Device& d, const NetChanges& c) {
    ReadPrintServer(ctx, net, d);
    const ConfigImage saved = net.channel->Image();
    ConfigImage& image = net.channel->Image();
    if (c.ip) image.SetIpAddress(*c.ip);
    if (c.mask) image.SetSubnetMask(*c.mask);
    if (c.gateway) image.SetGateway(*c.gateway);
    if (c.dhcp) image.SetDhcpFlag(*c.dhcp ? ConfigImage::DHCP_ON : ConfigImage::DHCP_OFF);
    if (c.printPort) image.SetPrintPort(static_cast<std::uint16_t>(*c.printPort));
    const bool dhcp = image.DhcpEnabled();
    const PsWriteStatus written = WriteConfiguration(*net.channel, d.record, PsWriteTiming{}, ctx.Stop()).status;
    if (written == PsWriteStatus::Stopped) Fail(EXIT_INTERRUPTED, "interrupted");
    if (written != PsWriteStatus::Done)
        throw Failure(EXIT_PRINTER,
                      ctx.Text(written == PsWriteStatus::NotRead ? StringId::SettingsNotRead : StringId::SendFailed));
    Json doc = PsJson(d, net.channel->Image());
    doc["ip_in_use"] = dhcp ? Json(nullptr) : Json(FormatIp(net.channel->Image().IpAddress()));
    if (dhcp && c.dhcp && *c.dhcp) {
        const PsDhcpOutcome found = FollowDhcp(*net.channel, d.record, saved, PsWriteTiming{}, ctx.Stop());
        if (found.stopped) Fail(EXIT_INTERRUPTED, "interrupted");
        if (found.found && !found.restoreNeeded) doc["ip_in_use"] = found.record.IpText();
        if (found.restoreNeeded) {
            ctx.Print(doc);
            Fail(EXIT_PRINTER, "no DHCP address: the old settings were written back");
        }
    }
    ctx.Print(doc);
}

void UsbSet(Context& ctx, const std::vector<std::string>& args) {
    const NetChanges c = ParseChanges(args, false);
    if (c.printPort) Usage("print_port cannot be set over USB");
    if (!c.ip || !c.mask || !c.gateway) Usage("net usb-set needs ip, subnet_mask and gateway");
    NetUsbSettings s;
    s.ip = *c.ip;
    s.mask = *c.mask;
    s.gateway = *c.gateway;
    s.dhcp = c.dhcp.value_or(false) ? 1 : 0;
    const ExchangeResult result = SendNetSettingsOverUsb(s, ctx.Settings(), ctx.Usb(), ctx.Limits());
    ctx.Check(result, PORT_USB);
    ctx.Print({{"ip", FormatIp(s.ip)},
               {"subnet_mask", FormatIp(s.mask)},
               {"gateway", FormatIp(s.gateway)},
               {"dhcp", s.dhcp ? "on" : "off"}});
}

// Failures on a found device name it: its MAC, its address and the UDP port of its protocol.
template <class Body> void AtDevice(const Context& ctx, const Device& d, Body body) {
    try {
        body();
    } catch (Failure& f) {
        if (f.where.empty())
            f.where = d.Mac() + " (" + d.Ip() + ", UDP " +
                      std::to_string(d.printServer ? ctx.options.psPort : ctx.options.kvPort) + ")";
        throw;
    }
}

// The keys of a net set, for the shell completion.
CompletionWords NetKeys(bool set) {
    CompletionWords words;
    words.keys = {{"dhcp", {"on", "off"}}, {"ip", {}}, {"subnet_mask", {}}, {"gateway", {}}};
    if (set) words.keys.insert(words.keys.end(), {{"print_port", {}}, {"print_timeout", {}}});
    return words;
}

} // namespace

std::vector<NetworkPrinter> DiscoverPrinters(const Context& ctx, std::chrono::milliseconds limit) {
    Network net;
    std::vector<NetworkPrinter> printers;
    for (const Device& d : Discover(ctx, net, limit)) {
        NetworkPrinter p;
        if (d.printServer) {
            p = {"print_server", d.Mac(), d.record.IpText(), d.record.DeviceName(), d.record.FirmwareText(), "", 9100};
            try {
                ReadPrintServer(ctx, net, d);
                p.printPort = net.channel->Image().PrintPort();
            } catch (const Failure& f) {
                if (f.code == EXIT_INTERRUPTED) throw;
            }
        } else {
            p = {"key_value",
                 d.Mac(),
                 d.printer.ipInUse,
                 d.printer.deviceName,
                 d.printer.firmwareVersion,
                 d.printer.serialNumber,
                 d.printer.printPort ? d.printer.printPort : 9100};
        }
        printers.push_back(std::move(p));
    }
    return printers;
}

void AddNetworkCommands(CLI::App& app, Context& ctx, Action& action) {
    const char* group = "Network";
    SetCompletion(app.add_option("--ps-port", ctx.options.psPort, "UDP port of the print servers (1901)")->group(group),
                  {});
    SetCompletion(
        app.add_option("--kv-port", ctx.options.kvPort, "UDP port of the key-value printers (22094)")->group(group),
        {});

    auto seconds = std::make_shared<double>(10.0);
    CLI::App* discover = app.add_subcommand("discover", "print servers and key-value printers on the network");
    SetCompletion(discover->add_option("--seconds", *seconds, "give up waiting for answers after this long")
                      ->check(CLI::PositiveNumber),
                  {});
    discover->callback([&action, seconds] {
        action = [seconds](Context& c) {
            Network net;
            const auto limit = std::chrono::milliseconds(static_cast<std::int64_t>(*seconds * 1000));
            Json rows = Json::array();
            for (const Device& d : Discover(c, net, limit))
                rows.push_back(d.Row());
            c.Print(rows);
        };
    });

    CLI::App* net = app.add_subcommand("net", "network settings of a print server or a label printer's module");
    net->require_subcommand(1);
    auto target = std::make_shared<std::string>();
    auto get = net->add_subcommand("get", "read the settings of the device with this MAC or address");
    SetCompletion(get->add_option("device", *target, "MAC address (any of aa:bb:.., AA-BB-.., AABB..) or IPv4 address")
                      ->required(),
                  {});
    get->callback([&action, target] {
        action = [target](Context& c) {
            const Target wanted = ParseTarget(*target);
            Network n;
            const Device d = FindDevice(c, n, wanted);
            AtDevice(c, d, [&] {
                if (d.printServer) {
                    ReadPrintServer(c, n, d);
                    c.Print(PsJson(d, n.channel->Image()));
                } else {
                    c.Print(KvJson(QueryKv(c, n, d)));
                }
            });
        };
    });
    auto setWords = std::make_shared<std::vector<std::string>>();
    auto set = net->add_subcommand("set", "DEVICE KEY=VALUE...: dhcp=on|off ip= subnet_mask= gateway= print_port= "
                                          "print_timeout= (key-value printers); the device may come anywhere");
    SetCompletion(set->add_option("device-and-assignments", *setWords,
                                  "the MAC address (any of aa:bb:.., AA-BB-.., AABB..) or IPv4 address of the "
                                  "device, and KEY=VALUE")
                      ->required(),
                  NetKeys(true));
    set->callback([&action, setWords] {
        action = [setWords](Context& c) {
            // The one word without "=" is the device.
            std::vector<std::string> devices, assignments;
            for (const std::string& word : *setWords)
                (word.find('=') == std::string::npos ? devices : assignments).push_back(word);
            if (devices.size() != 1) Usage("net set needs one device: its MAC address or IPv4 address");
            // Every value is checked before the search goes out.
            const Target wanted = ParseTarget(devices.front());
            ParseChanges(assignments, true);
            Network n;
            const Device d = FindDevice(c, n, wanted);
            const NetChanges changes = ParseChanges(assignments, !d.printServer);
            AtDevice(c, d, [&] {
                if (d.printServer) {
                    SetPrintServer(c, n, d, changes);
                } else {
                    SetKv(c, n, d, changes);
                }
            });
        };
    });
    auto usbArgs = std::make_shared<std::vector<std::string>>();
    auto usb = net->add_subcommand("usb-set", "ip= subnet_mask= gateway= [dhcp=on|off] to the USB printer");
    SetCompletion(usb->add_option("assignments", *usbArgs, "KEY=VALUE")->required(), NetKeys(false));
    usb->callback([&action, usbArgs] { action = [usbArgs](Context& c) { UsbSet(c, *usbArgs); }; });
}

} // namespace pemberlux::cli
