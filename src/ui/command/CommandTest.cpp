#include "ui/command/CommandTest.h"

#include "core/base/HexText.h"
#include "core/base/UiText.h"
#include "ui/toolkit/FileDialog.h"
#include "ui/toolkit/MessageBox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <climits>
#include <memory>

namespace pemberlux {

namespace {

std::u16string Utf16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

// The bar's range: the file's size, or a scale of it where that is beyond an int.
int BarUnits(std::uint64_t value, std::uint64_t total) {
    if (total <= static_cast<std::uint64_t>(INT_MAX)) return static_cast<int>(value);
    return static_cast<int>(static_cast<long double>(value) * INT_MAX / static_cast<long double>(total));
}

} // namespace

CCommandTest::CCommandTest(QWidget* parent) : CPage(IDD, parent) {
    BuildPage();

    SetToolTipColour(QColor(0, 0, 0));
    const std::pair<int, StringId> tips[] = {
        {IDC_INPUT, StringId::TipCommandInput},   {IDC_HEX_SEND, StringId::TipHexSend},
        {IDC_DATA_LOOP, StringId::TipLoopSend},   {IDC_SEND_DATA, StringId::TipSendData},
        {IDC_CLEAR_BOX, StringId::TipClearInput}, {IDC_FILE_PATH, StringId::TipFilePath},
        {IDC_BROWSE, StringId::TipBrowseFile},    {IDC_SEND_FILE, StringId::TipSendFile},
    };
    for (const auto& [id, stringId] : tips)
        AddToolTip(id, stringId);

    const std::pair<int, void (CCommandTest::*)()> handlers[] = {
        {IDC_SEND_DATA, &CCommandTest::OnSendData},       {IDC_CLEAR_BOX, &CCommandTest::OnClearBox},
        {IDC_STOP_SENDING, &CCommandTest::OnStopSending}, {IDC_BROWSE, &CCommandTest::OnBrowse},
        {IDC_SEND_FILE, &CCommandTest::OnSendFile},       {IDC_STOP_FILE, &CCommandTest::OnStopFile},
    };
    for (const auto& [id, handler] : handlers)
        connect(ControlAs<QPushButton>(id), &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    // Each loop box switches its interval edit.
    for (const auto& [box, edit] : {std::pair{IDC_DATA_LOOP, IDC_DATA_INTERVAL}, {IDC_FILE_LOOP, IDC_FILE_INTERVAL}}) {
        const int interval = edit;
        connect(ControlAs<QCheckBox>(box), &QCheckBox::clicked, this,
                [this, interval](bool checked) { Control(interval)->setEnabled(checked); });
    }
}

CCommandTest::~CCommandTest() {
    StopWorkers();
}

void CCommandTest::BuildPage() {
    auto* layout = new QVBoxLayout(this);
    auto addButton = [this](int id, QBoxLayout* row) {
        auto* button = Bind(id, new QPushButton(Text(std::to_string(id))));
        button->setAutoDefault(false);
        row->addWidget(button);
        return button;
    };
    // "Loop interval [    ] ms", the edit taking digits only, off until its loop box is checked.
    auto addInterval = [this](int id, QBoxLayout* row) {
        const std::string key = std::to_string(id);
        auto* label = new QLabel(Text("label." + key));
        auto* edit = Bind(id, new QLineEdit, TemplateText(IDD, "label." + key));
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        edit->setMaxLength(10);
        edit->setFixedWidth(80);
        edit->setEnabled(false);
        label->setBuddy(edit);
        row->addWidget(label);
        row->addWidget(edit);
        row->addWidget(new QLabel(Text("unit." + key)));
    };

    auto* data = new QGroupBox(Text("group.DataSend"));
    data->setAccessibleName(data->title());
    auto* dataLayout = new QVBoxLayout(data);
    auto* inputLabel = new QLabel(Text("label.1076"));
    auto* input = Bind(IDC_INPUT, new QPlainTextEdit, TemplateText(IDD, "label.1076"));
    input->setTabChangesFocus(true);
    inputLabel->setBuddy(input);
    dataLayout->addWidget(inputLabel);
    dataLayout->addWidget(input, 1);
    auto* options = new QHBoxLayout;
    options->addWidget(Bind(IDC_HEX_SEND, new QCheckBox(Text("1077"))));
    options->addWidget(Bind(IDC_DATA_LOOP, new QCheckBox(Text("1078"))));
    options->addSpacing(12);
    addInterval(IDC_DATA_INTERVAL, options);
    options->addStretch();
    dataLayout->addLayout(options);
    auto* dataButtons = new QHBoxLayout;
    dataButtons->addStretch();
    for (int id : {IDC_SEND_DATA, IDC_CLEAR_BOX, IDC_STOP_SENDING})
        addButton(id, dataButtons);
    dataLayout->addLayout(dataButtons);
    layout->addWidget(data, 1);

    auto* file = new QGroupBox(Text("group.FileSend"));
    file->setAccessibleName(file->title());
    auto* fileLayout = new QVBoxLayout(file);
    auto* pathRow = new QHBoxLayout;
    auto* pathLabel = new QLabel(Text("label.1081"));
    auto* path = Bind(IDC_FILE_PATH, new QLineEdit, TemplateText(IDD, "label.1081"));
    path->setReadOnly(true);
    pathLabel->setBuddy(path);
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(path, 1);
    addButton(IDC_BROWSE, pathRow);
    fileLayout->addLayout(pathRow);
    auto* fileOptions = new QHBoxLayout;
    fileOptions->addWidget(Bind(IDC_FILE_LOOP, new QCheckBox(Text("1079"))));
    fileOptions->addSpacing(12);
    addInterval(IDC_FILE_INTERVAL, fileOptions);
    fileOptions->addStretch();
    fileLayout->addLayout(fileOptions);
    auto* progress = Bind(IDC_PROGRESS, new QProgressBar, TemplateText(IDD, "1083"));
    progress->setTextVisible(false);
    // Shown only while a file goes out; the page keeps its place meanwhile.
    QSizePolicy keep = progress->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    progress->setSizePolicy(keep);
    progress->hide();
    fileLayout->addWidget(progress);
    auto* fileButtons = new QHBoxLayout;
    fileButtons->addStretch();
    auto* sendFile = addButton(IDC_SEND_FILE, fileButtons);
    // Wide enough for "100%" and for "Send File" in either language.
    sendFile->setMinimumWidth(sendFile->sizeHint().width());
    addButton(IDC_STOP_FILE, fileButtons);
    fileLayout->addLayout(fileButtons);
    layout->addWidget(file);
}

bool CCommandTest::StartSendJob(std::function<void(const std::stop_token& stop)> body, std::stop_source& own) {
    // The page's Stop acts on this job only; closing the window stops it too.
    std::stop_source stop;
    const bool started = StartJob({SEND_GROUP.begin(), SEND_GROUP.end()},
                                  [body = std::move(body), stop](std::stop_token window) mutable {
                                      std::stop_callback closing(window, [stop]() mutable { stop.request_stop(); });
                                      body(stop.get_token());
                                  });
    if (started) own = stop;
    return started;
}

void CCommandTest::OnSendData() {
    const auto* input = ControlAs<QPlainTextEdit>(IDC_INPUT);
    const std::u16string text = Utf16(input->toPlainText());
    const SendOptions options{ControlAs<QCheckBox>(IDC_DATA_LOOP)->isChecked(),
                              IntervalOf(Utf16(ControlAs<QLineEdit>(IDC_DATA_INTERVAL)->text()))};
    if (text.empty()) {
        ShowString(this, StringId::InputEmpty, MessageIcon::Warning);
        return;
    }
    std::optional<Bytes> bytes = CommandBytes(text, ControlAs<QCheckBox>(IDC_HEX_SEND)->isChecked());
    if (!bytes) {
        ShowString(this, HEX_TEXT_ERROR_STRING, MessageIcon::Stop);
        return;
    }
    StartSendJob(
        [this, snapshot = settings_, usb = UsbSelection::Current(), data = std::move(*bytes),
         options](const std::stop_token& stop) {
            SetThreadUiLanguage(LanguageIdOf(snapshot.language));
            PrinterPort port(snapshot, usb);
            const SendJobResult result = RunDataSend(port, data, options, SendLimits(stop));
            if (auto m = SendJobMessage(result, port.kind, SendJobKind::Data, options, data.size()))
                ShowOpenMessage(this, *m, result.open);
        },
        dataStop_);
}

void CCommandTest::OnClearBox() {
    ControlAs<QPlainTextEdit>(IDC_INPUT)->clear();
}

void CCommandTest::OnStopSending() {
    dataStop_.request_stop();
}

void CCommandTest::OnBrowse() {
    const std::optional<std::string> path = GetOpenFileName(this, LoadUiString(StringId::DataFileFilter));
    fileChosen_ = path.has_value();
    if (path) ControlAs<QLineEdit>(IDC_FILE_PATH)->setText(QString::fromStdString(*path));
}

void CCommandTest::OnSendFile() {
    const SendOptions options{ControlAs<QCheckBox>(IDC_FILE_LOOP)->isChecked(),
                              IntervalOf(Utf16(ControlAs<QLineEdit>(IDC_FILE_INTERVAL)->text()))};
    if (!fileChosen_) {
        ShowString(this, StringId::SelectFile, MessageIcon::Warning);
        return;
    }
    DataFile read = ReadDataFile(ControlAs<QLineEdit>(IDC_FILE_PATH)->text().toStdString());
    if (read.status != DataFile::Read) {
        ShowMessage(this, TemplateText(IDD, DataFileMessageKey(read.status)), MessageIcon::Warning);
        return;
    }
    auto file = std::make_shared<const Bytes>(std::move(read.bytes));
    const bool started = StartSendJob(
        [this, snapshot = settings_, usb = UsbSelection::Current(), file, options](const std::stop_token& stop) {
            SetThreadUiLanguage(LanguageIdOf(snapshot.language));
            PrinterPort port(snapshot, usb);
            const SendJobResult result =
                RunFileSend(port, *file, options, SendLimits(stop), [this](const FileProgress& p) { ShowProgress(p); });
            if (auto m = SendJobMessage(result, port.kind, SendJobKind::File, options, file->size()))
                ShowOpenMessage(this, *m, result.open);
            EndFileSend();
        },
        fileStop_);
    if (!started) return;
    auto* bar = ControlAs<QProgressBar>(IDC_PROGRESS);
    bar->setRange(0, BarUnits(file->size(), file->size()));
    bar->setValue(0);
    bar->show();
}

void CCommandTest::OnStopFile() {
    fileStop_.request_stop();
}

void CCommandTest::ShowProgress(const FileProgress& p) {
    RunOnGuiThread([this, p] {
        ControlAs<QProgressBar>(IDC_PROGRESS)->setValue(BarUnits(p.position, p.total));
        SetControlText(IDC_SEND_FILE, std::to_string(p.percent) + "%");
    });
}

void CCommandTest::EndFileSend() {
    RunOnGuiThread([this] {
        SetControlText(IDC_SEND_FILE, LoadUiString(StringId::SendFileCaption));
        ControlAs<QProgressBar>(IDC_PROGRESS)->hide();
    });
}

} // namespace pemberlux
