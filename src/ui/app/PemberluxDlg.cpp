#include "ui/app/PemberluxDlg.h"

#include "core/base/Models.h"
#include "core/base/SettingsFile.h"
#include "core/base/UiText.h"
#include "core/port/PrinterPort.h"
#include "ui/app/AboutDlg.h"
#include "ui/app/Resources.h"
#include "ui/command/CommandTest.h"
#include "ui/command/UpgradeFW.h"
#include "ui/label/PrintingSetupLB610_1.h"
#include "ui/port/PagePortSet.h"
#include "ui/receipt/InternalSetupTR510.h"
#include "ui/testitems/TestItemDialog.h"
#include "ui/toolkit/Accessible.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Messages.h"
#include "ui/toolkit/Platform.h"
#include "ui/toolkit/Shell.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace pemberlux {

const QColor CPemberluxDlg::PANEL_COLOUR(175, 238, 245);

namespace {

constexpr int LOGO_X = 15;
constexpr int LOGO_Y = 15;
constexpr int LEFT_COLUMN_WIDTH = 196;
// The page area in dialog units of the page font (a quarter of the width of an
// average letter, an eighth of the font's height), as dialog templates are
// sized: room for the largest page in either language, known before any page is
// built, so the window opens at its final size and pages built later fit in it.
constexpr int PAGE_AREA_DLU_WIDTH = 360;
constexpr int PAGE_AREA_DLU_HEIGHT = 230;

QString Str(StringId id) {
    return QString::fromStdString(LoadUiString(id));
}

// Black text on the panel colour.
QLabel* PanelLabel() {
    auto* label = new QLabel;
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, CPemberluxDlg::PANEL_COLOUR);
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setMinimumHeight(22);
    return label;
}

// The frame of the pages: at least the size of the largest page, whichever
// pages exist yet, and no larger unless a page needs it.
class PageArea final : public QFrame {
public:
    QSize floor;
    QSize minimumSizeHint() const override { return QFrame::minimumSizeHint().expandedTo(floor); }
    QSize sizeHint() const override { return minimumSizeHint(); }
};

QSize PageAreaFloor() {
    const QFontMetrics fm(TemplateFont(CPagePortSet::IDD, QApplication::font()));
    // An average letter: in English the mean of the alphabet; in Chinese, whose
    // texts are mostly Han characters, half of one, the width a CJK font gives
    // its letters (the stand-in Latin font's are wider).
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double baseWidth = ThreadUiLanguage() == LANG_CHINESE
                                 ? fm.horizontalAdvance(QStringLiteral("中")) / 2.0
                                 : fm.horizontalAdvance(letters) / static_cast<double>(letters.size());
    return {qRound(PAGE_AREA_DLU_WIDTH * baseWidth / 4), PAGE_AREA_DLU_HEIGHT * fm.height() / 8};
}

} // namespace

CPemberluxDlg::CPemberluxDlg(QWidget* parent) : CDialog(IDD, parent) {
    setWindowTitle(Text("caption"));
    setWindowIcon(AppIcon());
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    setAccessibleName(windowTitle());

    // The menu list, with the interface page shown first.
    BuildWindow();
    for (StringId id :
         {StringId::MenuInterface, StringId::MenuPrinterSetup, StringId::MenuUpdateFirmware, StringId::MenuCommandTest})
        menuList_->addItem(Str(id));
    menuList_->setCurrentRow(MENU_INTERFACE);

    printerLabel_ = "  " + ModelName(MODELS.front());
    UpdateData();

    CreatePages();

    AddToolTip(IDC_EXIT, StringId::TipExit);
    AddToolTip(IDC_MENU_LIST, StringId::TipMenuList);
    AddToolTip(IDC_PRINTER_LABEL, StringId::TipPrinterLabel);
    AddToolTip(IDC_INTERFACE_LABEL, StringId::TipInterfaceLabel);
    AddToolTip(IDC_CHINESE, StringId::TipChinese);
    AddToolTip(IDC_ENGLISH, StringId::TipEnglish);

    LoadSettings();

    if (const PrinterModel* model = ModelByName(settings_.modelName); model && model->testItems) AddTestItemsEntry();
    DistributeSettings();
    SetTitleFontAndLogo();
    SetPageTitle();
    HandPortToPages();

    UseHandCursorOverButtons(this);
    connect(menuList_, &QListWidget::currentRowChanged, this, [this] { ShowPage(); });

    // The size it opens at: the same on every screen, whichever pages exist yet.
    ensurePolished();
    resize(sizeHint());
}

