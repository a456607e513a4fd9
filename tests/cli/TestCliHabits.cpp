// pemberlux-cli next to the command lines people like: what it says about bad
// input, its exit codes, what a printer's text may do to a terminal, the
// question before a command that cannot be undone, the shell completion and
// the language of its own messages.
#include "CliFixture.h"
#include "LabelPrinterSim.h"
#include "Pty.h"
#include "Stalls.h"
#include "cli/Values.h"
#include "core/base/SettingsFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <poll.h>
#include <pty.h>
#include <set>
#include <sstream>

namespace pemberlux::test {
namespace {

// Every line the command wrote to stderr carries the program's name.
void ExpectPrefixed(const std::string& err) {
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.rfind("pemberlux-cli: ", 0), 0u) << line;
}

TEST_F(CliTest, BadCommandsAndOptionsNameThemselvesAndTheNearest) {
    const struct {
        std::vector<std::string> args;
        std::string says; // the whole of stderr
    } cases[] = {
        {{"frobnicate"}, "pemberlux-cli: 'frobnicate' is not a command; see --help\n"},
        {{"labl", "get"}, "pemberlux-cli: 'labl' is not a command; did you mean 'label'?\n"},
        {{"label", "frobnicate"}, "pemberlux-cli: label: 'frobnicate' is not a command; see --help\n"},
        {{"label", "calibrat"}, "pemberlux-cli: label: 'calibrat' is not a command; did you mean 'calibrate'?\n"},
        {{"label", "get", "--jsno"}, "pemberlux-cli: label get: '--jsno' is not an option; did you mean '--json'?\n"},
        {{"label", "get", "--frob=1"}, "pemberlux-cli: label get: '--frob' is not an option; see --help\n"},
        // The options of the command itself and the shared ones are both near.
        {{"profile", "apply", "p.json", "--verfy"},
         "pemberlux-cli: profile apply: '--verfy' is not an option; did you mean '--verify'?\n"},
        {{"label", "get", "extra"}, "pemberlux-cli: label get: unexpected argument 'extra'; see --help\n"},
        {{"label"},
         "pemberlux-cli: label: a command is needed: get, set, reset, calibrate, self-test, info; see "
         "--help\n"},
        {{"label", "set"}, "pemberlux-cli: label set: 'assignments' is missing; see --help\n"},
        {{"label", "get", "--model"}, "pemberlux-cli: label get: '--model' needs a value; see --help\n"},
        // A command's own option before the command: where it belongs.
        {{"--yes", "firmware", "x.FW"},
         "pemberlux-cli: firmware: '--yes' is an option of 'firmware': give it after the command (firmware --yes)\n"},
        {{"--verify", "profile", "apply", "p.json"},
         "pemberlux-cli: profile apply: '--verify' is an option of 'profile apply': give it after the command "
         "(profile apply --verify)\n"},
        {{"--timeout", "soon", "label", "get"}, "pemberlux-cli: label get: --timeout: 'soon' is not a number\n"},
        {{"--lang", "fr", "label", "get"}, "pemberlux-cli: label get: --lang takes en or zh, not 'fr'\n"},
        // A library's refusal carries the command too.
        {{"--tcp", "127.0.0.1", "label", "set", "peeler=maybe"},
         "pemberlux-cli: label set: peeler: 'maybe' is not one of: Off, On\n"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(dir.Path(), c.args);
        EXPECT_EQ(run.code, 2) << c.says;
        EXPECT_EQ(run.err, c.says);
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(CliTest, CommandHelpShowsTheSharedOptionsAndPointsToTheExitCodes) {
    for (const std::vector<std::string>& command : {std::vector<std::string>{"label", "get", "--help"},
                                                    std::vector<std::string>{"net", "set", "--help"},
                                                    std::vector<std::string>{"firmware", "--help"}}) {
        const CliRun run = RunCli(dir.Path(), command);
        EXPECT_EQ(run.code, 0);
        for (const char* word : {"Connection:", "--tcp", "--model", "Output:", "--json", "--raw", "--kv-port",
                                 "Exit codes: as pemberlux-cli --help"})
            EXPECT_NE(run.out.find(word), std::string::npos) << command[0] << ": " << word;
        EXPECT_EQ(run.out.find("verification found a difference"), std::string::npos) << command[0];
    }
    // The commands of a group list the group's options too.
    for (const char* task : {"inventory", "apply", "firmware"}) {
        const CliRun run = RunCli(dir.Path(), {"fleet", task, "--help"});
        EXPECT_EQ(run.code, 0) << task;
        for (const char* word : {"fleet options:", "--targets", "--discover", "--seconds", "--parallel",
                                 "--printer-timeout", "--report", "Connection:", "--model"})
            EXPECT_NE(run.out.find(word), std::string::npos) << task << ": " << word;
    }
}

// A label printer whose serial number holds terminal controls.
class HostilePrinter : public sim::LabelPrinterSim {
public:
    static constexpr const char* SERIAL = "SN\x1b]0;owned\x07\x1b[2J\x7f\\7";

protected:
    std::vector<sim::Answer> Respond(const std::uint8_t* data, std::size_t size) override {
        auto answers = LabelPrinterSim::Respond(data, size);
        const std::string serial = SerialNumber();
        for (sim::Answer& a : answers) {
            std::string text(a.bytes.begin(), a.bytes.end());
            if (const auto at = text.find(serial); at != std::string::npos) {
                text.replace(at, serial.size(), SERIAL);
                a.bytes.assign(text.begin(), text.end());
            }
        }
        return answers;
    }
};

TEST_F(CliTest, APrintersTextCannotDriveTheTerminal) {
    const std::string escaped = "serial_number: SN\\x1b]0;owned\\x07\\x1b[2J\\x7f\\\\7\n";
    HostilePrinter printer;
    Attached link(printer, Transport::Tcp, dir.Path());
    // On a terminal, and piped (where it may still reach one), the controls are written out.
    {
        Pty terminal;
        CliProcess cli(dir.Path(), {"--model", "LB-610", link.Args()[0], link.Args()[1], "label", "info"}, {}, false,
                       {"/dev/null", terminal.Path(), ""});
        const CliRun run = cli.Wait();
        ASSERT_EQ(run.code, 0) << run.err;
        const std::string shown = terminal.Receive(4096, 2s);
        EXPECT_NE(shown.find(escaped), std::string::npos) << shown;
        EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
    }
    const CliRun piped = Cli(link, "LB-610", {"label", "info"});
    EXPECT_NE(piped.out.find(escaped), std::string::npos) << piped.out;
    // --raw gives the bytes as they came; JSON has its own escapes.
    const CliRun raw = Cli(link, "LB-610", {"label", "info", "--raw"});
    EXPECT_NE(raw.out.find(std::string("serial_number: ") + HostilePrinter::SERIAL + "\n"), std::string::npos);
    const CliRun json = Cli(link, "LB-610", {"label", "info", "--json"});
    EXPECT_NE(json.out.find(R"("SN\u001b]0;owned\u0007\u001b[2J)"), std::string::npos) << json.out;

    // The Bluetooth name's bytes are characters of their codes: 9B is CSI, a C1 control.
    sim::BluetoothModuleState module = printer.Bluetooth();
    module.name = "BT\x9B[2J";
    printer.SetBluetooth(module);
    const CliRun bt = Cli(link, "LB-610", {"bluetooth", "get"});
    ASSERT_EQ(bt.code, 0) << bt.err;
    EXPECT_NE(bt.out.find("name: BT\\u009b[2J\n"), std::string::npos) << bt.out;
    EXPECT_EQ(bt.out.find("\xC2\x9B"), std::string::npos) << bt.out;
}

TEST_F(CliTest, EveryExitCodeIsReachedAndDocumented) {
    dir.Write("p.json", R"({"model":"LB-610","family":"label","settings":{"print_speed":"4"}})");
    dir.Write("big.bin", std::string(32u << 20, 'x'));
    sim::LabelPrinterSim printer, silent;
    sim::Faults quiet, cut;
    quiet.silent = true;
    cut.shortAnswer = 10;
    silent.SetFaults(quiet);
    sim::TcpServer server(printer), mute(silent);
    const std::string live = "127.0.0.1:" + std::to_string(server.Port());
    std::uint16_t closed;
    {
        sim::LabelPrinterSim gone;
        sim::TcpServer s(gone);
        closed = s.Port();
    }
    Listener stalled(false); // takes the connection, never reads
    sim::LabelPrinterSim shortPrinter;
    shortPrinter.SetFaults(cut);
    sim::TcpServer shortServer(shortPrinter);
    const struct {
        int code;
        std::vector<std::string> args;
        std::string says; // part of stderr
    } cases[] = {
        {0, {"--tcp", live, "label", "get"}, ""},
        {1, {"--tcp", "127.0.0.1:" + std::to_string(shortServer.Port()), "label", "get"}, "get printer's setting"},
        {2, {"label", "frobnicate"}, "not a command"},
        // The line names where the command went.
        {3,
         {"--tcp", "127.0.0.1:" + std::to_string(closed), "label", "get"},
         "pemberlux-cli: label get: 127.0.0.1:" + std::to_string(closed) + ": Lan connect fail."},
        {4,
         {"--tcp", "127.0.0.1:" + std::to_string(mute.Port()), "--timeout", "300", "label", "get"},
         "127.0.0.1:" + std::to_string(mute.Port()) + ": Communication is time out!"},
        // A printer that stops taking data has timed out; it did not refuse.
        {4, {"--tcp", "127.0.0.1:" + std::to_string(stalled.Port()), "send", "--file", "big.bin"}, "127.0.0.1:"},
        {5, {"--model", "LB-610", "--tcp", live, "profile", "diff", "p.json"}, "the settings differ"},
        {6, {"profile", "diff", "p.json", "missing.json"}, "missing.json: cannot be read: No such file or directory"},
        // Every file names the system's reason.
        {6,
         {"send", "--file", "missing.bin"},
         "missing.bin: The file cannot be opened or read. (No such file or directory)"},
        {6,
         {"fleet", "inventory", "--targets", "missing.txt"},
         "missing.txt: cannot be read: No such file or directory"},
        {6,
         {"--model", "LB-610", "--tcp", live, "fleet", "firmware", "missing.FW"},
         "missing.FW: cannot be read: No such file or directory"},
        {7, {"fleet", "inventory", "--targets", "fleet.txt"}, "1 of 1 printers failed"},
    };
    dir.Write("fleet.txt", "tcp:127.0.0.1:" + std::to_string(closed) + " LB-610\n");
    std::set<int> reached;
    for (const auto& c : cases) {
        const CliRun run = RunCli(dir.Path(), c.args);
        EXPECT_EQ(run.code, c.code) << c.says << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        ExpectPrefixed(run.err);
        reached.insert(run.code);
    }
    // Ctrl-C during an exchange.
    CliProcess waiting(dir.Path(), {"--tcp", "127.0.0.1:" + std::to_string(mute.Port()), "--timeout", "60000", "label",
                                    "get"});
    std::this_thread::sleep_for(300ms);
    waiting.Signal(SIGINT);
    const CliRun interrupted = waiting.Wait();
    EXPECT_EQ(interrupted.code, 130) << interrupted.err;
    reached.insert(interrupted.code);

    // The help's table (which the manual page shows) lists exactly the codes there are.
    const std::string help = RunCli(dir.Path(), {"--help"}).out;
    std::set<int> documented;
    std::istringstream table(help.substr(help.find("Exit codes:")));
    for (std::string line; std::getline(table, line);)
        if (line.size() > 2 && line.rfind("  ", 0) == 0 && std::isdigit(static_cast<unsigned char>(line[2])))
            documented.insert(std::stoi(line));
    EXPECT_EQ(documented, reached);
}

// ---- Questions before commands that cannot be undone --------------------------------

TEST_F(CliTest, DestructiveCommandsAskOnATerminalOnly) {
    const struct {
        std::vector<std::string> command;
        std::size_t bytes; // what the command sends when it goes ahead
    } commands[] = {
        {{"label", "reset"}, 9},
        {{"wifi", "reset"}, 9},
        {{"bluetooth", "restore"}, 0},
    };
    for (const auto& c : commands) {
        const struct {
            const char* what;
            bool terminal;
            const char* answer;
            bool yes;
            int code;
            bool asked;
        } cases[] = {
            {"no", true, "n\n", false, 130, true},
            {"no by default", true, "\n", false, 130, true},
            {"yes", true, "y\n", false, 0, true},
            {"--yes", true, "", true, 0, false},
            {"a script", false, "", false, 0, false},
        };
        for (const auto& k : cases) {
            sim::LabelPrinterSim printer;
            Attached link(printer, Transport::Tcp, dir.Path());
            std::vector<std::string> args = {"--model", "LB-610", link.Args()[0], link.Args()[1]};
            args.insert(args.end(), c.command.begin(), c.command.end());
            if (k.yes) args.push_back("--yes");
            Pty terminal;
            CliProcess cli(dir.Path(), args, {}, false, {k.terminal ? terminal.Path() : "/dev/null", "", ""});
            const std::string what = c.command[0] + " " + k.what;
            const std::string question = "pemberlux-cli: " + c.command[0] + " " + c.command[1] + ": ";
            if (k.asked) {
                const auto until = std::chrono::steady_clock::now() + 30s;
                while (cli.Stderr().find("[y/N]") == std::string::npos && std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(10ms);
                terminal.Send(k.answer);
            }
            const CliRun run = cli.Wait();
            EXPECT_EQ(run.code, k.code) << what << ": " << run.err;
            EXPECT_EQ(run.err.find("[y/N]") != std::string::npos, k.asked) << what << ": " << run.err;
            if (k.asked) {
                EXPECT_EQ(run.err.rfind(question, 0), 0u) << run.err;
                EXPECT_NE(run.err.find(link.Args()[1]), std::string::npos) << what << ": the question names the printer";
            }
            if (k.code == 0) {
                EXPECT_TRUE(printer.WaitForBytes(std::max<std::size_t>(c.bytes, 1), 10s)) << what;
            } else {
                std::this_thread::sleep_for(50ms);
                EXPECT_EQ(printer.Chunks(), 0u) << what << ": nothing may be sent";
                EXPECT_NE(run.err.find("not confirmed"), std::string::npos) << run.err;
            }
        }
    }
}

// ---- Shell completion ---------------------------------------------------------------

// Runs `script` in `shell` with the completion script loaded; its output.
std::string InShell(const TempDir& dir, const std::string& shell, const std::string& script) {
    const CliRun generated = RunCli(dir.Path(), {"completion", shell});
    EXPECT_EQ(generated.code, 0) << generated.err;
    const std::filesystem::path file = dir / ("completion." + shell);
    std::ofstream(file) << generated.out;
    std::ofstream(dir / "run.sh") << script;
    // zsh without the user's startup files.
    const std::string command = shell + (shell == "zsh" ? " -f " : " ") + (dir / "run.sh").string() + " " +
                                file.string() + " > " + (dir / "shell.out").string() + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(dir / "shell.out");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(CliTest, BashCompletesCommandsOptionsKeysAndValues) {
    // The words as bash hands them over: "key=value" is split at "=".
    const std::string script = R"(source "$1"
t() { COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=(); _pemberlux_cli
      echo "${COMPREPLY[*]}"; }
t pemberlux-cli label set pr
t pemberlux-cli --tcp 127.0.0.1 label set print_speed = ""
t pemberlux-cli label set print_media = Con
t pemberlux-cli --model ""
t pemberlux-cli pro
t pemberlux-cli --model TR-520 receipt ""
t pemberlux-cli label get --js
t pemberlux-cli test-job full
t pemberlux-cli net set 00-11-22-33-44-55 dh
t pemberlux-cli --lang = ""
)";
    const std::string out = InShell(dir, "bash", script);
    const std::string expected = "print_media= print_method= print_density= printer_language= print_speed= "
                                 "print_home_offset= print_position_detection=\n"
                                 "1 2 3 4\n"
                                 "Continuous\\ Paper\n"
                                 "LB-610 LB-710 TR-510 TR-520 LB-600 TR-530\n"
                                 "profile\n"
                                 "get set restore\n"
                                 "--json\n"
                                 "full-cut\n"
                                 "dhcp=\n"
                                 "en zh\n";
    EXPECT_EQ(out, expected);
}

// Types each of `lines` into an interactive bash on a terminal that has the
// completion loaded (TAB as "\t"), then has bash echo the words the line holds
// after completion: one "[words]" for each line.
std::vector<std::string> TypedInBash(const TempDir& dir, const std::vector<std::string>& lines) {
    const CliRun generated = RunCli(dir.Path(), {"completion", "bash"});
    EXPECT_EQ(generated.code, 0) << generated.err;
    const std::string rc = (dir / "bashrc").string();
    std::ofstream(rc) << generated.out << "PS1='$ '\n";
    std::string home = "HOME=" + dir.Path().string(), term = "TERM=dumb", inputrc = "INPUTRC=/dev/null",
                path = std::string("PATH=") + std::getenv("PATH");
    char* envp[] = {home.data(), term.data(), inputrc.data(), path.data(), nullptr};
    const char* argv[] = {"bash", "--noprofile", "--rcfile", rc.c_str(), "-i", nullptr};
    std::string keys;
    for (const std::string& line : lines)
        keys += line + "\x01set -- \r" + "echo \"[$*]\"\r";
    keys += "exit\r";
    int terminal = -1;
    const pid_t bash = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (bash == 0) {
        ::execve("/bin/bash", const_cast<char**>(argv), envp);
        ::_exit(127);
    }
    EXPECT_GT(bash, 0);
    if (bash < 0) return {};
    EXPECT_EQ(::write(terminal, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    // Everything the terminal shows, until bash has gone (a bound against a hang).
    std::string shown;
    const auto until = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < until) {
        pollfd fd{terminal, POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(terminal, buffer, sizeof buffer);
        if (n <= 0) break;
        shown.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(terminal);
    ::kill(bash, SIGKILL);
    ::waitpid(bash, nullptr, 0);
    std::vector<std::string> echoed;
    std::istringstream out(shown);
    for (std::string line; std::getline(out, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 1 && line.front() == '[' && line.back() == ']') echoed.push_back(line);
    }
    return echoed;
}

// What a user gets, where bash splits the line at "=" and ":" itself.
TEST_F(CliTest, CompletionWorksInAnInteractiveBash) {
    const std::vector<std::string> typed =
        TypedInBash(dir, {"pemberlux-cli label set print_speed=\t2", "pemberlux-cli label set print_media=\tCon\t",
                          "pemberlux-cli --lang=\tz\t label get", "pemberlux-cli --model TR-53\tlabel info",
                          "pemberlux-cli net set dh\tof\t", "pemberlux-cli net set 00:11:22:33:44:55 gat\t10.0.0.1"});
    const std::vector<std::string> expected = {
        "[pemberlux-cli label set print_speed=2]", "[pemberlux-cli label set print_media=Continuous Paper]",
        "[pemberlux-cli --lang=zh label get]",     "[pemberlux-cli --model TR-530 label info]",
        "[pemberlux-cli net set dhcp=off]",        "[pemberlux-cli net set 00:11:22:33:44:55 gateway=10.0.0.1]",
    };
    EXPECT_EQ(typed, expected);
}

TEST_F(CliTest, ZshCompletesTheSameWords) {
    if (std::system("command -v zsh > /dev/null") != 0) GTEST_SKIP() << "zsh is not installed (scripts/bootstrap)";
    // compadd offers what matches the word being completed.
    const std::string script = R"(
compadd() { local x; [[ $1 == -S ]] && shift 2; [[ $1 == -- ]] && shift
            for x in "$@"; do [[ $x == ${words[CURRENT]}* ]] && print -rn -- "$x "; done; }
t() { words=("$@"); CURRENT=${#words}; source "$FILE"; print; }
FILE=$1
t pemberlux-cli label set pr
t pemberlux-cli label set print_speed=
t pemberlux-cli --model LB
)";
    EXPECT_EQ(InShell(dir, "zsh", script),
              "print_media= print_method= print_density= printer_language= print_speed= print_home_offset= "
              "print_position_detection= \n"
              "print_speed=1 print_speed=2 print_speed=3 print_speed=4 \n"
              "LB-610 LB-710 LB-600 \n");
}

// ---- Language -------------------------------------------------------------------------

TEST_F(CliTest, OwnMessagesFollowTheLocale) {
    PortSettings english = DefaultPortSettings();
    english.language = "English";
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        bool settingsFile; // one that says English
        std::string says;
        int code = 2;
    } cases[] = {
        {"--lang zh", {"--lang", "zh", "label", "frobnicate"}, {}, false, "label: “frobnicate”不是命令；请参阅 --help"},
        {"the locale",
         {"label", "set", "foo=1"},
         {{"LANG", "zh_CN.UTF-8"}, {"LC_ALL", ""}},
         false,
         "label set: 未知设置项“foo”"},
        // The window's language in its settings file is not the command line's.
        {"the locale, whatever the settings file says",
         {"label", "set", "foo=1"},
         {{"LANG", "zh_CN.UTF-8"}, {"LC_ALL", ""}},
         true,
         "label set: 未知设置项“foo”"},
        {"LC_ALL before LANG",
         {"label", "set", "foo=1"},
         {{"LANG", "C.UTF-8"}, {"LC_ALL", "zh_SG.UTF-8"}},
         false,
         "label set: 未知设置项“foo”"},
        {"--lang before the settings file", {"--lang=zh", "lable"}, {}, true, "“lable”不是命令；您是指“label”吗？"},
        {"English", {"label", "set", "foo=1"}, {{"LANG", "C.UTF-8"}, {"LC_ALL", ""}}, false, "unknown setting 'foo'"},
        {"the core's profile reader",
         {"--lang", "zh", "profile", "diff", "p.json", "p.json"},
         {},
         false,
         "p.json：不是打印机配置文件（不是 JSON 对象）",
         6},
    };
    for (const auto& c : cases) {
        TempDir here;
        if (c.settingsFile) here.Write("pemberlux.ini", FormatSettings(english));
        here.Write("p.json", "[]");
        auto env = c.env;
        env["LC_MESSAGES"] = "";
        const CliRun run = RunCli(here.Path(), c.args, env);
        EXPECT_EQ(run.code, c.code) << c.what;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.what << ": " << run.err;
    }
    // --save keeps the window's language in the file.
    TempDir here;
    here.Write("pemberlux.ini", FormatSettings(english));
    const CliRun saved =
        RunCli(here.Path(), {"--save", "ports"}, {{"LANG", "zh_CN.UTF-8"}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}});
    EXPECT_EQ(saved.code, 0) << saved.err;
    EXPECT_NE(here.Read("pemberlux.ini").find("Language=English"), std::string::npos) << here.Read("pemberlux.ini");
}

// Every text the command line gives Tr(), Usage() or Fail() is in the table of
// both languages: the literals at the head of those calls in cli/*.cpp.
TEST(CliTexts, EveryOwnMessageHasItsChineseText) {
    std::size_t found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PEMBERLUX_SOURCE_DIR "/cli")) {
        if (entry.path().extension() != ".cpp") continue;
        std::ifstream in(entry.path());
        const std::string code{std::istreambuf_iterator<char>(in), {}};
        for (std::size_t at = code.find('('); at != std::string::npos; at = code.find('(', at + 1)) {
            std::size_t start = at;
            while (start > 0 && (std::isalnum(static_cast<unsigned char>(code[start - 1])) || code[start - 1] == '_'))
                --start;
            const std::string name = code.substr(start, at - start);
            if (name != "Usage" && name != "Fail" && name != "Tr" && name != "Notice" && name != "Confirm") continue;
            // The literals of the first argument (of Fail: the second), outside nested calls.
            std::size_t i = at + 1;
            bool skip = name == "Fail";
            int depth = 0;
            std::string literal;
            bool inLiteral = false;
            for (; i < code.size(); ++i) {
                const char ch = code[i];
                if (inLiteral) {
                    if (ch == '\\') {
                        literal += code[++i] == 'n' ? '\n' : code[i];
                    } else if (ch == '"') {
                        inLiteral = false;
                    } else {
                        literal += ch;
                    }
                    continue;
                }
                if (ch == '"' && depth == 0 && !skip) {
                    inLiteral = true;
                    continue;
                }
                if (!std::isspace(static_cast<unsigned char>(ch)) && !literal.empty() && ch != '"') {
                    EXPECT_TRUE(cli::HasTranslation(literal)) << entry.path().filename() << ": \"" << literal << "\"";
                    ++found;
                    literal.clear();
                }
                if (ch == '(' || ch == '[') ++depth;
                if (ch == '{' && depth == 0) break;
                if (ch == '{') ++depth;
                if ((ch == ')' || ch == ']' || ch == '}') && depth-- == 0) break;
                if (ch == ',' && depth == 0) {
                    if (!skip) break;
                    skip = false;
                }
            }
        }
    }
    EXPECT_GT(found, 50u);
}

// The core's profile code gives the command line English formats ("%1: ...")
// to show in the user's language: each has its row as well.
TEST(CliTexts, EveryMessageFormatOfTheProfileCoreHasItsChineseText) {
    std::size_t found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PEMBERLUX_SOURCE_DIR "/src/core/profile")) {
        if (entry.path().extension() != ".cpp") continue;
        std::ifstream in(entry.path());
        const std::string code{std::istreambuf_iterator<char>(in), {}};
        for (std::size_t at = code.find('"'); at != std::string::npos; at = code.find('"', at + 1)) {
            std::string literal;
            for (++at; at < code.size() && code[at] != '"'; ++at)
                literal += code[at] == '\\' ? code[++at] : code[at];
            if (literal.find("%1") == std::string::npos) continue;
            EXPECT_TRUE(cli::HasTranslation(literal)) << entry.path().filename() << ": \"" << literal << "\"";
            ++found;
        }
    }
    EXPECT_GT(found, 10u);
}

} // namespace
} // namespace pemberlux::test
