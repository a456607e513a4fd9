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
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace pemberlux {

namespace {

// The bar's range: the image's size, or a scale of it where that is beyond an int.
int BarUnits(std::uint64_t value, std::uint64_t total) {
    if (total <= static_cast<std::uint64_t>(INT_MAX)) return static_cast<int>(value);
    return static_cast<int>(static_cast<long double>(value) * INT_MAX / static_cast<long double>(total));
}

} // namespace

// Set once by the Download Mode job, after its port is closed; a transfer
// clicked meanwhile waits for it.
struct CUpgradeFW::DownloadModeEnd {
    std::mutex mutex;
    std::condition_variable_any ended;
    std::optional<bool> sent;

    void Set(bool ok) {
        {
            std::lock_guard lock(mutex);
            sent = ok;
        }
        ended.notify_all();
    }
    // Whether Download Mode went out; false when it failed or `stop` came first.
    bool Wait(std::stop_token stop) {
        std::unique_lock lock(mutex);
        return ended.wait(lock, stop, [&] { return sent.has_value(); }) && *sent;
    }
};

CUpgradeFW::CUpgradeFW(QWidget* parent) : CPage(IDD, parent) {
    BuildPage();
    SetToolTipColour(QColor(0, 0, 255));
    AddToolTip(IDC_BROWSE, StringId::TipBrowseFirmware);
    AddToolTip(IDC_UPDATE, StringId::TipUpdateFirmware);
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
    const PortKind kind = settings_.portKind;
    const bool transferPort = kind == PORT_USB || (kind == PORT_LAN && label);
    EnableControl(IDC_UPDATE, transferPort && !updating_);
    ShowControl(IDC_DOWNLOAD_MODE, label);
    EnableControl(IDC_DOWNLOAD_MODE, label && (kind == PORT_USB || kind == PORT_LAN) && !updating_ && !downloadMode_);
    const std::string second = UsbSecondId.Get();
    const StringId note = second == "41A2" || second == "41A3" ? StringId::FirmwareNoteUsb : StringId::FirmwareNoteLan;
    SetControlText(IDC_INSTRUCTIONS, LoadUiString(note));
}

void CUpgradeFW::OnBrowse() {
    const PrinterModel* model = ModelByName(settings_.modelName);
    const StringId filter = model ? model->firmwareFilterId : StringId::FirmwareFileFilter;
    const std::optional<std::string> path = GetOpenFileName(this, LoadUiString(filter));
    fileChosen_ = path.has_value();
    if (path) ControlAs<QLineEdit>(IDC_FILE_PATH)->setText(QString::fromStdString(*path));
    ApplyButtonRule();
}

void CUpgradeFW::OnDownloadMode() {
    auto end = std::make_shared<DownloadModeEnd>();
    const bool started = StartJob(
        {IDC_DOWNLOAD_MODE}, [this, end, snapshot = settings_, usb = UsbSelection::Current()](std::stop_token stop) {
            SetThreadUiLanguage(LanguageIdOf(snapshot.language));
            ExchangeResult result;
            PortKind kind = snapshot.portKind;
            {
                PrinterPort port(snapshot, usb);
                kind = port.kind;
                result = SendFrame(port, DOWNLOAD_MODE_COMMAND, {stop});
            }
            // The port is closed: a transfer waiting for this may open the printer now.
            end->Set(result.Ok());
            if (result.status == ExchangeResult::Stopped) return;
            if (auto m = ExchangeMessage(result, kind)) ShowOpenMessage(this, *m, result.open);
            if (!result.Ok()) {
                RunOnGuiThread([this] {
                    downloadMode_ = false;
                    ApplyButtonRule();
                });
            }
        });
    if (!started) return;
    downloadModeEnd_ = std::move(end);
    downloadMode_ = true;
    ApplyButtonRule();
}

void CUpgradeFW::OnUpdate() {
    if (Held(IDC_UPDATE)) return; // a transfer runs
    if (!fileChosen_) {
        ShowString(this, StringId::SelectFile, MessageIcon::Warning);
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
    // Download Mode still on its way: the transfer starts once it is out, and
    // not at all when it fails (its own message says why).
    std::shared_ptr<DownloadModeEnd> after = Held(IDC_DOWNLOAD_MODE) ? downloadModeEnd_ : nullptr;
    std::vector<int> holds;
    for (int id : TRANSFER_GROUP)
        if (!after || id != IDC_DOWNLOAD_MODE) holds.push_back(id);
    const bool started = StartJob(std::move(holds), [this, snapshot = settings_, image, after](std::stop_token stop) {
        SetThreadUiLanguage(LanguageIdOf(snapshot.language));
        if (after) {
            if (!after->Wait(stop)) {
                if (!stop.stop_requested()) EndTransfer();
                return;
            }
            SetControlText(IDC_WAIT_NOTICE, LoadUiString(StringId::FirmwareLoading));
        }
        PrinterPort port(snapshot, image->usb);
        const FirmwareResult result = RunFirmwareTransfer(port, image->bytes, FirmwareLimits(stop),
                                                          [this](const FirmwareProgress& p) { ShowProgress(p); });
        if (auto m = FirmwareMessage(result, port.kind, image->bytes.size())) ShowOpenMessage(this, *m, result.open);
        EndTransfer();
    });
    if (!started) return;
    updating_ = true;
    auto* bar = ControlAs<QProgressBar>(IDC_PROGRESS);
    bar->setRange(0, BarUnits(image->bytes.size(), image->bytes.size()));
    bar->setValue(0);
    bar->show();
    if (after) {
        SetControlText(IDC_WAIT_NOTICE, TemplateText(IDD, "text.WaitForDownloadMode"));
        Control(IDC_WAIT_NOTICE)->show();
    } else if (downloadMode_) {
        SetControlText(IDC_WAIT_NOTICE, LoadUiString(StringId::FirmwareLoading));
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
        SetControlText(IDC_UPDATE, LoadUiString(StringId::UpdateCaption));
        Control(IDC_WAIT_NOTICE)->hide();
        Control(IDC_PROGRESS)->hide();
        updating_ = false;
        downloadMode_ = false;
        ApplyButtonRule();
    });
}

} // namespace pemberlux