CPemberluxDlg::~CPemberluxDlg() {
    StopAllJobs();
}

void CPemberluxDlg::StopAllJobs() {
    // The jobs of the pages end before any window goes away.
    for (CPage* page :
         std::initializer_list<CPage*>{portSet_, labelSetup_, receiptSetup_, upgrade_, commandTest_, testItems_}) {
        if (page) page->StopWorkers();
    }
    StopWorkers();
}

void CPemberluxDlg::BuildWindow() {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(LOGO_X, LOGO_Y, 12, 12);
    layout->setSpacing(12);

    // Left: room for the logo, the menu list, the model and interface, the language, Help and Exit.
    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    // The logo is painted over this space once the language is known.
    logoSpace_ = new QWidget;
    logoSpace_->setFixedSize(LEFT_COLUMN_WIDTH, 0);
    left->addWidget(logoSpace_);

    menuList_ = Bind(IDC_MENU_LIST, new QListWidget, LoadUiString(StringId::TipMenuList));
    menuList_->setFixedWidth(LEFT_COLUMN_WIDTH);
    menuList_->setMinimumHeight(140);
    left->addWidget(menuList_);
    left->addSpacing(6);

    left->addWidget(Bind(IDC_PRINTER_CAPTION, new QLabel(Text("1008"))));
    left->addWidget(Bind(IDC_PRINTER_LABEL, PanelLabel(), Text("1008").toStdString()));
    left->addWidget(Bind(IDC_INTERFACE_CAPTION, new QLabel(Text("1010"))));
    left->addWidget(Bind(IDC_INTERFACE_LABEL, PanelLabel(), Text("1010").toStdString()));
    left->addSpacing(6);

    auto* language = new QGroupBox(Text("group.Language"));
    language->setAccessibleName(language->title());
    auto* languageLayout = new QVBoxLayout(language);
    languageLayout->addWidget(Bind(IDC_CHINESE, new QRadioButton(Text("1091"))));
    languageLayout->addWidget(Bind(IDC_ENGLISH, new QRadioButton(Text("1092"))));
    left->addWidget(language);
    left->addStretch();

    auto* buttons = new QHBoxLayout;
    for (int id : {IDC_HELP, IDC_EXIT}) {
        auto* b = Bind(id, new QPushButton(Text(std::to_string(id))));
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    left->addLayout(buttons);
    layout->addLayout(left);

    // Right: the page title over the page area.
    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    auto* title = Bind(IDC_PAGE_TITLE, PanelLabel());
    title->setMinimumHeight(30);
    right->addWidget(title);

    auto* area = Bind(IDC_PAGE_AREA, new PageArea);
    area->setFrameShape(QFrame::StyledPanel);
    area->floor = PageAreaFloor();
    pageArea_ = new QStackedLayout(area);
    right->addWidget(area, 1);
    layout->addLayout(right, 1);

    connect(ControlAs<QPushButton>(IDC_EXIT), &QPushButton::clicked, this,
            [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });
    connect(ControlAs<QPushButton>(IDC_HELP), &QPushButton::clicked, this, [this] { ShowHelp(); });
    connect(ControlAs<QRadioButton>(IDC_CHINESE), &QRadioButton::clicked, this, [this] { SwitchLanguage("Chinese"); });
    connect(ControlAs<QRadioButton>(IDC_ENGLISH), &QRadioButton::clicked, this, [this] { SwitchLanguage("English"); });
}

void CPemberluxDlg::CreatePages() {
    // Only the page shown first: the others cost start-up time the user may
    // never need, and are built when first shown.
    // Built inside the page area: nothing to move over and polish again.
    portSet_ = new CPagePortSet(Control(IDC_PAGE_AREA));
    PlacePage(portSet_);
    pageArea_->setCurrentWidget(portSet_);
}

void CPemberluxDlg::PlacePage(CPage* page) {
    pageArea_->addWidget(page);
    ++tabCount_;
}

template <class P> P* CPemberluxDlg::PageIn(P*& slot) {
    if (slot) return slot;
    slot = new P(Control(IDC_PAGE_AREA));
    slot->SetSettings(settings_);
    PlacePage(slot);
    UseHandCursorOverButtons(slot);
    return slot;
}

CPrintingSetupLB610_1* CPemberluxDlg::LabelSetupPage() {
    if (!labelSetup_) {
        PageIn(labelSetup_);
        pageCreated_[0] = true;
    }
    return labelSetup_;
}

CUpgradeFW* CPemberluxDlg::UpgradePage() {
    // Its buttons follow its own rule, applied when it gets the settings.
    return PageIn(upgrade_);
}

CCommandTest* CPemberluxDlg::CommandTestPage() {
    return PageIn(commandTest_);
}

CTestItemDialog* CPemberluxDlg::TestItemsPage() {
    return PageIn(testItems_);
}

CPage* CPemberluxDlg::CurrentSettingsPage() {
    // The label page until a receipt printer's settings were shown.
    if (!currentSetup_) currentSetup_ = LabelSetupPage();
    return currentSetup_;
}

bool CPemberluxDlg::IsChinese() const {
    return settings_.language == "Chinese";
}

void CPemberluxDlg::SetTitleFontAndLogo() {
    QWidget* title = Control(IDC_PAGE_TITLE);
    QFont font = title->font();
    if (IsChinese()) {
        // A Kai font where the system has one (Debian: fonts-arphic-ukai); else the page font's.
        font.setFamilies(
            UiFontFamilies({QStringLiteral("楷体"), QStringLiteral("KaiTi"), QStringLiteral("AR PL UKai CN")}));
        font.setPointSize(14);
        font.setBold(false);
    } else {
        font.setFamilies(UiFontFamilies({QStringLiteral("Verdana")}));
        font.setPointSizeF(10.5);
        font.setBold(true);
    }
    title->setFont(font);
    logo_ = Logo(IsChinese() ? IDB_LOGO_CHINESE : IDB_LOGO_ENGLISH);
    // Room for the taller of the two logos, so the window keeps its shape.
    logoSpace_->setFixedHeight(std::max(logo_.height(), 67) + 8);
    update();
}

void CPemberluxDlg::LoadSettings() {
    if (pemberlux::LoadSettings(settings_)) {
        portKind_ = settings_.portKind;
        if (portKind_ >= PORT_COM && portKind_ <= PORT_LAN) portSet_->CheckInterface(portKind_);
    } else {
        // First start: the defaults were written; USB is the interface.
        portSet_->CheckInterface(PORT_USB);
        portKind_ = PORT_USB;
    }
    ApplySettings();
}

void CPemberluxDlg::ApplySettings() {
    portSet_->ListModelsFor(settings_.language);
    // The entry shown under the stored name exactly; a name the list doesn't
    // show (another program's, or another language's) selects nothing.
    portSet_->SelectModel(ModelByName(settings_.modelName, ThreadUiLanguage()));
    const PrinterModel* model = portSet_->SelectedModel();
    portSet_->ShowModel(model);
    // Every model sets its USB ids, LB-600 too: without them every USB printer
    // would be written to. Nothing selected leaves them as they are.
    if (model) SelectUsbIds(*model);

    printerLabel_ = "  " + settings_.modelName;
    portSet_->SetSettings(settings_);
    SerialDialogSettings = settings_;
    ParallelDialogSettings = settings_;

    ControlAs<QRadioButton>(IDC_CHINESE)->setChecked(settings_.language == "Chinese");
    ControlAs<QRadioButton>(IDC_ENGLISH)->setChecked(settings_.language == "English");

    SetInterfaceLabel(portKind_, settings_);
    portSet_->SetCurrentKind(portKind_);
    UpdateData();
    ApplyKindToControls(portKind_);
}

void CPemberluxDlg::ApplyKindToControls(PortKind kind) {
    portSet_->EnableControl(CPagePortSet::IDC_SETTING, kind != PORT_USB);
    portSet_->EnableControl(CPagePortSet::IDC_WIFI_SETUP, kind != PORT_LAN);
    // The firmware page's buttons follow its own rule (kind and model together).
    if (upgrade_) upgrade_->ApplyButtonRule();
}

void CPemberluxDlg::SetInterfaceLabel(PortKind kind, const PortSettings& settings) {
    switch (kind) {
    case PORT_COM:
        interfaceLabel_ = "  " + settings.comName + "|" + settings.baudRate;
        break;
    case PORT_LPT:
        interfaceLabel_ = "  " + settings.lptName;
        break;
    case PORT_USB:
        interfaceLabel_ = "  USB";
        break;
    case PORT_LAN:
        interfaceLabel_ = "  LAN";
        break;
    default:
        break;
    }
}

void CPemberluxDlg::UpdateData() {
    SetControlText(IDC_PRINTER_LABEL, printerLabel_);
    SetControlText(IDC_INTERFACE_LABEL, interfaceLabel_);
    // Named by the values they show, labelled by their captions.
    ExposeValue(ControlAs<QLabel>(IDC_PRINTER_CAPTION), Control(IDC_PRINTER_LABEL), printerLabel_);
    ExposeValue(ControlAs<QLabel>(IDC_INTERFACE_CAPTION), Control(IDC_INTERFACE_LABEL), interfaceLabel_);
}

void CPemberluxDlg::AddTestItemsEntry() {
    const QString entry = Str(StringId::MenuTestItems);
    if (!menuList_->findItems(entry, Qt::MatchExactly).isEmpty()) return;
    const QSignalBlocker block(menuList_);
    menuList_->addItem(entry);
}

void CPemberluxDlg::RemoveTestItemsEntry() {
    const QSignalBlocker block(menuList_);
    for (QListWidgetItem* item : menuList_->findItems(Str(StringId::MenuTestItems), Qt::MatchExactly))
        delete item;
}

void CPemberluxDlg::SetPageTitle() {
    const QListWidgetItem* item = menuList_->currentItem();
    const std::string entry = item ? item->text().toStdString() : std::string();
    SetControlText(IDC_PAGE_TITLE, (IsChinese() ? " " : "   ") + entry);
    Control(IDC_PAGE_AREA)->setAccessibleName(QString::fromStdString(entry));
}

void CPemberluxDlg::HandPortToPages() {
    // The pages build each job's port from their copy of the settings.
    CurrentPortSettings = settings_;
}

void CPemberluxDlg::ShowPage() {
    SetPageTitle();
    CPage* page = nullptr;
    switch (menuList_->currentRow()) {
    case MENU_INTERFACE:
        page = portSet_;
        break;
    case MENU_PRINTER_SETUP: {
        const PrinterModel* model = portSet_->SelectedModel();
        if (model && model->settingsPage == SettingsPage::Receipt) {
            if (!pageCreated_[1]) {
                PageIn(receiptSetup_);
                pageCreated_[1] = true;
            }
            page = receiptSetup_;
        } else {
            page = LabelSetupPage();
        }
        currentSetup_ = page;
        break;
    }
    case MENU_FIRMWARE:
        page = UpgradePage();
        break;
    case MENU_COMMAND_TEST:
        page = CommandTestPage();
        break;
    case MENU_TEST_ITEMS: {
        page = TestItemsPage();
        const PrinterModel* model = ModelByName(settings_.modelName);
        const bool enable = !model || model->testItemsEnabled;
        testItems_->setEnabled(enable);
        testItems_->EnableControl(CTestItemDialog::IDC_CUT_AFTER_PRINT, enable);
        break;
    }
    default:
        return;
    }
    pageArea_->setCurrentWidget(page);
}

void CPemberluxDlg::DistributeSettings() {
    for (CPage* page :
         std::initializer_list<CPage*>{portSet_, labelSetup_, receiptSetup_, upgrade_, commandTest_, testItems_}) {
        if (page) page->SetSettings(settings_);
    }
    CurrentPortSettings = settings_;
}

void CPemberluxDlg::OnMessage(const MessageEvent& message) {
    if (const auto* changed = message.As<ModelChangedEvent>()) {
        printerLabel_ = "  " + changed->modelName;
        UpdateData();
        settings_ = changed->settings;
        DistributeSettings();
        const PrinterModel* model = ModelByName(settings_.modelName);
        SetControlText(IDC_PRINTER_CAPTION, LoadUiString(model ? model->groupCaptionId : StringId::PrinterSeries));
        if (model && model->testItems) {
            AddTestItemsEntry();
        } else {
            RemoveTestItemsEntry();
        }
    } else if (const auto* port = message.As<PortChangedEvent>()) {
        portKind_ = port->portKind;
        settings_ = port->settings;
        SetInterfaceLabel(portKind_, settings_);
        UpdateData();
        DistributeSettings();
    } else if (const auto* settings = message.As<SettingsChangedEvent>()) {
        settings_ = settings->settings;
        DistributeSettings();
        SerialDialogSettings = settings_;
        settings_.SaveSettings();
        SetInterfaceLabel(settings_.portKind, settings_);
        UpdateData();
    }
}

void CPemberluxDlg::SwitchLanguage(const std::string& language) {
    settings_.language = language;
    settings_.SaveSettings();
    restart_ = true;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CPemberluxDlg::closeEvent(QCloseEvent* event) {
    // Every job lets go of its printer before a restarted program may want it.
    StopAllJobs();
    if (restart_) StartProgram(OwnExecutablePath());
    CDialog::closeEvent(event);
}

void CPemberluxDlg::ShowHelp() {
    // "<model>Pemberlux Help File.pdf", named in the language of the settings
    // (English unless it is "Chinese", whatever the window shows): the working
    // folder's file, else the installation's. A desktop that cannot show it
    // is told which file it was, so the user can open it another way.
    const std::string name = portSet_->ModelList()->currentText().toStdString() +
                             LoadUiString(StringId::HelpFileName, LanguageIdOf(settings_.language));
    std::string path = name;
    const QFileInfo installed(QCoreApplication::applicationDirPath() + "/" PEMBERLUX_HELP_FROM_PROGRAM "/" +
                              QString::fromStdString(name));
    if (!QFileInfo::exists(QString::fromStdString(name)) && installed.isFile())
        path = installed.absoluteFilePath().toStdString();
    if (!OpenDocument(path)) {
        const std::string shown = QDir::current().absoluteFilePath(QString::fromStdString(path)).toStdString();
        ShowMessage(this, NoteText(NOTE_HELP_NO_VIEWER, {shown}), MessageIcon::Warning);
    }
}

void CPemberluxDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CPemberluxDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The window's own menu: the About box.
    const QString about = Str(StringId::AboutMenu);
    if (about.isEmpty()) return;
    QMenu menu(this);
    menu.addAction(about, this, [this] { ShowAbout(); });
    menu.exec(event->globalPos());
}

void CPemberluxDlg::paintEvent(QPaintEvent* event) {
    CDialog::paintEvent(event);
    if (logo_.isNull()) return;
    QPainter painter(this);
    painter.drawPixmap(LOGO_X, LOGO_Y, logo_);
}

} // namespace pemberlux
