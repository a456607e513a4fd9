// The window platform every page builds on: messages, workers, timers, boxes,
// keys and the small core helpers beside them.
#include "QtTestSupport.h"
#include "TempDir.h"
#include "core/base/FileFilter.h"
#include "core/base/SerialDevices.h"
#include "core/base/UiText.h"
#include "ui/toolkit/FileDialog.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Messages.h"
#include "ui/toolkit/Platform.h"
#include "ui/toolkit/Window.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;
using test::WaitUntil;

class Probe final : public CDialog {
public:
    enum : int { IDC_LABEL = 2000, IDC_BUTTON = 2001 };

    Probe() : CDialog(109) {
        Bind(IDC_LABEL, new QLabel(QStringLiteral("Start"), this));
        auto* button = Bind(IDC_BUTTON, new QPushButton(QStringLiteral("&Press"), this));
        button->move(0, 30);
        connect(button, &QPushButton::clicked, this, [this] { ++presses; });
    }
    ~Probe() override { StopWorkers(); }

    std::atomic<int> timerTicks{0};
    std::atomic<int> presses{0};
    // The baud rate of every WM_SETTINGS_CHANGED record and whether it arrived
    // on the GUI thread; the numbers of the other messages.
    std::vector<std::pair<std::string, bool>> settingsMessages;
    std::vector<int> otherMessages;

protected:
    void OnMessage(const MessageEvent& message) override {
        if (const auto* settings = message.As<SettingsChangedEvent>())
            settingsMessages.emplace_back(settings->settings.baudRate, QThread::currentThread() == qApp->thread());
        else
            otherMessages.push_back(message.Message());
    }
    void OnTimer(int id) override {
        if (id == 7) ++timerTicks;
    }
};

TEST(PrivateMessages, AreHandledSynchronouslyOnTheGuiThreadAlsoFromAWorker) {
    Probe probe;
    PortSettings record;
    record.baudRate = "19200";
    SendMessage(&probe, SettingsChangedEvent(record));
    ASSERT_EQ(probe.settingsMessages.size(), 1u); // handled before the call returned
    EXPECT_EQ(probe.settingsMessages[0].first, "19200");

    std::atomic<std::size_t> handledWhenBack{0};
    probe.StartJob({}, [&](std::stop_token) {
        // The record lives on the worker's stack: the worker waits while the GUI thread reads it.
        PortSettings fromWorker;
        fromWorker.baudRate = "38400";
        SendMessage(&probe, SettingsChangedEvent(fromWorker));
        handledWhenBack = probe.settingsMessages.size();
    });
    ASSERT_TRUE(WaitUntil([&] { return probe.WorkersRunning() == 0; }));
    EXPECT_EQ(handledWhenBack.load(), 2u);
    ASSERT_EQ(probe.settingsMessages.size(), 2u);
    EXPECT_EQ(probe.settingsMessages[1], std::make_pair(std::string("38400"), true));

    SendMessage(&probe, PortChangedEvent(PORT_USB, record));
    SendMessage(&probe, RefreshFieldsEvent());
    EXPECT_EQ(probe.otherMessages, (std::vector<int>{WM_PORT_CHANGED, WM_REFRESH_FIELDS}));
}

TEST(PrivateMessages, EachClassHasItsNumberAndIsTakenOnlyForItself) {
    PortSettings record, before;
    const std::string model = "LB-610";
    const ModelChangedEvent modelChanged(record, model);
    const SerialSetEvent serialSet(record, before);
    const ParallelSetEvent parallelSet(record);
    const NetworkSetEvent networkSet(record);
    const PortChangedEvent portChanged(PORT_LAN, record);
    const SettingsChangedEvent settingsChanged(record);
    const RefreshFieldsEvent refreshFields;
    const std::pair<const MessageEvent*, int> messages[] = {
        {&modelChanged, 0x401}, {&serialSet, 0x402},       {&parallelSet, 0x403},   {&networkSet, 0x404},
        {&portChanged, 0x405},  {&settingsChanged, 0x406}, {&refreshFields, 0x407},
    };
    for (const auto& [message, number] : messages) {
        EXPECT_EQ(static_cast<int>(message->type()), number);
        EXPECT_TRUE(IsPrivateMessage(message)) << number;
        EXPECT_EQ(message->As<SettingsChangedEvent>() != nullptr, number == 0x406) << number;
    }
    EXPECT_EQ(modelChanged.As<ModelChangedEvent>(), &modelChanged);
    EXPECT_EQ(&modelChanged.As<ModelChangedEvent>()->modelName, &model); // the sender's record, not a copy
    EXPECT_EQ(&serialSet.As<SerialSetEvent>()->before, &before);
    EXPECT_EQ(portChanged.As<PortChangedEvent>()->portKind, PORT_LAN);

    // Another event that happens to carry a message number is not taken for a message.
    QEvent stranger(static_cast<QEvent::Type>(WM_SETTINGS_CHANGED));
    EXPECT_FALSE(IsPrivateMessage(&stranger));
    EXPECT_EQ(MessageAs<SettingsChangedEvent>(&stranger), nullptr);
}

