#include "ui/port/PagePortSet.h"

#include "core/base/UiText.h"
#include "core/port/Exchange.h"
#include "core/port/PortCommands.h"
#include "core/port/PrinterPort.h"
#include "ui/network/EnternetSetting.h"
#include "ui/network/TR510EnthernetDlg.h"
#include "ui/port/PortSetParallel.h"
#include "ui/port/PortSetSerial.h"
#include "ui/port/PortSetUSB.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Messages.h"
#include "ui/wireless/BluetoothSetupDlg.h"
#include "ui/wireless/WifiSetupDlg_LB610.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pemberlux {

namespace {

const int RADIO_IDS[] = {CPagePortSet::IDC_SERIAL, CPagePortSet::IDC_PARALLEL, CPagePortSet::IDC_USB,
                         CPagePortSet::IDC_NETWORK};

} // namespace

CPagePortSet::CPagePortSet(QWidget* parent) : CPage(IDD, parent) {
    auto* layout = new QVBoxLayout(this);

    auto* modelGroup = Bind(IDC_MODEL_GROUP, new QGroupBox(Text("1153")));
    auto* modelLayout = new QVBoxLayout(modelGroup);
    auto* prompt = Bind(IDC_MODEL_PROMPT, new QLabel(Text("1154")));
    auto* list = Bind(IDC_MODEL_LIST, new QComboBox, TemplateText(IDD, "1154"));
    prompt->setBuddy(list);
    QFont listFont = list->font();
    listFont.setFamilies(UiFontFamilies({QStringLiteral("Verdana")}));
    listFont.setPointSizeF(10.5);
    list->setFont(listFont);
    list->setMinimumContentsLength(24);
    // The models listed in English only are added once the settings are known.
    for (const PrinterModel& model : MODELS)
        if (!model.englishOnly) list->addItem(QString::fromStdString(ModelName(model)));
    list->setCurrentIndex(-1);
    modelLayout->addWidget(prompt);
    modelLayout->addWidget(list);
    layout->addWidget(modelGroup);

    auto* interfaceGroup = new QGroupBox(Text("group.Interface"));
    interfaceGroup->setAccessibleName(Text("group.Interface"));
    auto* interfaceLayout = new QGridLayout(interfaceGroup);
    for (int i = 0; i < 4; ++i) {
        auto* radio = Bind(RADIO_IDS[i], new QRadioButton(Text(std::to_string(RADIO_IDS[i]))));
        interfaceLayout->addWidget(radio, i / 2, i % 2);
    }
    auto* setting = Bind(IDC_SETTING, new QPushButton(Text("1047")));
    auto* sendConfig = Bind(IDC_SEND_CONFIG, new QPushButton(Text("1048")));
    sendConfig->hide();
    auto* settingRow = new QHBoxLayout;
    settingRow->addStretch();
    settingRow->addWidget(sendConfig);
    settingRow->addWidget(setting);
    interfaceLayout->addLayout(settingRow, 2, 0, 1, 2);
    layout->addWidget(interfaceGroup);

    auto* wireless = new QHBoxLayout;
    auto* resetWifi = Bind(IDC_RESET_WIFI, new QPushButton(Text("1157")));
    auto* wifiSetup = Bind(IDC_WIFI_SETUP, new QPushButton(Text("1223")));
    auto* bluetooth = Bind(IDC_BLUETOOTH, new QPushButton(Text("1229")));
    wifiSetup->hide();
    wireless->addWidget(resetWifi);
    wireless->addWidget(wifiSetup);
    wireless->addWidget(bluetooth);
    wireless->addStretch();
    layout->addLayout(wireless);
    layout->addStretch();

    SetToolTipColour(QColor(0, 0, 255));
    AddToolTip(IDC_SETTING, StringId::TipInterfaceSetting);
    AddToolTip(IDC_MODEL_LIST, StringId::TipModelList);
    AddToolTip(IDC_SERIAL, StringId::TipSerial);
    AddToolTip(IDC_PARALLEL, StringId::TipParallel);
    AddToolTip(IDC_USB, StringId::TipUsb);

    connect(list, &QComboBox::activated, this, [this] { OnModelChanged(); });
    connect(ControlAs<QRadioButton>(IDC_SERIAL), &QRadioButton::clicked, this, [this] { SelectSerial(); });
    connect(ControlAs<QRadioButton>(IDC_PARALLEL), &QRadioButton::clicked, this, [this] { SelectParallel(); });
    connect(ControlAs<QRadioButton>(IDC_USB), &QRadioButton::clicked, this, [this] { SelectUsb(); });
    connect(ControlAs<QRadioButton>(IDC_NETWORK), &QRadioButton::clicked, this, [this] { SelectNetwork(); });
    connect(setting, &QPushButton::clicked, this, [this] { OpenInterfaceDialog(); });
    connect(sendConfig, &QPushButton::clicked, this, [this] { StartSerialConfig(false); });
    connect(resetWifi, &QPushButton::clicked, this, [this] { StartResetWifi(); });
    connect(wifiSetup, &QPushButton::clicked, this, [this] { OpenWifiSetup(); });
    connect(bluetooth, &QPushButton::clicked, this, [this] { OpenBluetoothSettings(); });
}

