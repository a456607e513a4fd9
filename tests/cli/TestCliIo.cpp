// pemberlux-cli's files and hosts as other command lines take them: "-" for
// standard input and output, host names and IPv6 addresses for --tcp, and
// profile comparisons that read the same whichever file comes first.
#include "CliFixture.h"
#include "LabelPrinterSim.h"
#include "Transports.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace pemberlux::test {
namespace {

// The command line with `input` as its standard input.
CliRun RunWithInput(const TempDir& dir, const std::vector<std::string>& args, const std::string& input,
                    const std::map<std::string, std::string>& env = {}) {
    dir.Write("stdin.bin", input);
    CliStreams streams;
    streams.in = (dir / "stdin.bin").string();
    CliProcess process(dir.Path(), args, env, false, streams);
    return process.Wait();
}

std::vector<std::string> Tcp(std::uint16_t port, const std::string& host = "127.0.0.1") {
    return {"--tcp", host + ":" + std::to_string(port)};
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- Standard input and output ------------------------------------------------

TEST_F(CliTest, StandardInputStandsInForEveryFileThatIsRead) {
    const Bytes setSpeed4 = B({0x1B, 0x0D, 0x53, 0x1B, 0x30, 0x04, 0x1B, 0x10, 0x45});
    const std::string profile = R"({"model":"LB-610","family":"label","settings":{"print_speed":"4"}})";
    const struct {
        std::vector<std::string> args;
        std::string input;
        Bytes received;
    } cases[] = {
        {{"send", "--file", "-"}, "hi\n", Text("hi\n")},
        // A byte that is no text, and input longer than one read.
        {{"send", "--file", "-"}, std::string(70000, '\xFF'), Bytes(70000, 0xFF)},
        {{"profile", "apply", "-"}, profile, Cat({LABEL_QUERY, setSpeed4})},
    };
    for (const auto& c : cases) {
        sim::LabelPrinterSim printer;
        sim::TcpServer server(printer);
        const CliRun run = RunWithInput(dir, Join(Join({"--model", "LB-610"}, Tcp(server.Port())), c.args), c.input);
        ASSERT_EQ(run.code, 0) << c.args[0] << ": " << run.err;
        EXPECT_TRUE(printer.WaitForBytes(c.received.size(), 10s)) << c.args[0];
        EXPECT_TRUE(printer.Received() == c.received) << c.args[0] << ": " << printer.Received().size();
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "-"));

    // Firmware has no file name to tell its kind: --format does.
    sim::SimPrinter loader;
    Attached link(loader, Transport::Usb, dir.Path(), "3a7e", "41a2");
    const CliRun run =
        RunWithInput(dir, Join({"--model", "LB-610", "--usb", "auto"}, {"firmware", "-", "--format", "fw"}),
                     "\x01\x02"
                     "firmware",
                     link.Env());
    ASSERT_EQ(run.code, 0) << run.err;
    const Bytes image = Cat({Text("UDFW"), B({0x01, 0x02}), Text("firmware")});
    EXPECT_TRUE(loader.WaitForBytes(image.size(), 5s));
    EXPECT_EQ(loader.Received(), image);
}

TEST_F(CliTest, StandardInputThatCannotServeIsRefusedWithItsName) {
    dir.Write("a.json", R"({"family":"label","settings":{"peeler":"On"}})");
    const struct {
        std::vector<std::string> args;
        std::string input;
        int code;
        const char* says;
    } cases[] = {
        {{"send", "--file", "-"}, "", 6, "standard input: "},
        {{"profile", "apply", "-"}, "{", 6, "standard input: not a printer profile"},
        {{"profile", "diff", "-", "-"}, "{}", 2, "only one of the profiles"},
        {{"firmware", "-"}, "image", 2, "needs --format fw|cg|bin"},
        {{"firmware", "-", "--format", "exe"}, "image", 2, "--format"},
    };
    for (const auto& c : cases) {
        sim::LabelPrinterSim printer;
        sim::TcpServer server(printer);
        const CliRun run = RunWithInput(dir, Join(Join({"--model", "LB-610"}, Tcp(server.Port())), c.args), c.input);
        EXPECT_EQ(run.code, c.code) << c.args[0] << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(printer.Chunks(), 0u) << c.args[0];
    }
    // Two files, one of them standard input, compared either way round.
    const CliRun diff = RunWithInput(dir, {"profile", "diff", "a.json", "-", "--json"},
                                     R"({"family":"label","settings":{"peeler":"Off"}})");
    EXPECT_EQ(diff.code, 5) << diff.err;
    EXPECT_EQ(Parse(diff)["differences"], Json::parse(R"([{"setting":"peeler","first":"On","second":"Off"}])"));
}

TEST_F(CliTest, ProfileSavedToStandardOutputIsTheProfileAlone) {
    sim::LabelPrinterSim printer;
    printer.SetSetting(9, 2);
    Attached link(printer, Transport::Tcp, dir.Path());
    const CliRun run = Cli(link, "LB-610", {"profile", "save", "-", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    const Json profile = Parse(run);
    EXPECT_EQ(profile["model"], "LB-610");
    EXPECT_EQ(profile["settings"]["print_speed"], "2");
    EXPECT_EQ(profile["firmware_version"], printer.FirmwareVersion());
    EXPECT_FALSE(profile.contains("saved"));
    EXPECT_FALSE(std::filesystem::exists(dir / "-"));
}

// ---- Host names ------------------------------------------------------------------

// The names /etc/hosts gives 127.0.0.1.
std::vector<std::string> LoopbackNames() {
    std::vector<std::string> names;
    std::ifstream hosts("/etc/hosts");
    std::string line;
    while (std::getline(hosts, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string address, name;
        words >> address;
        while (address == "127.0.0.1" && words >> name)
            if (name.find('.') == std::string::npos && name != "STREAM" && name != "DGRAM" && name != "RAW")
                names.push_back(name);
    }
    return names;
}

// Each host reaches the simulated printer: the bytes arrive.
TEST_F(CliTest, TcpTakesHostNamesAndIpv6Addresses) {
    // Names only from the hosts file: nothing is asked of a name server.
    std::vector<std::string> hosts = LoopbackNames();
    hosts.push_back("127.0.0.1");
    for (const std::string& host : hosts) {
        sim::SimPrinter printer;
        sim::TcpServer server(printer);
        const CliRun run = RunCli(dir.Path(), Join(Tcp(server.Port(), host), {"send", "--hex", "0A"}));
        EXPECT_EQ(run.code, 0) << host << ": " << run.err;
        EXPECT_TRUE(printer.WaitForBytes(1, 5s)) << host;
        EXPECT_EQ(printer.Received(), B({0x0A})) << host;
    }
    std::unique_ptr<sim::TcpServer> v6;
    sim::SimPrinter printer;
    try {
        v6 = std::make_unique<sim::TcpServer>(printer, 0, "::1");
    } catch (const std::exception& e) {
        GTEST_SKIP() << "no IPv6 loopback here: " << e.what();
    }
    const CliRun run = RunCli(dir.Path(), {"--tcp", "[::1]:" + std::to_string(v6->Port()), "send", "--hex", "0A"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(printer.WaitForBytes(1, 5s));
    EXPECT_EQ(printer.Received(), B({0x0A}));
}

TEST_F(CliTest, AHostNameWithoutAddressIsNamedAndCannotBeOpened) {
    // The reserved top-level domain: answered at once, nobody is asked.
    for (const char* lang : {"en", "zh"}) {
        const CliRun run = RunCli(dir.Path(), {"--tcp", "printer.invalid:9100", "--lang", lang, "label", "get"});
        EXPECT_EQ(run.code, 3) << run.err;
        EXPECT_NE(run.err.find("printer.invalid"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(std::string(lang) == "en" ? "has no address" : "没有地址"), std::string::npos)
            << run.err;
    }
}

TEST_F(CliTest, BadTcpTargetsAreUsageErrors) {
    for (const char* tcp : {"[::1", "[::1]x", "[::1]:", "[printer]:9100", "::g", "bad host", "-lead.example", "a..b",
                            "printer:0", "printer:99999", "printer:", "1.2.3", "1.2.3.4.5", "0.0.0.0"}) {
        const CliRun run = RunCli(dir.Path(), {"--tcp", tcp, "send", "--hex", "0A"});
        EXPECT_EQ(run.code, 2) << tcp << ": " << run.err;
    }
    // The program's setting is an IPv4 address: a name or IPv6 is not saved.
    for (const char* tcp : {"localhost:9100", "[::1]:9100"}) {
        const CliRun run = RunCli(dir.Path(), {"--tcp", tcp, "--save", "send", "--hex", "0A"});
        EXPECT_EQ(run.code, 2) << tcp << ": " << run.err;
        EXPECT_NE(run.err.find("--save"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir / ".config" / "pemberlux" / "pemberlux.ini")) << tcp;
    }
}

// ---- Profiles --------------------------------------------------------------------

// Missing and null read the same; either file first gives the same rows.
TEST_F(CliTest, ProfileDiffReadsTheSameEitherWayRound) {
    dir.Write("a.json", R"({"family":"label","settings":{"peeler":"On","print_speed":"3","page_mode":null}})");
    dir.Write("b.json", R"({"family":"label","settings":{"peeler":null,"print_speed":"3","cutter":"On"}})");
    const Json expected = Json::parse(R"([{"setting":"peeler","first":"On","second":null},
                                           {"setting":"cutter","first":null,"second":"On"}])");
    const CliRun ab = RunCli(dir.Path(), {"profile", "diff", "a.json", "b.json", "--json"});
    const CliRun ba = RunCli(dir.Path(), {"profile", "diff", "b.json", "a.json", "--json"});
    EXPECT_EQ(ab.code, 5);
    EXPECT_EQ(ba.code, 5);
    Json rows = Parse(ab)["differences"];
    EXPECT_EQ(rows, expected);
    Json swapped = Json::array();
    const Json reversed = Parse(ba);
    for (const Json& row : reversed["differences"])
        swapped.push_back({{"setting", row["setting"]}, {"first", row["second"]}, {"second", row["first"]}});
    std::sort(rows.begin(), rows.end());
    std::sort(swapped.begin(), swapped.end());
    EXPECT_EQ(rows, swapped);
    // A missing value shows as missing in the text too.
    const CliRun text = RunCli(dir.Path(), {"profile", "diff", "a.json", "b.json"});
    EXPECT_NE(text.out.find("cutter   -      On"), std::string::npos) << text.out;
}

// A file that cannot be written whole (a disk full, here a file-size limit of
// the process) is not written at all: the old one stays as it was, nothing is
// left beside it, and the user learns the file and the system's reason.
TEST_F(CliTest, AFileThatCannotBeWrittenWholeLeavesTheOldOne) {
    sim::LabelPrinterSim printer;
    Attached link(printer, Transport::Tcp, dir.Path());
    dir.Write("fleet.txt", "tcp:" + link.Args()[1] + " LB-610\n");
    std::vector<std::string> get = {"--model", "LB-610"};
    get.insert(get.end(), link.Args().begin(), link.Args().end());
    const struct {
        std::vector<std::string> args;
        std::string file;
        std::string says;
    } cases[] = {
        {Join(get, {"profile", "save", "out/p.json"}), "out/p.json",
         "pemberlux-cli: profile save: out/p.json: cannot be written (File too large)\n"},
        {{"fleet", "inventory", "--targets", "fleet.txt", "--report", "out/report.json"},
         "out/report.json",
         "pemberlux-cli: fleet inventory: out/report.json: cannot be written (File too large)\n"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(dir / "out");
        std::filesystem::create_directory(dir / "out");
        dir.Write(c.file, "the old file\n");
        // The child's limit is larger than what it says on its streams and
        // smaller than the file.
        CliStreams limited;
        limited.fileSizeLimit = 400;
        const CliRun run = CliProcess(dir.Path(), c.args, {}, false, limited).Wait();

        EXPECT_EQ(run.code, 6) << c.file << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(dir.Read(c.file), "the old file\n");
        std::vector<std::string> left;
        for (const auto& e : std::filesystem::directory_iterator(dir / "out"))
            left.push_back(e.path().filename().string());
        EXPECT_EQ(left.size(), 1u) << c.file << ": " << (left.size() > 1 ? left[1] : "");
    }
}

// A profile as this version's profile save writes it still loads.
TEST_F(CliTest, ProfilesSavedBeforeStillLoad) {
    dir.Write("saved.json", R"({
  "model": "LB-610",
  "family": "label",
  "settings": {
    "page_mode": "Off",
    "print_media": "Label Paper",
    "peeler": "Off",
    "print_method": "Direct Thermal",
    "paper_out_detection": "On",
    "print_density": "3",
    "printer_language": "English",
    "emulation": "TSPL",
    "auto_calibrate_label": "On",
    "print_speed": "4",
    "top_form_sensing": "Off",
    "print_home_offset": 1.5,
    "cutting_position_offset": 0.0,
    "cut_mode": "Off",
    "print_position_detection": "On",
    "black_mark_ad_value": 200,
    "paper_sensor_selection": "Gap sensor"
  },
  "firmware_version": "LB-610 V1.16 2024-06-18"
}
)");
    sim::LabelPrinterSim printer;
    Attached link(printer, Transport::Tcp, dir.Path());
    const CliRun run = Cli(link, "LB-610", {"profile", "apply", "saved.json", "--verify", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Parse(run)["written"], Json::parse(R"(["print_speed","print_home_offset"])"));
    EXPECT_TRUE(Parse(run)["verified"].get<bool>());
    EXPECT_EQ(printer.Setting(9), 4);
    EXPECT_EQ(RunCli(dir.Path(), {"profile", "diff", "saved.json", "saved.json"}).code, 0);
}

} // namespace
} // namespace pemberlux::test
