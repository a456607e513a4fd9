#include "core/base/ReplaceFile.h"
#include "core/base/SettingsFile.h"
#include "core/base/UiText.h"
#include "core/profile/Profile.h"

#include "FileSizeLimit.h"
#include "TempDir.h"
#include "Unprivileged.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace pemberlux;
using pemberlux::test::ScopedCwd;
using pemberlux::test::ScopedEnv;
using pemberlux::test::TempDir;

namespace {

const std::string kEnglishDefaults = "[PrinterModel]\r\nPrinter Model=LB-610\r\n"
                                     "[PortType]\r\nCurPortType=3\r\n"
                                     "[COM]\r\nPortName=COM1\r\nBaudrate=9600\r\nParitySetup=None\r\n"
                                     "DataBit=8\r\nStopBit=1\r\nFlowControl=DTR\r\n"
                                     "[LPT]\r\nPortName=LPT1\r\n"
                                     "[LAN]\r\nIpAddr=169.254.1.10\r\nListenPort=9100\r\n"
                                     "[LanguageSetting]\r\nLanguage=English\r\n";

// Each case runs on a thread of its own, so the thread language starts from the
// system's as it does when the program starts.
template <typename F> void OnFreshThread(F f) {
    std::thread(f).join();
}

class SettingsFileTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedCwd cwd{dir.Path()};
    ScopedEnv lcAll{"LC_ALL", nullptr};
    ScopedEnv lcMessages{"LC_MESSAGES", nullptr};
    ScopedEnv lang{"LANG", "en_US.UTF-8"};

    PortSettings LoadFrom(const std::string& text) {
        dir.Write("pemberlux.ini", text);
        PortSettings s;
        EXPECT_TRUE(LoadSettings(s));
        return s;
    }
};

TEST_F(SettingsFileTest, FirstStartInEnglishWritesTheDefaults) {
    OnFreshThread([&] {
        EXPECT_EQ(ChooseUiLanguage(), LANG_ENGLISH);
        PortSettings s;
        EXPECT_FALSE(LoadSettings(s));
        EXPECT_EQ(s.portKind, PORT_USB);
        EXPECT_EQ(dir.Read("pemberlux.ini"), kEnglishDefaults);
    });
}

TEST_F(SettingsFileTest, FirstStartOnAChineseSystemWritesChineseDefaults) {
    ScopedEnv zh{"LANG", "zh_CN.UTF-8"};
    OnFreshThread([&] {
        EXPECT_EQ(ChooseUiLanguage(), LANG_CHINESE);
        PortSettings s;
        EXPECT_FALSE(LoadSettings(s));
        EXPECT_EQ(s.modelName, "Label Printer(200DPI)");
        std::string expected = kEnglishDefaults;
        expected.replace(expected.find("LB-610"), 6, "Label Printer(200DPI)");
        expected.replace(expected.find("English"), 7, "Chinese");
        EXPECT_EQ(dir.Read("pemberlux.ini"), expected);
    });
}

TEST_F(SettingsFileTest, StoredLanguageWinsOverTheSystem) {
    dir.Write("pemberlux.ini", "[LanguageSetting]\r\nLanguage=Chinese\r\n");
    OnFreshThread([] {
        EXPECT_EQ(ChooseUiLanguage(), LANG_CHINESE);
        EXPECT_EQ(ThreadUiLanguage(), LANG_CHINESE);
        EXPECT_EQ(LoadUiString(159), "数据发送失败，检查打印机是否已连接！");
    });
}