TEST(Workers, StoppingReleasesAWorkerWaitingForTheGuiThread) {
    auto probe = std::make_unique<Probe>();
    std::atomic<bool> started{false};
    std::atomic<int> calls{0};
    std::atomic<bool> lastResult{true};
    probe->StartJob({}, [&](std::stop_token) {
        started = true;
        // The GUI thread is not running events, so this waits until Stop.
        lastResult = RunOnGuiThread([&] { ++calls; });
    });
    while (!started)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    probe->StopWorkers(); // must not hang
    EXPECT_FALSE(lastResult.load());
    probe.reset();
    QApplication::processEvents(); // the queued call finds its owner gone and does nothing
    EXPECT_EQ(calls.load(), 0);
}

TEST(Workers, ChangeControlsThroughTheGuiThread) {
    Probe probe;
    probe.StartJob({}, [&](std::stop_token) {
        probe.EnableControl(Probe::IDC_BUTTON, false);
        probe.SetControlText(Probe::IDC_LABEL, "Done");
    });
    ASSERT_TRUE(WaitUntil([&] { return probe.WorkersRunning() == 0; }));
    EXPECT_FALSE(probe.Control(Probe::IDC_BUTTON)->isEnabled());
    EXPECT_EQ(probe.ControlText(Probe::IDC_LABEL), "Done");
    EXPECT_EQ(probe.Control(Probe::IDC_LABEL)->accessibleName(), "Done");
    EXPECT_EQ(probe.Control(Probe::IDC_BUTTON)->accessibleName(), "Press");
    EXPECT_EQ(probe.Control(Probe::IDC_BUTTON)->objectName(), "IDC_2001");
}

TEST(Timers, ArmedFromAWorkerTickOnTheGuiThreadUntilKilled) {
    Probe probe;
    probe.StartJob({}, [&](std::stop_token) { probe.SetTimer(7, 20); });
    ASSERT_TRUE(WaitUntil([&] { return probe.timerTicks >= 3; }, 5s));
    EXPECT_TRUE(probe.TimerActive(7));
    probe.StartJob({}, [&](std::stop_token) { probe.KillTimer(7); });
    ASSERT_TRUE(WaitUntil([&] { return probe.WorkersRunning() == 0; }));
    EXPECT_FALSE(probe.TimerActive(7));
    const int ticks = probe.timerTicks;
    test::RunEventsFor(100ms);
    EXPECT_EQ(probe.timerTicks.load(), ticks);
}

