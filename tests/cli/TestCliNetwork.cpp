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
        EXPECT_EQ(row["ip"], "127.0.1." + std::to_string(n + 1));
        EXPECT_EQ(row["name"], "PS-" + std::to_string(n));
        EXPECT_EQ(row["firmware"], std::to_string(300 + n));
    }
    for (std::size_t i = 0; i < 2; ++i) {
        const sim::KvPrinterConfig config = printers[i].Config();
        const Json& row = byMac[config.mac];
        EXPECT_EQ(row["protocol"], "key_value");
        EXPECT_EQ(row["serial_number"], config.serialNumber);
        EXPECT_EQ(row["ip"], config.ip);
    }
}

TEST_F(CliNetworkTest, NetGetReadsEitherKindByMacOrAddress) {
    sim::KvPrinterSim printer(sim::NumberedKvPrinter(0), {}, kvPort);
    const CliRun ps = Net({"net", "get", "127.0.1.2", "--json"});
    ASSERT_EQ(ps.code, 0) << ps.err;
    const Json server = Json::parse(ps.out);
    EXPECT_EQ(server["mac"], "02:50:53:00:00:01");
    EXPECT_EQ(server["dhcp"], "off");
    EXPECT_EQ(server["subnet_mask"], "255.0.0.0");
    EXPECT_EQ(server["print_port"], 9100);

    const CliRun kv = Net({"net", "get", printer.Config().mac, "--json"});
    ASSERT_EQ(kv.code, 0) << kv.err;
    const Json module = Json::parse(kv.out);
    EXPECT_EQ(module["serial_number"], printer.Config().serialNumber);
    EXPECT_EQ(module["print_port"], printer.Config().printPort);
    EXPECT_EQ(module["print_timeout"], printer.Config().printTimeout);

    EXPECT_EQ(Net({"net", "get", "00:11:22:33:44:55"}).code, 4);
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
        {{"wifi", "reset"}, Cat({begin, B({0x1B, 0x40, 0x01}), end})},
        {{"bluetooth", "restore"}, B({0x1B, 0x0D, 0x49})},
        {{"bluetooth", "set", "Shop", "1234"},
         Cat({B({0x1B, 0x0D, 0x48}), Text("Shop"), Bytes(12, 0), Text("1234"), B({0x00, 0x10})})},
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
    EXPECT_EQ(Json::parse(run.out), Json::parse(R"({"mac":"00-1B-35-0A-FF-12","name":"Counter 2","password":"4321"})"));
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
