// pemberlux-cli as a user runs it: a process against the simulated printers on
// TCP, a pty and the fake USB tree. What reaches the printer is stated as the
// literal bytes of the protocol.
#include "CliFixture.h"
#include "LabelPrinterSim.h"
#include "ReceiptPrinterSim.h"
#include "Stalls.h"
#include "Transports.h"
#include "core/base/SettingsFile.h"
#include "core/base/Version.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>

namespace pemberlux::test {
namespace {

// ---- Label printers ----------------------------------------------------------

class LabelGet : public CliTest, public ::testing::WithParamInterface<Transport> {};

TEST_P(LabelGet, GivesTheSimulatorsSettings) {
    sim::LabelPrinterSim printer;
    printer.SetSetting(0, 1);    // page mode on
    printer.SetSetting(9, 2);    // print speed: byte = list index + 1
    printer.SetSetting(11, -20); // print home offset in dots
    printer.SetSetting(15, 321); // black mark AD value
    Attached link(printer, GetParam(), dir.Path());
    const CliRun run = Cli(link, "LB-610", {"label", "get", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    const Json doc = Parse(run);
    EXPECT_EQ(doc.size(), 17u);
    EXPECT_EQ(doc["page_mode"], "On");
    EXPECT_EQ(doc["print_speed"], "2");
    EXPECT_EQ(doc["print_home_offset"], -2.5);
    EXPECT_EQ(doc["black_mark_ad_value"], 321);
    EXPECT_EQ(doc["emulation"], "TSPL");
    EXPECT_EQ(printer.Received(), LABEL_QUERY);
}

std::string TransportName(const ::testing::TestParamInfo<Transport>& info) {
    const char* names[] = {"Tcp", "Serial", "Parallel", "Usb"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(EveryTransport, LabelGet,
                         ::testing::Values(Transport::Tcp, Transport::Serial, Transport::Parallel, Transport::Usb),
                         TransportName);

TEST_F(CliTest, LabelSetSendsOnlyTheGivenSettingsInThePagesFrame) {
    const struct {
        std::vector<std::string> args;
        Bytes frame;
    } cases[] = {
        {{"print_speed=4"}, B({0x1B, 0x0D, 0x53, 0x1B, 0x30, 0x04, 0x1B, 0x10, 0x45})},
        // In position order, whatever the order given; the offset in dots, low byte first.
        {{"print_home_offset=-2.5", "page_mode=on"},
         B({0x1B, 0x0D, 0x53, 0x1B, 0x27, 0x01, 0x1B, 0x2C, 0xEC, 0xFF, 0x1B, 0x10, 0x45})},
        {{"black_mark_ad_value=300"}, B({0x1B, 0x0D, 0x53, 0x1B, 0x28, 0x2C, 0x01, 0x1B, 0x10, 0x45})},
        {{"emulation=zpl"}, B({0x1B, 0x0D, 0x53, 0x1B, 0x24, 0x01, 0x1B, 0x10, 0x45})},
    };
    for (const auto& c : cases) {
        sim::LabelPrinterSim printer;
        std::vector<std::string> args = {"label", "set"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ExpectSends(printer, Transport::Tcp, "LB-610", args, c.frame);
    }
}

// A set reports each value as a get shows it: numbers as numbers, list items
// as the list spells them.
TEST_F(CliTest, SetReportsWhatItSentAsGetShowsIt) {
    sim::LabelPrinterSim label;
    Attached labelLink(label, Transport::Tcp, dir.Path());
    const CliRun set = Cli(labelLink, "LB-610",
                           {"label", "set", "print_home_offset=1.5", "peeler=on", "black_mark_ad_value=300", "--json"});
    ASSERT_EQ(set.code, 0) << set.err;
    EXPECT_EQ(Parse(set)["sent"],
              Json::parse(R"({"print_home_offset": 1.5, "peeler": "On", "black_mark_ad_value": 300})"));
    const Json got = Parse(Cli(labelLink, "LB-610", {"label", "get", "--json"}));
    EXPECT_EQ(got["print_home_offset"], 1.5);
    EXPECT_EQ(got["peeler"], "On");
    EXPECT_EQ(got["black_mark_ad_value"], 300);

    sim::ReceiptPrinterSim receipt(sim::ReceiptModel::TR520);
    Attached receiptLink(receipt, Transport::Tcp, dir.Path());
    const CliRun receiptSet =
        Cli(receiptLink, "TR-520", {"receipt", "set", "black_mark_to_home=12.5", "paper_wide=76MM", "--json"});
    ASSERT_EQ(receiptSet.code, 0) << receiptSet.err;
    EXPECT_EQ(Parse(receiptSet)["sent"], Json::parse(R"({"black_mark_to_home": 12.5, "paper_wide": "76mm"})"));
}

TEST_F(CliTest, LabelActionsSendTheirFrames) {
    const struct {
        const char* action;
        Bytes frame;
    } cases[] = {
        // The reset, then the settings read back.
        {"reset", B({0x1B, 0x0D, 0x53, 0x1B, 0x60, 0x01, 0x1B, 0x10, 0x45, 0x1B, 0x0D, 0x53, 0x1B, 0x33, 0x00, 0x1B,
                     0x10, 0x45})},
        {"calibrate", B({0x1B, 0x0D, 0x53, 0x1B, 0x3D, 0x01, 0x1B, 0x10, 0x45})},
        {"self-test", B({0x1B, 0x0D, 0x4C})},
    };
    for (const auto& c : cases) {
        sim::LabelPrinterSim printer;
        ExpectSends(printer, Transport::Tcp, "LB-610", {"label", c.action}, c.frame);
    }
}

TEST_F(CliTest, LabelInfoReadsTheThreeTexts) {
    sim::LabelPrinterSim printer;
    Attached link(printer, Transport::Tcp, dir.Path());
    const CliRun run = Cli(link, "LB-610", {"label", "info", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    const Json doc = Parse(run);
    EXPECT_EQ(doc["serial_number"], printer.SerialNumber());
    EXPECT_EQ(doc["firmware_version"], printer.FirmwareVersion());
    // The printer's "1250.40 m" as a number, the unit in the key.
    EXPECT_EQ(doc["head_mileage_m"], 1250.4);
    EXPECT_FALSE(doc.contains("head_mileage"));
}

TEST_F(CliTest, BadInputIsRefusedBeforeAnythingIsSent) {
    dir.Write("notes.txt", "firmware?");
    const struct {
        std::string model;
        std::vector<std::string> args;
        const char* says; // part of the one line on stderr
    } cases[] = {
        {"LB-610", {"label", "set", "foo=1"}, "unknown setting 'foo'; keys: page_mode, print_media"},
        // A key near one there is: that one.
        {"LB-610", {"label", "set", "print_sped=2"}, "unknown setting 'print_sped'; did you mean 'print_speed'?"},
        {"TR-520", {"receipt", "set", "paper_wdie=76mm"}, "unknown setting 'paper_wdie'; did you mean 'paper_wide'?"},
        {"LB-610",
         {"net", "set", "00:11:22:33:44:55", "gatway=10.0.0.1"},
         "unknown setting 'gatway'; did you mean 'gateway'?"},
        {"LB-610", {"wifi", "set", "sid=shop"}, "unknown setting 'sid'; did you mean 'ssid'?"},
        {"LB-610", {"label", "set", "print_speed=4", "print_speed=9"}, "'9' is not one of: 1, 2, 3, 4"},
        {"LB-610", {"label", "set", "print_home_offset=5000"}, "from -4095 to 4095"},
        {"LB-610", {"label", "set", "print_home_offset=1e2"}, "from -4095 to 4095"},
        {"LB-610", {"label", "set", "black_mark_ad_value=-1"}, "integer from 0 to 4095"},
        {"LB-610", {"label", "set", "print_speed"}, "expected KEY=VALUE"},
        {"LB-610", {"receipt", "get"}, "LB-610 is a label printer"},
        {"TR-510", {"receipt", "set", "cutter_switch=On"}, "unknown setting 'cutter_switch'"},
        {"TR-520", {"receipt", "set", "black_mark_to_home=-40"}, "from -35 to 5766"},
        {"TR-520", {"receipt", "set", "paper_wide=80mm"}, "76mm, 69mm, 57mm"},
        {"TR-510", {"test-job", "full-cut"}, "no cutter"},
        {"TR-510", {"test-job", "dance"}, "unknown test job 'dance'"},
        {"LB-610", {"send", "--hex", "1B 4G"}, "Data entered is not hexadecimal data!"},
        {"LB-610", {"send", "--hex", "1B 40 0AZ"}, "Data entered is not hexadecimal data!"},
        {"LB-610", {"send", "--hex", "1B", "--text", "x"}, "one of --text, --hex, --file"},
        {"LB-610", {"firmware", "notes.txt"}, "not a firmware file"},
        {"LB-999", {"label", "get"}, "unknown model 'LB-999'; models: LB-610"},
    };
    for (const auto& c : cases) {
        sim::LabelPrinterSim printer;
        Attached link(printer, Transport::Tcp, dir.Path());
        const CliRun run = Cli(link, c.model, c.args);
        EXPECT_EQ(run.code, 2) << c.args.back();
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        std::this_thread::sleep_for(50ms); // anything sent would have arrived
        EXPECT_EQ(printer.Chunks(), 0u) << c.args.back();
    }
}

TEST_F(CliTest, BadConnectionOptionsAreUsageErrors) {
    const std::vector<std::string> cases[] = {
        {"--tcp", "999.1.1.1", "label", "get"},
        {"--tcp", "127.0.0.1:0", "label", "get"},
        {"--tcp", "127.0.0.1", "--lpt", "LPT1", "label", "get"},
        {"--serial", "/dev/null:12345", "label", "get"},
        {"--serial", "/dev/null:9600:Mark", "label", "get"},
        {"--usb", "3A7E", "label", "get"},
        {"--lang", "fr", "label", "get"},
        {"label", "frobnicate"},
    };
    for (const auto& args : cases) {
        const CliRun run = RunCli(dir.Path(), args);
        EXPECT_EQ(run.code, 2) << args[1] << ": " << run.err;
    }
}

TEST_F(CliTest, FailuresExitWithTheirCodeAndTheProgramsText) {
    sim::Faults silent, cut, oneShort;
    silent.silent = true;
    cut.shortAnswer = 10;
    oneShort.shortAnswer = 41; // the settings reply ends one byte before its last field does
    const struct {
        sim::Faults faults;
        std::vector<std::string> args;
        int code;
        const char* says;
    } cases[] = {
        {silent, {"--timeout", "300", "label", "get"}, 4, "Communication is time out!"},
        {silent, {"--lang", "zh", "--timeout", "300", "label", "get"}, 4, "连接打印机超时."},
        {cut, {"label", "get"}, 1, "Unable to get printer's setting!"},
        {oneShort, {"label", "get"}, 1, "Unable to get printer's setting!"},
    };
    for (const auto& c : cases) {
        sim::LabelPrinterSim printer;
        printer.SetFaults(c.faults);
        Attached link(printer, Transport::Tcp, dir.Path());
        const CliRun run = Cli(link, "LB-610", c.args);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    // Nobody listens: the port cannot be opened.
    std::uint16_t closed;
    {
        sim::LabelPrinterSim printer;
        sim::TcpServer server(printer);
        closed = server.Port();
    }
    const CliRun run = RunCli(dir.Path(), {"--tcp", "127.0.0.1:" + std::to_string(closed), "label", "get"});
    EXPECT_EQ(run.code, 3) << run.err;
}

// A label printer whose replies pause after their first `at` bytes for `gap`:
// by default they begin at once and end well after a short time-out.
class LatePrinter : public sim::LabelPrinterSim {
public:
    explicit LatePrinter(std::size_t at = 4, std::chrono::milliseconds gap = 700ms) : at_(at), gap_(gap) {}

protected:
    std::vector<sim::Answer> Respond(const std::uint8_t* data, std::size_t size) override {
        std::vector<sim::Answer> split;
        for (sim::Answer& a : LabelPrinterSim::Respond(data, size)) {
            if (a.bytes.size() <= at_) {
                split.push_back(std::move(a));
                continue;
            }
            const auto cut = a.bytes.begin() + static_cast<std::ptrdiff_t>(at_);
            split.push_back({Bytes(a.bytes.begin(), cut), a.delay});
            split.push_back({Bytes(cut, a.bytes.end()), gap_});
        }
        return split;
    }

private:
    std::size_t at_;
    std::chrono::milliseconds gap_;
};

// The settings reply is whole with its 42nd byte, the high byte of the cutting
// position offset: a pause just before it is waited for.
TEST_F(CliTest, ASettingsReplyPausedBeforeItsLastByteIsWaitedFor) {
    LatePrinter printer(41, 400ms);
    printer.SetSetting(12, -16); // cutting position offset in dots: F0 FF
    Attached link(printer, Transport::Tcp, dir.Path());
    const CliRun run = Cli(link, "LB-610", {"label", "get", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Parse(run)["cutting_position_offset"], -2.0);
}

// The reply is whole and used: the command succeeds, shows the values and says
// the printer was late, not that it did not answer.
TEST_F(CliTest, ALateReplyIsUsedWithANoticeOfItsOwn) {
    LatePrinter printer;
    printer.SetSetting(15, 321);
    Attached link(printer, Transport::Tcp, dir.Path());
    const CliRun run = Cli(link, "LB-610", {"--timeout", "300", "label", "get", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Parse(run)["black_mark_ad_value"], 321);
    EXPECT_NE(run.err.find("pemberlux-cli: label get: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("late"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Communication is time out!"), std::string::npos) << run.err;
}

// ---- Profiles ----------------------------------------------------------------

// A label printer that keeps its print speed whatever it is sent.
class StubbornPrinter : public sim::LabelPrinterSim {
protected:
    std::vector<sim::Answer> Respond(const std::uint8_t* data, std::size_t size) override {
        const int speed = Setting(9);
        auto answers = LabelPrinterSim::Respond(data, size);
        SetSetting(9, speed);
        return answers;
    }
};

TEST_F(CliTest, ProfileSaveDiffAndVerifiedApply) {
    sim::LabelPrinterSim printer;
    Attached link(printer, Transport::Tcp, dir.Path());
    ASSERT_EQ(Cli(link, "LB-610", {"profile", "save", "p.json"}).code, 0);
    const Json saved = Json::parse(dir.Read("p.json"));
    EXPECT_EQ(saved["model"], "LB-610");
    EXPECT_EQ(saved["family"], "label");
    EXPECT_EQ(saved["firmware_version"], printer.FirmwareVersion());
    EXPECT_EQ(saved["settings"]["print_speed"], "3");

    printer.SetSetting(9, 1);
    const CliRun diff = Cli(link, "LB-610", {"profile", "diff", "p.json", "--json"});
    EXPECT_EQ(diff.code, 5);
    EXPECT_EQ(Parse(diff)["differences"], Json::parse(R"([{"setting":"print_speed","printer":"1","profile":"3"}])"));

    printer.ClearReceived();
    const CliRun apply = Cli(link, "LB-610", {"profile", "apply", "p.json", "--verify", "--json"});
    EXPECT_EQ(apply.code, 0) << apply.err;
    EXPECT_EQ(Parse(apply)["written"], Json::parse(R"(["print_speed"])"));
    EXPECT_EQ(printer.Setting(9), 3);
    // Read, write only what differs, read back.
    EXPECT_EQ(printer.Received(),
              Cat({LABEL_QUERY, B({0x1B, 0x0D, 0x53, 0x1B, 0x30, 0x03, 0x1B, 0x10, 0x45}), LABEL_QUERY}));

    EXPECT_EQ(Cli(link, "LB-610", {"profile", "diff", "p.json"}).code, 0);
}

TEST_F(CliTest, ProfileDiffOfTwoFiles) {
    dir.Write("a.json", R"({"model":"LB-610","family":"label","settings":{"peeler":"Off","print_speed":"3"}})");
    dir.Write("b.json", R"({"model":"LB-610","family":"label","settings":{"peeler":"On","print_speed":"3"}})");
    const CliRun run = RunCli(dir.Path(), {"profile", "diff", "a.json", "b.json", "--json"});
    EXPECT_EQ(run.code, 5);
    EXPECT_EQ(Parse(run)["differences"], Json::parse(R"([{"setting":"peeler","first":"Off","second":"On"}])"));
    dir.Write("bad.json", "{");
    EXPECT_EQ(RunCli(dir.Path(), {"profile", "diff", "a.json", "bad.json"}).code, 6);
    EXPECT_EQ(RunCli(dir.Path(), {"profile", "diff", "a.json", "missing.json"}).code, 6);
}

TEST_F(CliTest, ProfilesThatAreNotProfilesAreRefusedWithAReason) {
    const std::string label = R"({"model":"LB-610","family":"label","settings":{"peeler":"On"}})";
    dir.Write("a.json", label);
    const struct {
        std::string text;
        const char* says;
    } cases[] = {
        {std::string(200 * 1024, '['), "nested deeper than"},
        {std::string(100 * 1024, '[') + std::string(100 * 1024, ']'), "nested deeper than"},
        // Valid JSON: copied and printed as it stood, it overflowed the stack.
        {R"({"family":"label","settings":{"peeler":)" + std::string(100000, '[') + std::string(100000, ']') + "}}",
         "nested deeper than"},
        {R"({"family":"label","settings":{"peeler":["On"]}})", "is not a single value"},
        {R"({"family":"label","settings":{"peeler":{"a":1}}})", "is not a single value"},
        {R"({"family":["label"],"settings":{}})", "\"family\" must be"},
        {R"({"family":"printer","settings":{}})", "\"family\" must be"},
        {R"({"family":"label","settings":[]})", "\"settings\" must be"},
        {R"({"family":"label","model":7,"settings":{}})", "\"model\" must be"},
        {R"([1,2])", "not a JSON object"},
    };
    for (const auto& c : cases) {
        dir.Write("b.json", c.text);
        for (const std::vector<std::string>& args : {std::vector<std::string>{"profile", "diff", "a.json", "b.json"},
                                                     std::vector<std::string>{"profile", "diff", "b.json", "a.json"}}) {
            const CliRun run = RunCli(dir.Path(), args);
            EXPECT_EQ(run.code, 6) << c.says << run.err;
            EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        }
    }
    // Apply reads the profile before it needs a printer.
    dir.Write("b.json", std::string(100 * 1024, '[') + std::string(100 * 1024, ']'));
    const CliRun apply = RunCli(dir.Path(), {"profile", "apply", "b.json"});
    EXPECT_EQ(apply.code, 6) << apply.err;
    // Brackets inside texts are no nesting.
    dir.Write("b.json", R"({"family":"label","settings":{"peeler":")" + std::string(1000, '[') + R"("}})");
    EXPECT_EQ(RunCli(dir.Path(), {"profile", "diff", "a.json", "b.json"}).code, 5);
}

TEST_F(CliTest, VerifyNamesTheSettingThePrinterIgnored) {
    StubbornPrinter printer;
    Attached link(printer, Transport::Tcp, dir.Path());
    dir.Write("p.json", R"({"model":"LB-610","family":"label","settings":{"print_speed":"4","peeler":"On"}})");
    const CliRun run = Cli(link, "LB-610", {"profile", "apply", "p.json", "--verify"});
    EXPECT_EQ(run.code, 5);
    EXPECT_NE(run.err.find("print_speed is 3, not 4"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("peeler"), std::string::npos) << run.err;
    EXPECT_EQ(printer.Setting(2), 1); // peeler taken
}

TEST_F(CliTest, ProfileApplyRefusesABadProfileWholeBeforeSending) {
    sim::LabelPrinterSim printer;
    Attached link(printer, Transport::Tcp, dir.Path());
    dir.Write("p.json", R"({"model":"LB-610","family":"label","settings":{"peeler":"On","print_speed":"9"}})");
    EXPECT_EQ(Cli(link, "LB-610", {"profile", "apply", "p.json"}).code, 2);
    dir.Write("r.json", R"({"model":"TR-520","family":"receipt","settings":{"paper_wide":"57mm"}})");
    EXPECT_EQ(Cli(link, "LB-610", {"profile", "apply", "r.json"}).code, 2);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(printer.Chunks(), 0u);
}

// An offset the printer holds goes back as the same dots: shown, set and applied.
TEST_F(CliTest, LabelOffsetsSurviveGetSetAndProfileApply) {
    sim::LabelPrinterSim printer;
    printer.SetSetting(11, 1);  // print home offset, dots
    printer.SetSetting(12, -3); // cutting position offset
    Attached link(printer, Transport::Tcp, dir.Path());
    const CliRun get = Cli(link, "LB-610", {"label", "get", "--json"});
    ASSERT_EQ(get.code, 0) << get.err;
    const Json shown = Parse(get);
    EXPECT_EQ(shown["print_home_offset"].dump(), "0.13");
    EXPECT_EQ(shown["cutting_position_offset"].dump(), "-0.38");

    ASSERT_EQ(Cli(link, "LB-610", {"label", "set", "print_home_offset=0.13", "cutting_position_offset=-0.38"}).code, 0);
    EXPECT_EQ(printer.Setting(11), 1);
    EXPECT_EQ(printer.Setting(12), -3);

    ASSERT_EQ(Cli(link, "LB-610", {"profile", "save", "p.json"}).code, 0);
    printer.SetSetting(11, 0);
    const CliRun apply = Cli(link, "LB-610", {"profile", "apply", "p.json", "--verify"});
    EXPECT_EQ(apply.code, 0) << apply.err;
    EXPECT_EQ(printer.Setting(11), 1);
    EXPECT_EQ(printer.Setting(12), -3);
}

TEST_F(CliTest, ReceiptProfileRoundTrip) {
    sim::ReceiptPrinterSim printer(sim::ReceiptModel::TR520);
    Attached link(printer, Transport::Tcp, dir.Path());
    ASSERT_EQ(Cli(link, "TR-520", {"profile", "save", "r.json"}).code, 0);
    EXPECT_EQ(Json::parse(dir.Read("r.json"))["family"], "receipt");
    const int width = printer.Setting(sim::ReceiptField::PaperWidth);
    printer.SetSetting(sim::ReceiptField::PaperWidth, width == 2 ? 0 : 2);
    const CliRun apply = Cli(link, "TR-520", {"profile", "apply", "r.json", "--verify", "--json"});
    EXPECT_EQ(apply.code, 0) << apply.err;
    EXPECT_EQ(Parse(apply)["written"], Json::parse(R"(["paper_wide"])"));
    EXPECT_EQ(printer.Setting(sim::ReceiptField::PaperWidth), width);
}

// ---- Receipt printers ----------------------------------------------------------

TEST_F(CliTest, ReceiptCommandsSendThePagesBytes) {
    const Bytes begin = B({0x1B, 0x0D, 0x53}), end = B({0x1B, 0x10, 0x45});
    const struct {
        std::vector<std::string> args;
        Bytes bytes;
    } cases[] = {
        {{"receipt", "set", "paper_wide=57mm"}, Cat({begin, B({0x1B, 0x38, 0x02}), end})},
        // 10 mm is 57/144 inch.
        {{"receipt", "set", "black_mark_to_home=10", "cutter_switch=on"},
         Cat({begin, B({0x1B, 0x34, 0x01, 0x1B, 0x2C, 0x39, 0x00}), end})},
        {{"test-job", "full-cut"},
         Cat({B({0x1B, 0x40}), Text(" Full Cut test"), B({0x0A, 0x1B, 0x4A, 0xB0, 0x1B, 0x69})})},
    };
    for (const auto& c : cases) {
        sim::ReceiptPrinterSim printer(sim::ReceiptModel::TR520);
        ExpectSends(printer, Transport::Tcp, "TR-520", c.args, c.bytes);
    }
}

TEST_F(CliTest, ReceiptGetReadsTheSettings) {
    sim::ReceiptPrinterSim printer(sim::ReceiptModel::TR520);
    printer.SetSetting(sim::ReceiptField::PaperWidth, 2);
    printer.SetSetting(sim::ReceiptField::BlackMarkToHome, 57);
    Attached link(printer, Transport::Serial, dir.Path());
    const CliRun run = Cli(link, "TR-520", {"receipt", "get", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    const Json doc = Parse(run);
    EXPECT_EQ(doc["paper_wide"], "57mm");
    EXPECT_EQ(doc["black_mark_to_home"], 10.1);
    EXPECT_TRUE(doc.contains("cutter_switch"));
}

// A factory reset leaves the printer at 9600 8N1 with hardware handshake: both
// families' resets take that line over (kept with --save), wait for the
// printer and report the settings it reads back, as the settings pages do.
TEST_F(CliTest, FactoryResetsKeepTheFactoryLineAndReportTheSettingsReadBack) {
    sim::LabelPrinterSim label;
    sim::ReceiptPrinterSim receipt(sim::ReceiptModel::TR520);
    const struct {
        sim::SimPrinter& printer;
        const char* model;
        std::vector<std::string> command;
        std::size_t settings; // as many as `get` reports
    } cases[] = {
        {label, "LB-610", {"label", "reset"}, 17},
        {receipt, "TR-520", {"receipt", "restore"}, 8},
    };
    for (const auto& c : cases) {
        Attached link(c.printer, Transport::Serial, dir.Path());
        std::vector<std::string> args = {"--model", c.model, "--serial", link.Args()[1] + ":57600:Odd:7:2:Xon/Xoff",
                                         "--save",  "--json"};
        args.insert(args.end(), c.command.begin(), c.command.end());
        c.printer.ClearReceived();
        const CliRun run = RunCli(dir.Path(), args);
        ASSERT_EQ(run.code, 0) << run.err;
        // The settings query followed the reset frame.
        const Bytes got = c.printer.Received();
        ASSERT_GE(got.size(), 9u);
        EXPECT_EQ(Bytes(got.end() - 9, got.end()), B({0x1B, 0x0D, 0x53, 0x1B, 0x33, 0x00, 0x1B, 0x10, 0x45}))
            << c.model;
        const Json doc = Parse(run);
        EXPECT_EQ(doc[c.command[1]], true);
        EXPECT_EQ(doc["settings"].size(), c.settings) << run.out;
        // No ./pemberlux.ini: --save writes the user's settings file.
        const std::string written = dir.Read(".config/pemberlux/pemberlux.ini");
        for (const char* line : {"Baudrate=9600\r\n", "ParitySetup=None\r\n", "FlowControl=DTR\r\n"})
            EXPECT_NE(written.find(line), std::string::npos) << c.model << ": " << written;
    }
}

// A printer that takes the reset and then answers nothing: the reset is told,
// with no settings, and the read-back's failure ends the command as it ends a
// `get` of that printer.
TEST_F(CliTest, AResetWhoseReadBackFailsIsStillTold) {
    sim::LabelPrinterSim printer;
    sim::Faults silent;
    silent.silent = true;
    printer.SetFaults(silent);
    sim::TcpServer server(printer);
    const std::vector<std::string> at = {"--model", "LB-610", "--tcp", "127.0.0.1:" + std::to_string(server.Port()),
                                         "--json"};
    std::vector<std::string> get = at, reset = at;
    get.insert(get.end(), {"label", "get"});
    reset.insert(reset.end(), {"label", "reset"});
    const CliRun failedGet = RunCli(dir.Path(), get);
    ASSERT_NE(failedGet.code, 0);
    printer.ClearReceived();

    const CliRun run = RunCli(dir.Path(), reset);
    EXPECT_EQ(run.code, failedGet.code) << run.err;
    EXPECT_EQ(Parse(run), Json::parse(R"({"reset": true, "settings": null})"));
    EXPECT_EQ(run.err.substr(run.err.find(':', 14)), failedGet.err.substr(failedGet.err.find(':', 14)));
    EXPECT_EQ(printer.Received(), B({0x1B, 0x0D, 0x53, 0x1B, 0x60, 0x01, 0x1B, 0x10, 0x45, 0x1B, 0x0D, 0x53, 0x1B,
                                     0x33, 0x00, 0x1B, 0x10, 0x45}));
}

// ---- Sending and firmware -------------------------------------------------------

TEST_F(CliTest, SendDeliversTextHexAndFilesWhole) {
    Bytes mib(1 << 20);
    for (std::size_t i = 0; i < mib.size(); ++i)
        mib[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11));
    dir.Write("big.bin", std::string(mib.begin(), mib.end()));
    const struct {
        std::vector<std::string> args;
        Bytes bytes;
    } cases[] = {
        {{"send", "--hex", "1b 40 0A"}, B({0x1B, 0x40, 0x0A})},
        {{"send", "--text", "Hi"}, Text("Hi")},
        {{"send", "--hex", "0A", "--loop", "3", "--interval", "10"}, B({0x0A, 0x0A, 0x0A})},
        {{"send", "--file", "big.bin"}, mib},
    };
    for (const auto& c : cases) {
        sim::SimPrinter printer;
        ExpectSends(printer, Transport::Tcp, "LB-610", c.args, c.bytes);
    }
    EXPECT_EQ(RunCli(dir.Path(), {"--tcp", "127.0.0.1", "send", "--file", "missing.bin"}).code, 6);
}

// A print port that greets its clients with status bytes: the file and the
// image arrive whole before the command reports them sent.
TEST_F(CliTest, TransfersToAPortThatTalksFirstArriveWhole) {
    Bytes mib(1 << 20);
    for (std::size_t i = 0; i < mib.size(); ++i)
        mib[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11));
    dir.Write("big.bin", std::string(mib.begin(), mib.end()));
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"send", "--file", "big.bin"}, std::vector<std::string>{"firmware", "big.bin"}}) {
        GreetingPort printer(std::string(32, '\x12'));
        std::vector<std::string> args = {"--model", "LB-610", "--tcp", "127.0.0.1:" + std::to_string(printer.Port()),
                                         "--json"};
        args.insert(args.end(), command.begin(), command.end());
        const CliRun run = RunCli(dir.Path(), args);
        EXPECT_EQ(run.code, 0) << command[0] << ": " << run.err;
        EXPECT_EQ(Parse(run)["sent_bytes"], mib.size()) << command[0];
        EXPECT_TRUE(printer.WaitForWhole(mib.size(), 20s)) << command[0] << ": " << printer.Received().size();
        EXPECT_TRUE(printer.Received() == std::string(mib.begin(), mib.end())) << command[0];
    }
}

TEST_F(CliTest, FirmwareSendsTheTaggedImageToTheLoader) {
    dir.Write("new.FW", "\x01\x02"
                        "firmware");
    sim::SimPrinter loader;
    // The tagged formats go to the loader's own USB ids.
    Attached link(loader, Transport::Usb, dir.Path(), "3a7e", "41a2");
    const CliRun run = Cli(link, "LB-610", {"firmware", "new.FW", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    const Bytes image = Cat({Text("UDFW"), B({0x01, 0x02}), Text("firmware")});
    EXPECT_TRUE(loader.WaitForBytes(image.size(), 5s));
    EXPECT_EQ(loader.Received(), image);
    EXPECT_EQ(Parse(run)["sent_bytes"], image.size());
}

TEST_F(CliTest, FirmwareInDownloadModeSendsTheCommandThenTheRawImage) {
    dir.Write("image.bin", "raw image bytes");
    sim::LabelPrinterSim printer; // at 3A7E:5E10, the ids of an image after download mode
    Attached link(printer, Transport::Usb, dir.Path());
    const CliRun run = Cli(link, "LB-610", {"firmware", "image.bin", "--download-mode"});
    EXPECT_EQ(run.code, 0) << run.err;
    // The line may still hold the bytes when the command has ended.
    EXPECT_TRUE(printer.WaitForBytes(7 + 15, 5s));
    EXPECT_TRUE(printer.WaitForFrames(1, 5s));
    EXPECT_EQ(printer.Counters().downloadModes, 1u);
    EXPECT_EQ(printer.Received(), Cat({B({0x1B, 0x0D, 0x53, 0x1B, 0x90, 0x46, 0x57}), Text("raw image bytes")}));
    // Without download mode an image goes to other ids: no such printer here.
    EXPECT_EQ(Cli(link, "LB-610", {"firmware", "image.bin"}).code, 3);
}

// Over the network a download counts once the printer closed the connection
// after it; a printer that keeps it open got the file, unconfirmed, and the
// command says so in its note and its document, not as a plain success.
TEST_F(CliTest, FirmwareOverTheNetworkSaysWhetherThePrinterConfirmedIt) {
    dir.Write("new.FW", "firmware");
    const struct {
        EndingPort::End end;
        bool confirmed;
    } cases[] = {{EndingPort::Closes, true}, {EndingPort::Holds, false}};
    for (const auto& c : cases) {
        EndingPort printer(c.end, 0ms);
        const CliRun run =
            RunCli(dir.Path(), {"--model", "LB-610", "--tcp", "127.0.0.1:" + std::to_string(printer.Port()), "firmware",
                                "new.FW", "--json"});
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(Parse(run)["confirmed"], c.confirmed);
        EXPECT_EQ(Parse(run)["sent_bytes"], 12);
        EXPECT_EQ(run.err, c.confirmed ? ""
                                       : "pemberlux-cli: firmware: note: the file was sent, but the printer did not "
                                         "confirm that it received it (it kept the connection open); check that it "
                                         "restarts with the new firmware\n");
    }
}

TEST_F(CliTest, CtrlCEndsATransferToAStalledPrinter) {
    dir.Write("big.bin", std::string(32u << 20, 'x'));
    Listener stalled(false); // takes the connection, never reads
    CliProcess cli(dir.Path(), {"--tcp", "127.0.0.1:" + std::to_string(stalled.Port()), "--json", "--progress", "send",
                                "--file", "big.bin"});
    // Until the transfer is under way.
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (cli.Stderr().find("progress") == std::string::npos && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);
    ASSERT_NE(cli.Stderr().find("progress"), std::string::npos);
    std::this_thread::sleep_for(200ms);
    cli.Signal(SIGINT);
    const CliRun run = cli.Wait(10s);
    EXPECT_TRUE(run.code == 130 || run.code == 4) << run.code << " " << run.err;
    // Nothing half-written is reported as sent.
    EXPECT_EQ(run.out.find("sent_bytes"), std::string::npos) << run.out;
}

// A loop until Ctrl-C ends as ping does: what went out on stdout, a line on stderr.
TEST_F(CliTest, CtrlCEndsASendLoopWithWhatWasSent) {
    sim::SimPrinter printer;
    Attached link(printer, Transport::Tcp, dir.Path());
    CliProcess cli(dir.Path(), {link.Args()[0], link.Args()[1], "--json", "send", "--hex", "1B 40 0A", "--loop", "0",
                                "--interval", "20"});
    ASSERT_TRUE(printer.WaitForBytes(9, 30s));
    cli.Signal(SIGINT);
    const CliRun run = cli.Wait();
    EXPECT_EQ(run.code, 130) << run.err;
    const Json doc = Parse(run);
    const auto sent = doc["sent_bytes"].get<std::uint64_t>();
    const auto passes = doc["passes"].get<std::uint64_t>();
    EXPECT_GE(passes, 3u);
    // What it says went out is what the printer got: the whole passes, and
    // of a pass cut short its first bytes at most.
    ASSERT_TRUE(printer.WaitForBytes(sent, 30s));
    const std::vector<std::uint8_t> got = printer.Received();
    EXPECT_EQ(got.size(), sent);
    std::vector<std::uint8_t> whole;
    for (std::uint64_t i = 0; i < passes; ++i)
        whole.insert(whole.end(), {0x1B, 0x40, 0x0A});
    ASSERT_GE(got.size(), whole.size()) << run.out;
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), got.begin())) << run.out;
    EXPECT_LT(got.size() - whole.size(), 3u) << run.out;
    EXPECT_EQ(run.err, "pemberlux-cli: send: interrupted: " + std::to_string(passes) + " whole passes, " +
                           std::to_string(sent) + " bytes sent\n");
}

// ---- Settings file -----------------------------------------------------------------

TEST_F(CliTest, SettingsFileGivesTheDefaultsAndIsWrittenOnlyWithSave) {
    sim::LabelPrinterSim printer;
    sim::TcpServer server(printer);
    // No file: nothing is created, neither here nor in the program's folder.
    EXPECT_EQ(RunCli(dir.Path(), {"--tcp", "127.0.0.1:" + std::to_string(server.Port()), "label", "get"}).code, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "pemberlux.ini"));
    EXPECT_FALSE(std::filesystem::exists(dir / ".config/pemberlux"));

    // Saved where the installed program keeps its settings, its folder made when missing.
    EXPECT_EQ(RunCli(dir.Path(), {"--model", "LB-710", "--tcp", "127.0.0.1:" + std::to_string(server.Port()), "--save",
                                  "label", "calibrate"})
                  .code,
              0);
    EXPECT_FALSE(std::filesystem::exists(dir / "pemberlux.ini"));
    const std::string written = dir.Read(".config/pemberlux/pemberlux.ini");
    EXPECT_NE(written.find("Printer Model=LB-710\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("CurPortType=4\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("ListenPort=" + std::to_string(server.Port()) + "\r\n"), std::string::npos) << written;

    // The file's printer and interface serve when no option says otherwise; the file stays as it was.
    const CliRun run = RunCli(dir.Path(), {"label", "get", "--json"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Parse(run)["print_speed"], "3");
    EXPECT_EQ(dir.Read(".config/pemberlux/pemberlux.ini"), written);
}

// Every candidate file names a closed port except the one that must be used:
// the command reaches the printer only through that one, and --save writes no other.
TEST_F(CliTest, SettingsFileIsFoundWhereTheProgramKeepsIt) {
    sim::LabelPrinterSim printer;
    sim::TcpServer server(printer);
    auto fileFor = [&](bool live) {
        PortSettings s = DefaultPortSettings();
        s.modelName = "LB-610";
        s.portKind = PORT_LAN;
        s.ipAddress = "127.0.0.1";
        s.tcpPort = live ? server.Port() : 1;
        return FormatSettings(s);
    };
    enum Where { Option, Env, Cwd, Xdg, Home };
    const std::map<Where, std::string> files = {{Option, "given.ini"},
                                                {Env, "env.ini"},
                                                {Cwd, "pemberlux.ini"},
                                                {Xdg, "xdg/pemberlux/pemberlux.ini"},
                                                {Home, "home/.config/pemberlux/pemberlux.ini"}};
    const struct {
        const char* what;
        std::vector<Where> present;
        Where used;
        bool xdgAbsolute;
    } cases[] = {
        {"--config wins over everything", {Option, Env, Cwd, Xdg}, Option, true},
        {"PEMBERLUX_CONFIG before the working folder", {Env, Cwd, Xdg}, Env, true},
        {"the working folder's file when it exists", {Cwd, Xdg}, Cwd, true},
        {"else the program's folder under XDG_CONFIG_HOME", {Xdg, Home}, Xdg, true},
        {"a relative XDG_CONFIG_HOME counts as unset: ~/.config", {Xdg, Home}, Home, false},
    };
    for (const auto& c : cases) {
        TempDir here;
        for (const auto& [where, name] : files) {
            std::filesystem::create_directories((here / name).parent_path());
            here.Write(name, fileFor(where == c.used));
        }
        for (const auto& [where, name] : files)
            if (std::find(c.present.begin(), c.present.end(), where) == c.present.end() && where != c.used &&
                where != Home)
                std::filesystem::remove(here / name);
        std::vector<std::string> args = {"--save", "label", "get", "--json"};
        if (std::find(c.present.begin(), c.present.end(), Option) != c.present.end())
            args.insert(args.begin(), {"--config", (here / files.at(Option)).string()});
        std::map<std::string, std::string> env = {
            {"HOME", (here / "home").string()},
            {"XDG_CONFIG_HOME", c.xdgAbsolute ? (here / "xdg").string() : std::string("xdg")}};
        env["PEMBERLUX_CONFIG"] =
            std::find(c.present.begin(), c.present.end(), Env) != c.present.end() ? (here / "env.ini").string() : "";
        const CliRun run = RunCli(here.Path(), args, env);
        EXPECT_EQ(run.code, 0) << c.what << ": " << run.err;
        // --save wrote the file it read, and no other.
        for (const auto& [where, name] : files) {
            if (where != c.used && std::filesystem::exists(here / name)) {
                EXPECT_EQ(here.Read(name), fileFor(false)) << c.what << ": " << name;
            }
        }
    }
}

// Only the default places may lack the settings file: one the user named that
// cannot be read ends the command, naming it and the system's reason.
TEST_F(CliTest, ANamedSettingsFileMustBeReadable) {
    std::string why;
    if (UnprivilegedCliBinary(&why).empty()) GTEST_SKIP() << "needs pemberlux-cli runnable as a plain user: " << why;
    sim::LabelPrinterSim printer;
    sim::TcpServer server(printer);
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all, std::filesystem::perm_options::add);
    const std::string missing = (dir / "missing.ini").string();
    const std::string folder = (dir / "folder").string();
    const std::string closed = (dir / "closed.ini").string();
    std::filesystem::create_directory(folder);
    dir.Write("closed.ini", FormatSettings(DefaultPortSettings()));
    std::filesystem::permissions(closed, std::filesystem::perms::none);
    const std::string says = "pemberlux-cli: label get: ";
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        int code;
        std::string err;
    } cases[] = {
        {"--config",
         {"--config", missing, "label", "get"},
         {},
         6,
         says + missing + ": cannot be read: No such file or directory\n"},
        {"PEMBERLUX_CONFIG",
         {"label", "get"},
         {{"PEMBERLUX_CONFIG", missing}},
         6,
         says + missing + ": cannot be read: No such file or directory\n"},
        {"a folder", {"--config", folder, "label", "get"}, {}, 6, says + folder + ": cannot be read: Is a directory\n"},
        {"a file this user may not read",
         {"--config", closed, "label", "get"},
         {},
         6,
         says + closed + ": cannot be read: Permission denied\n"},
        // --save makes the file it names.
        {"--save",
         {"--config", missing, "--save", "--model", "LB-610", "--tcp", "127.0.0.1:" + std::to_string(server.Port()),
          "label", "get"},
         {},
         0,
         ""},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(dir.Path(), c.args, c.env, true);
        EXPECT_EQ(run.code, c.code) << c.what;
        EXPECT_EQ(run.err, c.err) << c.what;
    }
    EXPECT_TRUE(std::filesystem::exists(missing));
}

TEST_F(CliTest, PortsListsTheUsbPrinters) {
    sim::SimPrinter printer;
    Attached link(printer, Transport::Usb, dir.Path(), "3a7e", "5e10");
    const CliRun run = RunCli(dir.Path(), {"ports", "--json"}, link.Env());
    ASSERT_EQ(run.code, 0) << run.err;
    Json usb;
    for (const Json& row : Parse(run))
        if (row["kind"] == "usb") usb = row;
    EXPECT_EQ(usb["vendor_id"], "3a7e");
    EXPECT_EQ(usb["product_id"], "5e10");
    EXPECT_EQ(usb["device"], (dir / "usb/dev/usb/lp0").string());
}

TEST_F(CliTest, VersionIsTheProgramsVersion) {
    const CliRun run = RunCli(dir.Path(), {"--version"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "pemberlux-cli " PEMBERLUX_VERSION "\n");
}

// A printer on a node the user may not open: the interface's message stays as
// it is, the line after it says why and what to do, and `ports` marks it.
TEST_F(CliTest, DeviceTheUserMayNotOpenIsExplained) {
    std::string why;
    if (UnprivilegedCliBinary(&why).empty()) GTEST_SKIP() << "needs pemberlux-cli runnable as a plain user: " << why;
    sim::SimPrinter printer;
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all, std::filesystem::perm_options::add);
    Attached usb(printer, Transport::Usb, dir.Path(), "3a7e", "5e10");
    Attached serial(printer, Transport::Serial, dir.Path());
    const std::string usbNode = (dir / "usb/dev/usb/lp0").string();
    const std::string serialNode = serial.Args()[1];
    for (const std::string& node : {usbNode, serialNode})
        ASSERT_TRUE(DenyAccess(node)) << node;
    std::map<std::string, std::string> env = usb.Env();
    env["XDG_CONFIG_HOME"] = "";
    env["HOME"] = "/nonexistent";

    const CliRun ports = RunCli(dir.Path(), {"ports", "--json"}, env, true);
    ASSERT_EQ(ports.code, 0) << ports.err;
    bool listed = false;
    for (const Json& row : Parse(ports)) {
        if (row["device"] != usbNode) continue;
        listed = true;
        EXPECT_EQ(row["access"], false);
    }
    EXPECT_TRUE(listed) << ports.out;
    // The same list for a user who may open it.
    for (const Json& row : Parse(RunCli(dir.Path(), {"ports", "--json"}, usb.Env()))) {
        if (row["device"] == usbNode) {
            EXPECT_EQ(row["access"], true);
        }
    }

    dir.Write("app.FW", "firmware image");
    const std::string serialBusy = "The interface is used by other program or non-existent!";
    const struct {
        std::vector<std::string> args;
        std::string command;
        std::string node;
        std::string message;
    } cases[] = {
        {{"--model", "LB-610", "--usb", "auto", "label", "get"}, "label get", usbNode, "Open the USB interface fail!"},
        {{"--model", "LB-610", "--serial", serialNode, "label", "get"}, "label get", serialNode, serialBusy},
        {{"--model", "LB-610", "--usb", "auto", "send", "--hex", "1B 40"},
         "send",
         usbNode,
         "Open the USB interface fail!"},
        {{"--model", "TR-510", "--serial", serialNode, "send", "--text", "A"}, "send", serialNode, serialBusy},
        {{"--model", "TR-510", "--serial", serialNode, "test-job", "feed"}, "test-job", serialNode, serialBusy},
        {{"--model", "LB-610", "--usb", "auto", "firmware", "app.FW"},
         "firmware",
         usbNode,
         "Open the USB interface fail!"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(dir.Path(), c.args, env, true);
        const std::string group = OwningGroup(c.node);
        // A serial line's group grants it; a USB printer also comes with the udev rule at the machine.
        const std::string advice =
            c.node == usbNode
                ? ": permission denied. Logged in at this machine, the udev rule of the pemberlux package gives you "
                  "the printer (install it, then plug the printer in again); over ssh, add your user to the group \"" +
                      group + "\" (sudo usermod -aG " + group + " $USER) and log in again.\n"
                : ": permission denied. The device belongs to the group \"" + group +
                      "\": add your user to it (sudo usermod -aG " + group + " $USER) and log in again.\n";
        EXPECT_EQ(run.code, 3) << c.command << ": " << run.err;
        EXPECT_EQ(run.err, "pemberlux-cli: " + c.command + ": " + c.message + "\npemberlux-cli: " + c.command + ": " +
                               c.node + advice);
    }
}

TEST_F(CliTest, HelpNamesEveryCommandAndTheExitCodes) {
    const CliRun run = RunCli(dir.Path(), {"--help"});
    EXPECT_EQ(run.code, 0);
    for (const char* word : {"label", "receipt", "send", "test-job", "firmware", "ports", "profile", "Exit codes",
                             "5    verification found a difference", "fleet", "7    fleet: some printers failed"})
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
}

} // namespace
} // namespace pemberlux::test