TEST(MessageBoxes, AWorkersBoxRunsOnTheGuiThreadAndHoldsTheWorkerUntilClosed) {
    Probe probe;
    std::atomic<bool> returned{false};
    QString shownText;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    bool workerWaited = false;
    test::WhenModalShown([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        shownText = box->text();
        shownIcon = box->icon();
        test::RunEventsFor(50ms);
        workerWaited = !returned;
        EXPECT_EQ(box->accessibleDescription(), box->text());
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    probe.StartJob({}, [&](std::stop_token) {
        SetThreadUiLanguage(LANG_CHINESE);
        ShowString(&probe, StringId{159}, MessageIcon::Warning);
        returned = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return returned.load(); }));
    EXPECT_TRUE(workerWaited);
    EXPECT_EQ(shownText.toStdString(), "数据发送失败，检查打印机是否已连接！");
    EXPECT_EQ(shownIcon, QMessageBox::Warning);
}

// Qt's standard buttons follow the window's language; the English ones come
// back with English.
TEST(MessageBoxes, StandardButtonsAndFileDialogsSpeakTheWindowsLanguage) {
    struct Case {
        int lang;
        const char* ok;
        const char* cancel;
    } const cases[] = {{LANG_CHINESE, "确定", "取消"}, {LANG_ENGLISH, "OK", "Cancel"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lang);
        if (!UseQtTranslations(c.lang))
            GTEST_SKIP() << "Qt's own Chinese texts are not installed here (scripts/bootstrap installs them)";
        QString ok, cancel, fileCancel;
        test::WhenModalShown([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            ok = box->button(QMessageBox::Ok)->text();
            cancel = box->button(QMessageBox::Cancel)->text();
            box->button(QMessageBox::Cancel)->click();
        });
        EXPECT_EQ(ShowMessage(nullptr, "?", MessageIcon::Question, MessageButtons::OkCancel), MessageReply::Cancel);
        test::WhenModalShown([&](QWidget* w) {
            auto* buttons = w->findChild<QDialogButtonBox*>();
            ASSERT_NE(buttons, nullptr);
            fileCancel = buttons->button(QDialogButtonBox::Cancel)->text();
            buttons->button(QDialogButtonBox::Cancel)->click();
        });
        EXPECT_EQ(GetOpenFileName(nullptr, "All|*.*||"), std::nullopt);
        EXPECT_EQ(ok.toStdString(), c.ok);
        EXPECT_EQ(cancel.toStdString(), c.cancel);
        EXPECT_EQ(fileCancel.toStdString(), c.cancel);
    }
}

TEST(MessageBoxes, TheRecorderTakesTheirPlaceOnEveryThread) {
    MessageRecorder recorder;
    SetThreadUiLanguage(LANG_ENGLISH);
    EXPECT_EQ(ShowString(nullptr, StringId{174}, MessageIcon::Stop), MessageReply::Ok);
    std::thread([] { ShowPortError(nullptr, PortErrorCode::Open, PORT_LAN); }).join();
    std::thread([] {
        ShowPortError(nullptr, PortErrorCode::Write, PORT_COM);
    }).join(); // write errors have no open message
    ASSERT_EQ(recorder.Count(), 2u);
    EXPECT_EQ(recorder.Messages()[0].text, "Communication is time out!");
    EXPECT_EQ(recorder.Messages()[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(recorder.Messages()[0].fromGuiThread);
    EXPECT_EQ(recorder.Messages()[1].text,
              "Lan connect fail. Please ensure the wire is connecting and the IP is valid.");
    EXPECT_EQ(recorder.Messages()[1].icon, MessageIcon::Warning);
    EXPECT_FALSE(recorder.Messages()[1].fromGuiThread);
    recorder.SetReply(MessageReply::Cancel);
    EXPECT_EQ(ShowMessage(nullptr, "?", MessageIcon::Question, MessageButtons::YesNo), MessageReply::No);
}

TEST(Keys, EnterAndEscapeNeitherCloseTheWindowNorPressAButton) {
    Probe probe;
    probe.show();
    auto* button = probe.ControlAs<QPushButton>(Probe::IDC_BUTTON);
    button->setDefault(true);
    button->setFocus();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(button, key);
    QTest::keyClick(&probe, Qt::Key_Escape);
    EXPECT_TRUE(probe.isVisible());
    EXPECT_EQ(probe.presses.load(), 0);
    QTest::keyClick(button, Qt::Key_Space); // other keys still work
    EXPECT_EQ(probe.presses.load(), 1);
}

TEST(ToolTips, AppearAfterHalfASecond) {
    EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 500);
}

TEST(FileDialogs, FiltersOfTheStringTable) {
    SetThreadUiLanguage(LANG_ENGLISH);
    std::vector<FileFilterEntry> data = ParseFileFilter(LoadUiString(158));
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].name, "Data File(*.hex;*.txt)");
    EXPECT_EQ(data[0].patterns, (std::vector<std::string>{"*.hex", "*.txt"}));
    EXPECT_TRUE(MatchesFileFilter(data[0], "job.hex"));
    EXPECT_FALSE(MatchesFileFilter(data[0], "job.bin"));
    EXPECT_TRUE(MatchesFileFilter(data[1], "anything"));
    std::vector<FileFilterEntry> firmware = ParseFileFilter(LoadUiString(163, LANG_CHINESE));
    ASSERT_EQ(firmware.size(), 2u);
    EXPECT_EQ(firmware[1].name, "字库文件(*.bin)");
    EXPECT_TRUE(ParseFileFilter("").empty());
}

TEST(FileDialogs, TheRecorderHandsOutTheNextNames) {
    FileDialogRecorder dialogs;
    dialogs.SetNextFileName("/tmp/a.fw");
    dialogs.SetNextCancel();
    EXPECT_EQ(GetOpenFileName(nullptr, "Firmware File(*.fw)|*.fw||"), std::optional<std::string>("/tmp/a.fw"));
    std::optional<std::string> fromWorker = "unset";
    std::thread([&] { fromWorker = GetOpenFileName(nullptr, "All|*.*||"); }).join();
    EXPECT_EQ(fromWorker, std::nullopt);
    EXPECT_EQ(dialogs.Filters(), (std::vector<std::string>{"Firmware File(*.fw)|*.fw||", "All|*.*||"}));
}

TEST(SerialDevices, AdaptersInNaturalOrder) {
    test::TempDir dev;
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty", "rfcomm1", "ttyUSB"})
        dev.Write(name, "");
    EXPECT_EQ(ListSerialDevices(dev.Path()),
              (std::vector<std::string>{(dev / "ttyUSB2").string(), (dev / "ttyUSB10").string(),
                                        (dev / "ttyACM0").string(), (dev / "rfcomm1").string()}));
    EXPECT_TRUE(ListSerialDevices(dev / "missing").empty());
}

} // namespace
} // namespace pemberlux
