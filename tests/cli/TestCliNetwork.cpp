// pemberlux-cli's network and wireless commands: the two discovery protocols
// on the loopback broadcast (ports the test chooses), the network frame over
// USB, and the Wi-Fi and Bluetooth modules of a simulated label printer.
#include "../network/KvTestSupport.h"
#include "CliFixture.h"
#include "KvPrinterSim.h"
#include "LabelPrinterSim.h"
#include "PrintServerSim.h"

namespace pemberlux::test {
namespace {

class CliNetworkTest : public CliTest {
protected:
    CliNetworkTest() : servers(0), kvPort(FreeUdpPort()) {
        for (int n = 0; n < 3; ++n)
            servers.Add(sim::MakePrintServer(n));
    }
    std::vector<std::string> Ports() const {
        return {"--ps-port", std::to_string(servers.Port()), "--kv-port", std::to_string(kvPort)};
    }
    CliRun Net(std::vector<std::string> args) {
        const auto ports = Ports();
        args.insert(args.end(), ports.begin(), ports.end());
        return RunCli(dir.Path(), args, {{"PEMBERLUX_BROADCAST_ADDR", "127.255.255.255"}});
    }

    sim::PrintServerSim servers;
    std::uint16_t kvPort;
};

TEST_F(CliNetworkTest, DiscoverFindsPrintServersAndKeyValuePrintersOnce) {
    sim::KvPrinterFleet printers(2, kvPort);
    ASSERT_TRUE(printers.Listening());
    const CliRun run = Net({"discover", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    const Json rows = Json::parse(run.out);
    std::map<std::string, Json> byMac;
    for (const Json& row : rows)
        EXPECT_TRUE(byMac.emplace(row["mac"].get<std::string>(), row).second) << "twice: " << row;
    EXPECT_EQ(rows.size(), 5u);
    for (int n = 0; n < 3; ++n) {
        const Json& row = byMac["02:50:53:00:00:0" + std::to_string(n)];
        EXPECT_EQ(row["protocol"], "print_server");
        EXPECT_EQ(row["ip_in_use"], "127.0.1." + std::to_string(n + 1));
        EXPECT_EQ(row["device_name"], "PS-" + std::to_string(n));
        EXPECT_EQ(row["network_firmware_version"], std::to_string(300 + n));
    }
    // The printers write their MAC as 00A0D1000001: shown in the one form all the same.
    for (std::size_t i = 0; i < 2; ++i) {
        const sim::KvPrinterConfig config = printers[i].Config();
        const Json& row = byMac["00:a0:d1:00:00:0" + std::to_string(i + 1)];
        EXPECT_EQ(row["protocol"], "key_value");
        EXPECT_EQ(row["serial_number"], config.serialNumber);
        EXPECT_EQ(row["ip_in_use"], config.ip);
        EXPECT_EQ(row["network_firmware_version"], config.firmwareVersion);
    }
}

TEST_F(CliNetworkTest, NetGetReadsEitherKindByMacOrAddress) {
    sim::KvPrinterSim printer(sim::NumberedKvPrinter(0), {}, kvPort);
    // Either protocol's device by any of the three ways of writing its MAC, or by address;
    // both give the same keys, with null where the protocol has no such field.
    const struct {
        const char* device;
        const char* mac;
    } cases[] = {
        {"127.0.1.2", "02:50:53:00:00:01"},         {"02:50:53:00:00:01", "02:50:53:00:00:01"},
        {"02-50-53-00-00-01", "02:50:53:00:00:01"}, {"025053000001", "02:50:53:00:00:01"},
        {"00:A0:D1:00:00:01", "00:a0:d1:00:00:01"}, {"00-a0-d1-00-00-01", "00:a0:d1:00:00:01"},
        {"00a0d1000001", "00:a0:d1:00:00:01"},
    };
    std::vector<std::string> keys;
    for (const auto& c : cases) {
        const CliRun run = Net({"net", "get", c.device, "--json"});
        ASSERT_EQ(run.code, 0) << c.device << ": " << run.err;
        const Json doc = Json::parse(run.out);
        EXPECT_EQ(doc["mac"], c.mac) << c.device;
        std::vector<std::string> these;
        for (const auto& item : doc.items())
            these.push_back(item.key());
        if (keys.empty()) keys = these;
        EXPECT_EQ(these, keys) << c.device;
        if (doc["protocol"] == "print_server") {
            EXPECT_EQ(doc["dhcp"], "off");
            EXPECT_EQ(doc["subnet_mask"], "255.0.0.0");
            EXPECT_EQ(doc["print_port"], 9100);
            EXPECT_EQ(doc["network_firmware_version"], "301");
            EXPECT_TRUE(doc["print_timeout"].is_null());
        } else {
            EXPECT_EQ(doc["serial_number"], printer.Config().serialNumber);
            EXPECT_EQ(doc["print_port"], printer.Config().printPort);
            EXPECT_EQ(doc["print_timeout"], printer.Config().printTimeout);
        }
    }
    EXPECT_EQ(Net({"net", "get", "00:11:22:33:44:55"}).code, 4);
    // Neither a MAC nor an address: refused before the search.
    for (const char* bad : {"00:11:22:33:44", "00:11-22:33:44:55", "0011223344GG", "printer", "127.0.1"}) {
        servers.ClearFrames();
        EXPECT_EQ(Net({"net", "get", bad}).code, 2) << bad;
        EXPECT_TRUE(servers.Frames().empty()) << bad;
    }
}

TEST_F(CliNetworkTest, NetSetWritesAndConfirmsOnBothProtocols) {
    sim::KvPrinterSim printer(sim::NumberedKvPrinter(0), {}, kvPort);
    const CliRun kv = Net({"net", "set", printer.Config().mac, "print_port=9102", "print_timeout=40"});
    EXPECT_EQ(kv.code, 0) << kv.err;
    EXPECT_EQ(printer.Config().printPort, 9102);
    EXPECT_EQ(printer.Config().printTimeout, 40);
    EXPECT_EQ(printer.SetsApplied(), 1);

    const CliRun ps = Net({"net", "set", "02:50:53:00:00:02", "ip=127.0.1.9", "print_port=9101"});
    EXPECT_EQ(ps.code, 0) << ps.err;
    const sim::VirtualPrintServer server = servers.Server(2);
    EXPECT_EQ(server.ip, (sim::Ipv4{127, 0, 1, 9}));
    EXPECT_EQ(sim::ps::GetPort(server.image), 9101);
}

TEST_F(CliNetworkTest, CtrlCEndsADiscovery) {
    const auto ports = Ports();
    std::vector<std::string> args = {"discover"};
    args.insert(args.end(), ports.begin(), ports.end());
    CliProcess cli(dir.Path(), args, {{"PEMBERLUX_BROADCAST_ADDR", "127.255.255.255"}});
    ASSERT_TRUE(servers.WaitForFrames(1, 10s)); // the search is out
    cli.Signal(SIGINT);
    const CliRun run = cli.Wait(10s);
    EXPECT_EQ(run.code, 130) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
}

TEST_F(CliNetworkTest, NetSetRefusesBadValuesBeforeSearching) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"net", "set", "127.0.1.1", "ip=127.0.1"},
          std::vector<std::string>{"net", "set", "127.0.1.1", "dhcp=maybe"},
          std::vector<std::string>{"net", "set", "127.0.1.1", "dhcp=1"},
          std::vector<std::string>{"net", "set", "127.0.1.1", "print_port=70000"},
          std::vector<std::string>{"net", "set", "127.0.1.1", "hostname=x"}}) {
        servers.ClearFrames();
        EXPECT_EQ(Net(args).code, 2) << args.back();
        EXPECT_TRUE(servers.Frames().empty()) << args.back();
    }
}