TEST_F(SettingsFileTest, UnknownLanguageLeavesTheSystemLanguageAndIsWrittenBack) {
    ScopedEnv zh{"LANG", "zh_SG"};
    PortSettings s = LoadFrom(kEnglishDefaults.substr(0, kEnglishDefaults.find("Language=")) + "Language=Klingon\r\n");
    OnFreshThread([] {
        EXPECT_EQ(ChooseUiLanguage(), 0);
        EXPECT_EQ(ThreadUiLanguage(), LANG_CHINESE);
    });
    EXPECT_EQ(s.language, "Klingon");
    ASSERT_TRUE(s.SaveSettings());
    EXPECT_NE(dir.Read("pemberlux.ini").find("\r\nLanguage=Klingon\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, ReadsBackWhatItWroteByteForByte) {
    PortSettings s;
    s.modelName = "TR-510";
    s.portKind = PORT_LAN;
    s.comName = "/dev/ttyUSB0";
    s.baudRate = "115200";
    s.parity = "Odd";
    s.dataBits = "7";
    s.stopBits = "2";
    s.flowControl = "Xon/Xoff";
    s.lptName = "LPT2";
    s.language = "English";
    s.ipAddress = "127.0.0.1";
    s.tcpPort = 9101;
    ASSERT_TRUE(s.SaveSettings());
    const std::string written = dir.Read("pemberlux.ini");
    PortSettings back;
    ASSERT_TRUE(LoadSettings(back));
    EXPECT_EQ(back, s);
    ASSERT_TRUE(back.SaveSettings());
    EXPECT_EQ(dir.Read("pemberlux.ini"), written);
}

TEST_F(SettingsFileTest, LookupIgnoresCaseOrderAndBlanksAndTakesTheFirstMatch) {
    PortSettings s = LoadFrom("[lan]\nlistenport = 9200 \nIPADDR=  10.0.0.5\t\n"
                              "[LAN]\nIpAddr=10.9.9.9\n"
                              "[com]\nBAUDRATE=19200\nBaudrate=38400\n"
                              "[PortType]\nCurPortType=4\n");
    EXPECT_EQ(s.tcpPort, 9200);
    EXPECT_EQ(s.ipAddress, "10.0.0.5");
    EXPECT_EQ(s.baudRate, "19200");
    EXPECT_EQ(s.portKind, PORT_LAN);
}

TEST_F(SettingsFileTest, OnePairOfSurroundingQuotesIsDropped) {
    struct Case {
        const char* written;
        const char* read;
    } const cases[] = {
        {"\"192.168.1.5\"", "192.168.1.5"},
        {"'192.168.1.5'", "192.168.1.5"},
        {"  \"192.168.1.5\"  ", "192.168.1.5"}, // blanks around the quotes go first
        {"\" 10.0.0.5 \"", " 10.0.0.5 "},       // blanks inside stay
        {"\"\"10.0.0.5\"\"", "\"10.0.0.5\""},   // only one pair
        {"\"10.0.0.5'", "\"10.0.0.5'"},         // not a pair
        {"\"10.0.0.5", "\"10.0.0.5"},
        {"10.0.0.5\"", "10.0.0.5\""},
        {"\"", "\""},
        {"\"\"", ""}, // an empty value: absent
    };
    for (const Case& c : cases) {
        const PortSettings s = LoadFrom(std::string("[LAN]\r\nIpAddr=") + c.written + "\r\nListenPort='9200'\r\n");
        EXPECT_EQ(s.ipAddress, c.read) << c.written;
        EXPECT_EQ(s.tcpPort, 9200) << c.written;
    }

    // Every key, as a hand-edited file may write them.
    const PortSettings s = LoadFrom("[PrinterModel]\r\nPrinter Model=\"LB-710\"\r\n"
                                    "[PortType]\r\nCurPortType=\"1\"\r\n"
                                    "[COM]\r\nPortName=\"COM3\"\r\nBaudrate='115200'\r\n"
                                    "[LPT]\r\nPortName=\"\"\r\n"
                                    "[LanguageSetting]\r\nLanguage=\"Chinese\"\r\n");
    EXPECT_EQ(s.modelName, "Label Printer(300DPI)");
    EXPECT_EQ(s.portKind, PORT_COM);
    EXPECT_EQ(s.comName, "COM3");
    EXPECT_EQ(s.baudRate, "115200");
    EXPECT_EQ(s.lptName, "<No Name>");
    EXPECT_EQ(s.language, "Chinese");
    OnFreshThread([] { EXPECT_EQ(ChooseUiLanguage(), LANG_CHINESE); });
}

// Whatever a file gave the program goes back out so that it reads the same:
// values the reader would trim or unquote again are written in quotes.
TEST_F(SettingsFileTest, WhatWasReadSurvivesASaveAndAnotherRead) {
    const std::string over127 = std::string(126, 'a') + " " + std::string(20, 'b'); // cut after a blank
    const std::string quoteAt127 = "\"" + std::string(125, 'q') + "\"tail";         // cut at a quote
    struct Case {
        std::string written; // as the file holds it
        std::string read;    // what the program keeps
    } const cases[] = {
        {"\"\"1\"\"", "\"1\""},
        {"'\"1\"'", "\"1\""},
        {"\"''\"", "''"},
        {"\"  10.0.0.5\"", "  10.0.0.5"},
        {"\"10.0.0.5\t\"", "10.0.0.5\t"},
        {"\" \"", " "},
        {over127, std::string(126, 'a') + " "},
        {quoteAt127, "\"" + std::string(125, 'q') + "\""},
        {"plain", "plain"},
        {"\"", "\""},
    };
    for (const Case& c : cases) {
        const PortSettings first =
            LoadFrom("[COM]\r\nPortName=" + c.written + "\r\n[LPT]\r\nPortName=" + c.written +
                     "\r\n[LAN]\r\nIpAddr=" + c.written + "\r\n[LanguageSetting]\r\nLanguage=" + c.written + "\r\n");
        EXPECT_EQ(first.comName, c.read) << c.written;
        ASSERT_TRUE(first.SaveSettings());
        const std::string saved = dir.Read("pemberlux.ini");
        PortSettings second;
        ASSERT_TRUE(LoadSettings(second));
        EXPECT_EQ(second, first) << c.written << " saved as:\n" << saved;
        // A plain value keeps the file's plain form.
        if (c.read == "plain") {
            EXPECT_NE(saved.find("\r\nIpAddr=plain\r\n"), std::string::npos) << saved;
        }
    }
}

TEST_F(SettingsFileTest, MissingValuesAreEmptiedZeroedOrNoName) {
    PortSettings s = LoadFrom("[PrinterModel]\r\nPrinter Model=\r\n");
    EXPECT_EQ(s.portKind, 0);
    EXPECT_EQ(s.comName, "");
    EXPECT_EQ(s.baudRate, "");
    EXPECT_EQ(s.parity, "");
    EXPECT_EQ(s.dataBits, "");
    EXPECT_EQ(s.stopBits, "");
    EXPECT_EQ(s.flowControl, "");
    EXPECT_EQ(s.lptName, "<No Name>");
    EXPECT_EQ(s.language, "<No Name>");
    EXPECT_EQ(s.modelName, "<No Name>");
    EXPECT_EQ(s.ipAddress, "");
    EXPECT_EQ(s.tcpPort, 0);
}

// An interface number the program does not know is kept as the file has it.
TEST_F(SettingsFileTest, AnUnknownInterfaceNumberIsWrittenBackAsItStands) {
    for (const std::string number : {"7", "-1", "0"}) {
        PortSettings s = LoadFrom("[PortType]\r\nCurPortType=" + number + "\r\n");
        ASSERT_TRUE(s.SaveSettings());
        EXPECT_NE(dir.Read("pemberlux.ini").find("\r\nCurPortType=" + number + "\r\n"), std::string::npos) << number;
    }
}

TEST_F(SettingsFileTest, AValueOfExactly126CharactersCountsAsAbsent) {
    const std::string v126(126, 'A'), v125(125, 'B'), v200(200, 'C');
    PortSettings s = LoadFrom("[COM]\nPortName=" + v126 + "\nBaudrate=" + v125 + "\nParitySetup=" + v200 +
                              "\n[LPT]\nPortName=" + v126 + "\n");
    EXPECT_EQ(s.comName, "");
    EXPECT_EQ(s.baudRate, v125);
    EXPECT_EQ(s.parity, std::string(127, 'C')); // cut to the buffer
    EXPECT_EQ(s.lptName, "<No Name>");
}

TEST_F(SettingsFileTest, ModelNamesFollowTheStoredLanguage) {
    struct Case {
        const char* language;
        const char* stored;
        const char* shown;
    } cases[] = {
        {"English", "TR-530", "TR-520"},
        {"Chinese", "TR-520", "TR-530"},
        {"Chinese", "LB-610", "Label Printer(200DPI)"},
        {"English", "Label Printer(200DPI)", "LB-610"},
        {"Chinese", "LB-710", "Label Printer(300DPI)"},
        {"English", "Label Printer(300DPI)", "LB-710"},
        {"Chinese", "LB-600", "Label Printer(200DPI)"},
        {"English", "LB-600", "LB-600"},
        {"English", "TR-520", "TR-520"},
        {"Klingon", "TR-530", "TR-530"},
    };
    for (const Case& c : cases) {
        PortSettings s = LoadFrom(std::string("[PrinterModel]\nPrinter Model=") + c.stored +
                                  "\n[LanguageSetting]\nLanguage=" + c.language + "\n");
        EXPECT_EQ(s.modelName, c.shown) << c.language << " " << c.stored;
    }
}

TEST_F(SettingsFileTest, AnInterruptedSaveLeavesTheOldFileWhole) {
    PortSettings old = DefaultPortSettings();
    ASSERT_TRUE(old.SaveSettings());
    const std::string before = dir.Read("pemberlux.ini");

    // A file-size limit makes the write fail half-way, as a full disk would.
    PortSettings changed = old;
    changed.modelName = std::string(100, 'M');
    bool saved_ok = true;
    {
        const test::ScopedFileSizeLimit limit(64);
        ASSERT_TRUE(limit.Ok());
        saved_ok = changed.SaveSettings();
    }

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(dir.Read("pemberlux.ini"), before);
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
        ++files;
    EXPECT_EQ(files, 1) << "the temporary file is removed";
}

// Every file the program writes goes through one replace: whatever stops it
// half-way, the old file stays as it was, no temporary file is left behind, and
// the caller learns the system's reason. A file-size limit cuts the write short
// as a full disk would; a folder the user may not write into refuses the
// temporary file.
TEST_F(SettingsFileTest, AFailedReplaceLeavesTheOldFileAndSaysWhy) {
    const std::string old = "the old content\n";
    const std::string longer(300, 'x');
    PortSettings settings = DefaultPortSettings();
    settings.modelName = std::string(200, 'M');
    const ProfileJson profile = MakeProfile("LB-610", PrinterFamily::Label, {{"note", longer}}, nullptr);
    // Each writer's account of the failure.
    const struct {
        const char* name;
        std::function<std::string(const std::filesystem::path&)> write;
    } writers[] = {
        {"replace", [&](const std::filesystem::path& f) { return ReplaceFile(f, longer).Reason(); }},
        {"settings file", [&](const std::filesystem::path& f) { return WriteSettingsFile(f, settings).Reason(); }},
        {"profile",
         [&](const std::filesystem::path& f) {
             try {
                 WriteProfile(f.string(), profile);
             } catch (const ProfileError& e) {
                 return std::string(e.what());
             }
             return std::string();
         }},
    };
    // Runs `write` over a file of `old` in a folder of its own, under a file-size
    // limit or with the folder read-only; what it said.
    const auto underFault = [&](bool readOnly, const std::filesystem::path& folder, const auto& write) {
        std::filesystem::create_directory(folder);
        dir.Write((folder / "f").string(), old);
        if (!readOnly) {
            const test::ScopedFileSizeLimit limit(64);
            return write(folder / "f");
        }
        std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        const test::FilePermissionsKept asAUser;
        const std::string said = write(folder / "f");
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        return said;
    };
    // Root keeps writing into a read-only folder unless it gave up that right.
    {
        std::filesystem::create_directory(dir / "probe");
        std::filesystem::permissions(dir / "probe",
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        const test::FilePermissionsKept asAUser;
        const int fd = ::open((dir / "probe" / "p").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
        std::filesystem::permissions(dir / "probe", std::filesystem::perms::owner_all);
        std::filesystem::remove_all(dir / "probe");
        if (fd >= 0) GTEST_SKIP() << "a read-only folder stays writable here (root that keeps CAP_DAC_OVERRIDE)";
    }
    for (const auto& w : writers) {
        for (const bool readOnly : {false, true}) {
            const std::filesystem::path folder = dir / (std::string(w.name) + (readOnly ? " ro" : " limit"));
            const std::string path = (folder / "f").string();
            const std::string reason = readOnly ? "Permission denied" : "File too large";
            const std::string said = underFault(readOnly, folder, w.write);
            const std::string expected =
                std::string(w.name) == "profile" ? path + ": cannot be written (" + reason + ")" : reason;
            EXPECT_EQ(said, expected) << w.name << (readOnly ? ", read-only folder" : ", size limit");
            EXPECT_EQ(dir.Read(path), old) << w.name;
            std::vector<std::string> left;
            for (const auto& e : std::filesystem::directory_iterator(folder))
                left.push_back(e.path().filename().string());
            EXPECT_EQ(left, std::vector<std::string>{"f"}) << w.name << ": the temporary file is removed";
        }
    }
}

TEST_F(SettingsFileTest, AWriteProtectedFileIsNeitherReplacedNorTakenForMissing) {
    dir.Write("pemberlux.ini", "[LanguageSetting]\r\nLanguage=Chinese\r\n");
    const std::string before = dir.Read("pemberlux.ini");
    std::filesystem::permissions(dir / "pemberlux.ini", std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::group_read |
                                                            std::filesystem::perms::others_read);
    PortSettings s = DefaultPortSettings();
    EXPECT_FALSE(s.SaveSettings());
    // Not writable counts as missing at start-up: the defaults are
    // used, and the protected file stays as it was.
    PortSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(dir.Read("pemberlux.ini"), before);
}

TEST_F(SettingsFileTest, SaveWritesThroughALinkAndKeepsTheFilesPermissions) {
    std::filesystem::create_directory(dir / "real");
    dir.Write("real/pemberlux.ini", "old");
    std::filesystem::permissions(dir / "real/pemberlux.ini",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::create_symlink(dir / "real/pemberlux.ini", dir / "pemberlux.ini");
    ASSERT_TRUE(DefaultPortSettings().SaveSettings());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "pemberlux.ini"));
    EXPECT_EQ(dir.Read("real/pemberlux.ini"), kEnglishDefaults);
    EXPECT_EQ(std::filesystem::status(dir / "real/pemberlux.ini").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A target that is no regular file is written into, not replaced: a report
// sent to a pipe reaches its reader and the pipe stays.
TEST_F(SettingsFileTest, ReplaceWritesIntoAPipeWhereItIs) {
    const std::filesystem::path fifo = dir / "report";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(ReplaceFile(fifo, "line\n"));
    char buffer[16] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 5);
    ::close(reader);
    EXPECT_EQ(std::string(buffer), "line\n");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

TEST_F(SettingsFileTest, SaveKeepsTheUsualPermissions) {
    mode_t oldMask = umask(022);
    ASSERT_TRUE(DefaultPortSettings().SaveSettings());
    umask(oldMask);
    auto perms = std::filesystem::status(dir / "pemberlux.ini").permissions();
    EXPECT_NE(perms & std::filesystem::perms::others_read, std::filesystem::perms::none);
}

} // namespace