CPagePortSet::~CPagePortSet() {
    StopWorkers();
}

QComboBox* CPagePortSet::ModelList() const {
    return ControlAs<QComboBox>(IDC_MODEL_LIST);
}

const PrinterModel* CPagePortSet::SelectedModel() const {
    // The list holds the models in table order; the English-only ones last.
    return ModelAt(ModelList()->currentIndex());
}

void CPagePortSet::SelectModel(const PrinterModel* model) {
    const int position = model ? model->position : -1;
    ModelList()->setCurrentIndex(position < ModelList()->count() ? position : -1);
}

void CPagePortSet::ListModelsFor(const std::string& settingsLanguage) {
    QComboBox* list = ModelList();
    for (const PrinterModel& model : MODELS) {
        if (!model.englishOnly) continue;
        const bool present = model.position < list->count();
        if (IsListed(model, settingsLanguage) && !present && model.position == list->count())
            list->addItem(QString::fromStdString(ModelName(model)));
        else if (!IsListed(model, settingsLanguage) && present)
            list->removeItem(model.position);
    }
}

void CPagePortSet::CheckInterface(PortKind kind) {
    for (int i = 0; i < 4; ++i) {
        auto* radio = ControlAs<QRadioButton>(RADIO_IDS[i]);
        // Exclusive radios can't all be cleared; kind 0 clears them all.
        radio->setAutoExclusive(false);
        radio->setChecked(kind == i + 1);
        radio->setAutoExclusive(true);
    }
}

void CPagePortSet::ShowModel(const PrinterModel* model) {
    if (model) {
        SetControlText(IDC_MODEL_GROUP, LoadUiString(model->groupCaptionId));
        SetControlText(IDC_MODEL_PROMPT, LoadUiString(model->promptId));
        ModelList()->setAccessibleName(QString::fromStdString(LoadUiString(model->promptId)));
    }
    ShowControl(IDC_RESET_WIFI, model && model->resetWifi);
    ShowControl(IDC_WIFI_SETUP, model && model->wifiSetup);
    ShowControl(IDC_BLUETOOTH, model && model->bluetooth);
}

CPagePortSet::NetworkDialog CPagePortSet::NetworkDialogFor(const std::string& model) {
    const PrinterModel* known = ModelByName(model);
    return known ? known->networkDialog : NetworkDialog::PrintServer;
}

void CPagePortSet::OnModelChanged() {
    const PrinterModel* selected = SelectedModel();
    if (selected) SelectUsbIds(*selected);
    ShowModel(selected);
    ShowControl(IDC_NETWORK, true);

    std::string model = ModelList()->currentText().toStdString();
    settings_.modelName = model;
    settings_.SaveSettings();
    SendMessage(Owner(), ModelChangedEvent(settings_, model));
}

void CPagePortSet::SelectSerial() {
    SelectKind(PORT_COM);
}
void CPagePortSet::SelectParallel() {
    SelectKind(PORT_LPT);
}
void CPagePortSet::SelectUsb() {
    SelectKind(PORT_USB);
}
void CPagePortSet::SelectNetwork() {
    SelectKind(PORT_LAN);
}

void CPagePortSet::SelectKind(PortKind kind) {
    currentKind_ = kind;
    settings_.portKind = kind;
    settings_.SaveSettings();
    switch (kind) {
    case PORT_COM:
        SerialDialogSettings = settings_;
        break;
    case PORT_LPT:
        ParallelDialogSettings = settings_;
        break;
    case PORT_USB:
        ShowControl(IDC_SEND_CONFIG, false);
        break;
    case PORT_LAN:
        networkSettings_ = settings_;
        break;
    }
    EnableControl(IDC_SETTING, kind != PORT_USB);
    EnableControl(IDC_WIFI_SETUP, kind != PORT_LAN);
    SendMessage(Owner(), PortChangedEvent(kind, settings_));
}

void CPagePortSet::OpenInterfaceDialog() {
    switch (settings_.portKind) {
    case PORT_COM: {
        SerialDialogSettings = settings_;
        CPortSetSerial dialog(this, this);
        dialog.exec();
        break;
    }
    case PORT_LPT: {
        ParallelDialogSettings = settings_;
        CPortSetParallel dialog(this, this);
        dialog.exec();
        break;
    }
    case PORT_USB: {
        CPortSetUSB dialog(this);
        dialog.exec();
        break;
    }
    case PORT_LAN: {
        // The search dialog of the model works on a copy of the record and
        // reports the chosen printer back with WM_NETWORK_SET.
        networkSettings_ = settings_;
        if (NetworkDialogFor(settings_.modelName) == NetworkDialog::LabelModule) {
            CEnternetSetting dialog(this, this);
            dialog.SetSettings(networkSettings_);
            dialog.DoModal();
        } else {
            CTR510EnthernetDlg dialog(this, this);
            dialog.SetSettings(networkSettings_);
            dialog.DoModal();
        }
        break;
    }
    }
}