// ---- Over the printer's own interface --------------------------------------------

TEST_F(CliTest, ModuleCommandsSendTheirFrames) {
    const Bytes begin = B({0x1B, 0x0D, 0x53}), end = B({0x1B, 0x10, 0x45});
    const struct {
        std::vector<std::string> args;
        Bytes bytes;
    } cases[] = {
        {{"net", "usb-set", "ip=127.0.0.5", "subnet_mask=255.0.0.0", "gateway=127.0.0.1", "dhcp=on"},
         Cat({begin, B({0x1B, 0x3B, 0x01, 127, 0, 0, 5, 127, 0, 0, 1, 255, 0, 0, 0, 0x01}), end})},
        // The older word for the same switch.
        {{"net", "usb-set", "ip=127.0.0.5", "subnet_mask=255.0.0.0", "gateway=127.0.0.1", "dhcp=Enable"},
         Cat({begin, B({0x1B, 0x3B, 0x01, 127, 0, 0, 5, 127, 0, 0, 1, 255, 0, 0, 0, 0x01}), end})},
        {{"wifi", "reset"}, Cat({begin, B({0x1B, 0x40, 0x01}), end})},
        {{"bluetooth", "restore"}, B({0x1B, 0x0D, 0x49})},
        {{"bluetooth", "set", "Shop", "1234"},
         Cat({B({0x1B, 0x0D, 0x48}), Text("Shop"), Bytes(12, 0), Text("1234"), B({0x00, 0x10})})},
        // A name of 16 characters fills its field.
        {{"bluetooth", "set", "Office-Printer16", "0000"},
         Cat({B({0x1B, 0x0D, 0x48}), Text("Office-Printer16"), Text("0000"), B({0x00, 0x10})})},
    };
    for (const auto& c : cases) {
        sim::LabelPrinterSim printer;
        ExpectSends(printer, Transport::Usb, "LB-610", c.args, c.bytes);
    }
}

