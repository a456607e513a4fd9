#include "ui/command/UpgradeFW.h"

#include "core/base/Models.h"
#include "core/base/UiText.h"
#include "core/port/Exchange.h"
#include "ui/toolkit/FileDialog.h"
#include "ui/toolkit/MessageBox.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <climits>
#include <memory>

namespace pemberlux {

namespace {

// The bar's range: the image's size, or a scale of it where that is beyond an int.
int BarUnits(std::uint64_t value, std::uint64_t total) {
    if (total <= static_cast<std::uint64_t>(INT_MAX)) return static_cast<int>(value);
    return static_cast<int>(static_cast<long double>(value) * INT_MAX / static_cast<long double>(total));
}

} // namespace

CUpgradeFW::CUpgradeFW(QWidget* parent) : CPage(IDD, parent) {
    BuildPage();
    SetToolTipColour(QColor(0, 0, 255));
    AddToolTip(IDC_BROWSE, 127);
    AddToolTip(IDC_UPDATE, 128);
    const std::pair<int, void (CUpgradeFW::*)()> handlers[] = {
        {IDC_BROWSE, &CUpgradeFW::OnBrowse},
        {IDC_DOWNLOAD_MODE, &CUpgradeFW::OnDownloadMode},
        {IDC_UPDATE, &CUpgradeFW::OnUpdate},
    };
    for (const auto& [id, handler] : handlers)
        connect(ControlAs<QPushButton>(id), &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    ApplyButtonRule();
}

CUpgradeFW::~CUpgradeFW() {
    StopWorkers();
}

void CUpgradeFW::BuildPage() {
    auto* layout = new QVBoxLayout(this);

    auto* instructions = new QGroupBox(Text("group.Instructions"));
    instructions->setAccessibleName(instructions->title());
    auto* instructionsLayout = new QVBoxLayout(instructions);
    auto* note = Bind(IDC_INSTRUCTIONS, new QLabel, TemplateText(IDD, "group.Instructions"));
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    instructionsLayout->addWidget(note);
    layout->addWidget(instructions, 1);

    auto* update = new QGroupBox(Text("group.UpdateFirmware"));
    update->setAccessibleName(update->title());
    auto* updateLayout = new QVBoxLayout(update);
    auto* pathRow = new QHBoxLayout;
    auto* pathLabel = new QLabel(Text("label.1043"));
    auto* path = Bind(IDC_FILE_PATH, new QLineEdit, TemplateText(IDD, "label.1043"));
    path->setReadOnly(true);
    pathLabel->setBuddy(path);
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(path, 1);
    auto* browse = Bind(IDC_BROWSE, new QPushButton(Text("1044")));
    browse->setAutoDefault(false);
    pathRow->addWidget(browse);
    updateLayout->addLayout(pathRow);

    // Both are shown only during a transfer; the page keeps their place meanwhile.
    auto keepPlace = [](QWidget* w) {
        QSizePolicy keep = w->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        w->setSizePolicy(keep);
        w->hide();
    };
    auto* progress = Bind(IDC_PROGRESS, new QProgressBar, TemplateText(IDD, "1045"));
    progress->setTextVisible(false);
    keepPlace(progress);
    updateLayout->addWidget(progress);
    auto* notice = Bind(IDC_WAIT_NOTICE, new QLabel, TemplateText(IDD, "1228"));
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    keepPlace(notice);
    updateLayout->addWidget(notice);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (int id : {IDC_DOWNLOAD_MODE, IDC_UPDATE}) {
        auto* b = Bind(id, new QPushButton(Text(std::to_string(id))));
        b->setAutoDefault(false);
        // Wide enough for "100%" and the caption in either language.
        b->setMinimumWidth(b->sizeHint().width());
        buttons->addWidget(b);
    }
    updateLayout->addLayout(buttons);
    layout->addWidget(update);
}

void CUpgradeFW::SetSettings(const PortSettings& settings) {
    CPage::SetSettings(settings);
    ApplyButtonRule();
}

void CUpgradeFW::showEvent(QShowEvent* event) {
    // The USB ids may have changed with the model while the page was hidden.
    ApplyButtonRule();
    CPage::showEvent(event);
}

void CUpgradeFW::ApplyButtonRule() {
    const PrinterModel* model = ModelByName(settings_.modelName);
    const bool label = model && model->downloadMode;
    const int kind = settings_.portKind;
    const bool transferPort = kind == PORT_USB || (kind == PORT_LAN && label);
    EnableControl(IDC_UPDATE, transferPort && !updating_);
    ShowControl(IDC_DOWNLOAD_MODE, label);
    EnableControl(IDC_DOWNLOAD_MODE, label && (kind == PORT_USB || kind == PORT_LAN) && !updating_ && !downloadMode_);
    const std::string second = UsbSecondId.Get();
    const int note = second == "41A2" || second == "41A3" ? 186 : 178;
    SetControlText(IDC_INSTRUCTIONS, LoadUiString(note));
}

void CUpgradeFW::OnBrowse() {
    const PrinterModel* model = ModelByName(settings_.modelName);
    const int filter = model ? model->firmwareFilterId : 163;
    const std::optional<std::string> path = GetOpenFileName(this, LoadUiString(filter));
    fileChosen_ = path.has_value();
    if (path) ControlAs<QLineEdit>(IDC_FILE_PATH)->setText(QString::fromStdString(*path));
    ApplyButtonRule();
}

void CUpgradeFW::OnDownloadMode() {
    const bool started = StartJob({IDC_DOWNLOAD_MODE},
                                  [this, snapshot = settings_, usb = UsbSelection::Current()](std::stop_token stop) {
                                      SetThreadUiLanguage(LanguageIdOf(snapshot.language));
                                      PrinterPort port(snapshot, usb);
                                      const ExchangeResult result = SendFrame(port, DOWNLOAD_MODE_COMMAND, {stop});
                                      if (result.status == ExchangeResult::Stopped) return;
                                      if (auto m = ExchangeMessage(result, port.kind))
                                          ShowString(this, m->stringId, m->icon);
                                      if (!result.Ok()) {
                                          RunOnGuiThread([this] {
                                              downloadMode_ = false;
                                              ApplyButtonRule();
                                          });
                                      }
                                  });
    if (!started) return;
    downloadMode_ = true;
    ApplyButtonRule();
}

void CUpgradeFW::OnUpdate() {
    if (!fileChosen_) {
        ShowString(this, 160, MessageIcon::Warning);
        return;
    }
    const std::string path = ControlAs<QLineEdit>(IDC_FILE_PATH)->text().toStdString();
    const FirmwareFormat format = FirmwareFormatOf(path);
    if (format == FirmwareFormat::Unknown) {
        ShowMessage(this, TemplateText(IDD, "message.UnknownFormat"), MessageIcon::Warning);
        return;
    }
    DataFile read = ReadDataFile(path);
    if (read.status != DataFile::Read) {
        ShowMessage(this, TemplateText(IDD, DataFileMessageKey(read.status)), MessageIcon::Warning);
        return;
    }
    // The transfer's own USB ids go with its port; the selection of the
    // other pages stays as the model set it.
    std::optional<FirmwarePlan> plan = PrepareFirmware(format, read.bytes, downloadMode_, UsbSelection::Current());
    read.bytes = Bytes();
    auto image = std::make_shared<const FirmwarePlan>(std::move(*plan));
    const bool started = StartJob(
        {TRANSFER_GROUP.begin(), TRANSFER_GROUP.end()}, [this, snapshot = settings_, image](std::stop_token stop) {
            SetThreadUiLanguage(LanguageIdOf(snapshot.language));
            PrinterPort port(snapshot, image->usb);
            const FirmwareResult result = RunFirmwareTransfer(port, image->bytes, FirmwareLimits(stop),
                                                              [this](const FirmwareProgress& p) { ShowProgress(p); });
            if (auto m = FirmwareMessage(result, port.kind, image->bytes.size()))
                ShowString(this, m->stringId, m->icon);
            EndTransfer();
        });
    if (!started) return;
    updating_ = true;
    auto* bar = ControlAs<QProgressBar>(IDC_PROGRESS);
    bar->setRange(0, BarUnits(image->bytes.size(), image->bytes.size()));
    bar->setValue(0);
    bar->show();
    if (downloadMode_) {
        SetControlText(IDC_WAIT_NOTICE, LoadUiString(220));
        Control(IDC_WAIT_NOTICE)->show();
    }
    ApplyButtonRule();
}

void CUpgradeFW::ShowProgress(const FirmwareProgress& p) {
    RunOnGuiThread([this, p] {
        ControlAs<QProgressBar>(IDC_PROGRESS)->setValue(BarUnits(p.sent, p.total));
        SetControlText(IDC_UPDATE, std::to_string(p.percent) + "%");
        Control(IDC_WAIT_NOTICE)->hide();
    });
}

void CUpgradeFW::EndTransfer() {
    RunOnGuiThread([this] {
        SetControlText(IDC_UPDATE, LoadUiString(162));
        Control(IDC_WAIT_NOTICE)->hide();
        Control(IDC_PROGRESS)->hide();
        updating_ = false;
        downloadMode_ = false;
        ApplyButtonRule();
    });
}

} // namespace pemberlux