void CPagePortSet::OpenWifiSetup() {
    const PrinterModel* model = SelectedModel();
    if (!model || !model->wifiSetup) return;
    // A copy of the page's record: the dialog's jobs build their own ports from it.
    CWifiSetupDlg_LB610 dialog(settings_, this);
    dialog.exec();
}

void CPagePortSet::OpenBluetoothSettings() {
    const PrinterModel* model = SelectedModel();
    if (!model || !model->bluetooth) return;
    CBluetoothSetupDlg dialog(settings_, this);
    dialog.exec();
}

std::vector<int> CPagePortSet::ExchangeControls() {
    // The model list and the interface radios stay off too while a job runs:
    // a change there would be saved and reported mid-exchange.
    std::vector<int> ids(std::begin(RADIO_IDS), std::end(RADIO_IDS));
    ids.insert(ids.end(),
               {IDC_MODEL_LIST, IDC_SETTING, IDC_SEND_CONFIG, IDC_RESET_WIFI, IDC_WIFI_SETUP, IDC_BLUETOOTH});
    return ids;
}

bool CPagePortSet::StartResetWifi() {
    return StartJob(ExchangeControls(),
                    [this, settings = settings_, usb = UsbSelection::Current()](std::stop_token stop) {
                        SetThreadUiLanguage(LanguageIdOf(settings.language));
                        PrinterPort port(settings, usb);
                        const ExchangeResult result = SendFrame(port, BuildWifiResetFrame(), {stop});
                        if (result.status == ExchangeResult::OpenFailed) {
                            ShowPortError(this, result.code, port.kind, result.open);
                        } else if (result.status == ExchangeResult::WriteFailed) {
                            ShowString(this, StringId::SendFailed, MessageIcon::Warning);
                        }
                    });
}

bool CPagePortSet::StartSerialConfig(bool apply) {
    // The line as it is set now: a printer without USB still listens the old way.
    return StartJob(ExchangeControls(),
                    [this, apply, pending = pending_, model = SelectedModel(), current = CurrentPortSettings.Get(),
                     usb = UsbSelection::Current()](std::stop_token stop) {
                        SetThreadUiLanguage(LanguageIdOf(pending.language));
                        SendSerialConfig(stop, pending, model, current, usb);
                        if (apply) {
                            RunOnGuiThread([this, pending] {
                                settings_ = pending;
                                SelectSerial();
                            });
                        }
                    });
}

void CPagePortSet::SendSerialConfig(const std::stop_token& stop, const PortSettings& pending, const PrinterModel* model,
                                    const PortSettings& current, const UsbSelection& usb) {
    const Bytes frame = BuildSerialConfigFrame(pending, model);
    PortSettings line = current;
    line.comName = pending.comName;
    line.lptName = pending.lptName;
    // Over USB when a printer is attached there, else over the serial line.
    line.portKind = PORT_USB;
    PrinterPort usbPort(line, usb);
    ExchangeResult result = SendFrame(usbPort, frame, {stop});
    PortKind kind = PORT_USB;
    if (result.status == ExchangeResult::OpenFailed &&
        (result.code == PortErrorCode::Open || result.code == PortErrorCode::NoDevices ||
         result.code == PortErrorCode::NoInfo)) {
        line.portKind = PORT_COM;
        PrinterPort serialPort(line, usb);
        result = SendFrame(serialPort, frame, {stop});
        kind = PORT_COM;
    }
    if (result.status == ExchangeResult::OpenFailed && kind == PORT_COM &&
        (result.code == PortErrorCode::Open || result.code == PortErrorCode::Busy)) {
        ShowOpenMessage(
            this,
            {result.code == PortErrorCode::Open ? StringId::OpenComFailed : StringId::PortBusy, MessageIcon::Stop},
            result.open);
    } else if (result.status == ExchangeResult::WriteFailed) {
        ShowString(this, StringId::SendFailed, MessageIcon::Warning);
    }
}

void CPagePortSet::OnMessage(const MessageEvent& message) {
    if (const auto* serial = message.As<SerialSetEvent>()) {
        pending_ = serial->settings;
        StartSerialConfig(true);
    } else if (const auto* parallel = message.As<ParallelSetEvent>()) {
        settings_ = parallel->settings;
        SelectParallel();
    } else if (const auto* network = message.As<NetworkSetEvent>()) {
        settings_ = network->settings;
        SelectNetwork();
    }
}

} // namespace pemberlux