TEST_F(CliTest, WifiSetReachesTheModule) {
    sim::LabelPrinterSim printer;
    Attached link(printer, Transport::Tcp, dir.Path());
    const CliRun run =
        Cli(link, "LB-610",
            {"wifi", "set", "mode=STA", "ssid=Shop floor", "encryption=WPA2-PSK(CCMP/AES)", "key_format=ASCII",
             "key=secret123", "dhcp=Disable", "ip=127.0.0.7", "subnet_mask=255.0.0.0", "gateway=127.0.0.1"});
    ASSERT_EQ(run.code, 0) << run.err;
    ASSERT_TRUE(printer.WaitForFrames(1, 5s));
    const sim::WifiModuleState wifi = printer.Wifi();
    EXPECT_EQ(wifi.mode, 0x00); // STA
    EXPECT_EQ(wifi.ssid, Text("Shop floor"));
    EXPECT_EQ(wifi.encryption, 6);
    EXPECT_EQ(wifi.key, Text("secret123"));
    EXPECT_EQ(wifi.dhcp, 0x01); // off
    EXPECT_EQ(wifi.ip, (std::array<std::uint8_t, 4>{127, 0, 0, 7}));
}

// dhcp takes on and off, as net set does, and the older Enable and Disable.
TEST_F(CliTest, WifiDhcpTakesTheWordsOfEveryCommand) {
    const struct {
        const char* word;
        int byte; // the module's DHCP byte: 0x00 on, 0x01 off
    } cases[] = {{"on", 0x00}, {"OFF", 0x01}, {"Enable", 0x00}, {"disable", 0x01}};
    for (const auto& c : cases) {
        sim::LabelPrinterSim printer;
        Attached link(printer, Transport::Tcp, dir.Path());
        const CliRun run = Cli(link, "LB-610", {"wifi", "set", "ssid=x", std::string("dhcp=") + c.word});
        ASSERT_EQ(run.code, 0) << c.word << ": " << run.err;
        ASSERT_TRUE(printer.WaitForFrames(1, 5s));
        EXPECT_EQ(printer.Wifi().dhcp, c.byte) << c.word;
    }
}

TEST_F(CliTest, WifiSetWithoutEncryptionSendsNoKey) {
    sim::LabelPrinterSim printer;
    Attached link(printer, Transport::Tcp, dir.Path());
    const CliRun run = Cli(link, "LB-610", {"wifi", "set", "ssid=Second", "key=abc"});
    ASSERT_EQ(run.code, 0) << run.err;
    ASSERT_TRUE(printer.WaitForFrames(1, 5s));
    EXPECT_EQ(printer.Counters().wifiSets, 1u); // the module took the frame
    const sim::WifiModuleState wifi = printer.Wifi();
    EXPECT_EQ(wifi.ssid, Text("Second"));
    EXPECT_EQ(wifi.encryption, 0);
    EXPECT_TRUE(wifi.key.empty());
}

TEST_F(CliTest, BluetoothGetShowsTheModule) {
    sim::LabelPrinterSim printer;
    sim::BluetoothModuleState state = printer.Bluetooth();
    state.name = "Counter 2";
    state.password = "4321";
    state.mac = {0x00, 0x1B, 0x35, 0x0A, 0xFF, 0x12};
    printer.SetBluetooth(state);
    Attached link(printer, Transport::Serial, dir.Path());
    const CliRun run = Cli(link, "LB-610", {"bluetooth", "get", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Json::parse(run.out), Json::parse(R"({"mac":"00:1b:35:0a:ff:12","name":"Counter 2","password":"4321"})"));
}

TEST_F(CliTest, BadModuleInputIsRefusedBeforeAnythingIsSent) {
    const struct {
        std::string model;
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {"LB-610", {"wifi", "set", "mode=AP"}, "needs ssid"},
        {"LB-610", {"wifi", "set", "ssid=Café"}, "only ASCII"},
        {"LB-610", {"wifi", "set", "ssid=x", "encryption=WEP64", "key=abc"}, "correct format"},
        {"LB-610", {"wifi", "set", "ssid=x", "encryption=WEP64", "key_format=HEX", "key=1122003344"}, "correct format"},
        {"LB-610", {"wifi", "set", "ssid=x", "mode=mesh"}, "'mesh' is not one of: AP, STA"},
        {"LB-610", {"wifi", "set", "ssid=x", "dhcp=yes"}, "dhcp: 'yes' is not one of: on, off"},
        {"LB-610", {"bluetooth", "set", "A name far too long", "1234"}, "valid Bluetooth name"},
        {"LB-610", {"bluetooth", "set", "Shop", "12345"}, "valid password"},
        {"TR-510", {"bluetooth", "restore"}, "has no Bluetooth module"},
        {"LB-610", {"net", "usb-set", "ip=127.0.0.5"}, "needs ip, subnet_mask and gateway"},
    };
    for (const auto& c : cases) {
        sim::LabelPrinterSim printer;
        Attached link(printer, Transport::Tcp, dir.Path());
        const CliRun run = Cli(link, c.model, c.args);
        EXPECT_EQ(run.code, 2) << c.args.back();
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(printer.Chunks(), 0u) << c.args.back();
    }
}

} // namespace
} // namespace pemberlux::test
