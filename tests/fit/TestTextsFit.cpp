// Every text whole: the check that measures texts against their controls, and
// the program walked page by page and dialog by dialog in both languages, at
// the size the main window opens at.
#include "ProgramWalk.h"
#include "TempDir.h"
#include "TextFit.h"
#include "core/base/UiText.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/TextRoom.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace pemberlux::test {
namespace {

using uiwalk::Clipping;
using uiwalk::FindClippedTexts;

const QString LONG_TEXT = QStringLiteral("Print Position Detection:");

std::string Describe(const std::vector<Clipping>& found) {
    std::string text;
    for (const Clipping& c : found)
        text += "\n  " + c.Describe();
    return text;
}

// One control of each kind, with a text, in a window of its own; `squeeze`
// takes its room away the way a layout or a fixed size does.
struct Case {
    const char* name;
    std::function<QWidget*(QWidget* window)> make;
    std::function<void(QWidget* control)> squeeze;
};

void NarrowTo(QWidget* w, int width) {
    w->setFixedWidth(width);
}

const Case CASES[] = {
    {"label", [](QWidget* p) { return new QLabel(LONG_TEXT, p); }, [](QWidget* w) { NarrowTo(w, 60); }},
    {"push button", [](QWidget* p) { return new QPushButton(LONG_TEXT, p); }, [](QWidget* w) { NarrowTo(w, 80); }},
    {"radio button", [](QWidget* p) { return new QRadioButton(LONG_TEXT, p); }, [](QWidget* w) { NarrowTo(w, 80); }},
    {"check box", [](QWidget* p) { return new QCheckBox(LONG_TEXT, p); }, [](QWidget* w) { NarrowTo(w, 80); }},
    {"group title",
     [](QWidget* p) {
         auto* g = new QGroupBox(LONG_TEXT, p);
         new QVBoxLayout(g);
         return g;
     },
     [](QWidget* w) { NarrowTo(w, 60); }},
    {"drop-down item",
     [](QWidget* p) {
         auto* c = new QComboBox(p);
         c->addItems({QStringLiteral("On"), LONG_TEXT});
         c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
         return c;
     },
     [](QWidget* w) { NarrowTo(w, 90); }},
    {"read-only value",
     [](QWidget* p) {
         auto* e = new QLineEdit(LONG_TEXT, p);
         e->setReadOnly(true);
         ReserveRoomFor(e, {LONG_TEXT});
         return e;
     },
     [](QWidget* w) { NarrowTo(w, 90); }},
    {"reserved value",
     [](QWidget* p) {
         auto* e = new QLineEdit(p);
         e->setReadOnly(true);
         ReserveRoomFor(e, {LONG_TEXT});
         return e;
     },
     [](QWidget* w) { NarrowTo(w, 90); }},
    {"list entry",
     [](QWidget* p) {
         auto* l = new QListWidget(p);
         l->addItems({QStringLiteral("On"), LONG_TEXT});
         l->setMinimumWidth(260);
         return l;
     },
     [](QWidget* w) { NarrowTo(w, 90); }},
    {"column header",
     [](QWidget* p) {
         auto* t = new QTreeWidget(p);
         t->setHeaderLabels({LONG_TEXT, QStringLiteral("IP")});
         t->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
         t->setMinimumWidth(320);
         return t;
     },
     [](QWidget* w) {
         auto* header = static_cast<QTreeWidget*>(w)->header();
         header->setSectionResizeMode(QHeaderView::Interactive);
         header->resizeSection(0, 60);
     }},
    {"word-wrapped label",
     [](QWidget* p) {
         auto* l = new QLabel(LONG_TEXT + QStringLiteral(" ") + LONG_TEXT + QStringLiteral(" ") + LONG_TEXT, p);
         l->setWordWrap(true);
         l->setFixedWidth(150);
         return l;
     },
     [](QWidget* w) { w->setFixedHeight(w->fontMetrics().height()); }},
};

class TextFitCase : public ::testing::TestWithParam<Case> {};

TEST_P(TextFitCase, ReportsTheControlAndItsTextOnlyWhenTheRoomIsTooSmall) {
    const Case& c = GetParam();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    QWidget* control = c.make(&window);
    control->setObjectName(QStringLiteral("IDC_4242"));
    layout->addWidget(control);
    layout->addStretch();
    window.show();
    uiwalk::Settle();
    EXPECT_EQ(FindClippedTexts(&window).size(), 0u)
        << c.name << " at the size its layout gives it:" << Describe(FindClippedTexts(&window));

    c.squeeze(control);
    uiwalk::Settle();
    const std::vector<Clipping> found = FindClippedTexts(&window);
    ASSERT_EQ(found.size(), 1u) << c.name << Describe(found);
    EXPECT_TRUE(found[0].control.startsWith(QStringLiteral("IDC_4242 ("))) << found[0].Describe();
    EXPECT_TRUE(found[0].text.contains(LONG_TEXT)) << found[0].Describe();
    EXPECT_TRUE(found[0].needed.width() > found[0].available.width() ||
                found[0].needed.height() > found[0].available.height())
        << found[0].Describe();
}

INSTANTIATE_TEST_SUITE_P(EachKindOfText, TextFitCase, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == ' ' || ch == '-') ch = '_';
                             return name;
                         });

TEST(TextFit, AControlReachingPastTheWindowEdgeIsReported) {
    QWidget window;
    window.resize(200, 100);
    auto* button = new QPushButton(QStringLiteral("OK"), &window);
    button->setObjectName(QStringLiteral("IDC_1"));
    button->setGeometry(150, 10, 100, 30);
    window.show();
    uiwalk::Settle();
    const std::vector<Clipping> found = FindClippedTexts(&window);
    ASSERT_EQ(found.size(), 1u) << Describe(found);
    EXPECT_TRUE(found[0].control.startsWith(QStringLiteral("IDC_1 ("))) << found[0].Describe();
    EXPECT_EQ(found[0].available.width(), 50);
}

TEST(TextFit, HiddenControlsAreNotMeasured) {
    QWidget window;
    auto* label = new QLabel(LONG_TEXT, &window);
    label->setFixedWidth(20);
    label->hide();
    window.show();
    uiwalk::Settle();
    EXPECT_TRUE(FindClippedTexts(&window).empty());
}

// ---- The program ------------------------------------------------------------

class ProgramTexts : public ::testing::TestWithParam<const char*> {
protected:
    void TearDown() override { SetThreadUiLanguage(LANG_ENGLISH); }

    TempDir dir;
    ScopedCwd cwd{dir.Path()};
    ScopedEnv sysfs{"PEMBERLUX_SYSFS_ROOT", (dir / "no-sys").c_str()};
    ScopedEnv devRoot{"PEMBERLUX_DEV_ROOT", (dir / "no-dev").c_str()};
    MessageRecorder messages;
};

TEST_P(ProgramTexts, EveryTextOfEveryPageAndDialogFitsItsControl) {
    const std::string language = GetParam();
    SetThreadUiLanguage(LanguageIdOf(language));
    int pages = 0;
    int dialogs = 0;
    uiwalk::WalkProgram(language, [&](QWidget& shown, const QString& name) {
        (name.startsWith(QStringLiteral("main-")) ? pages : dialogs)++;
        const std::vector<Clipping> found = FindClippedTexts(&shown);
        EXPECT_TRUE(found.empty()) << name.toStdString() << ":" << Describe(found);
    });
    // A label and a receipt printer: four pages and five; the dialogs once.
    EXPECT_GE(pages, 9);
    EXPECT_GE(dialogs, static_cast<int>(uiwalk::ProgramDialogs().size()));
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_P(ProgramTexts, TheMainWindowOpensAtTheSizeThatHoldsEveryPage) {
    const std::string language = GetParam();
    SetThreadUiLanguage(LanguageIdOf(language));
    QSize opened;
    uiwalk::WalkProgram(
        language,
        [&](QWidget& shown, const QString& name) {
            // The first page is shown as the window opens; the others are built later.
            if (!opened.isValid()) opened = shown.size();
            EXPECT_EQ(shown.size(), opened) << name.toStdString() << " made the window grow";
            QWidget* area = shown.findChild<QWidget*>(QStringLiteral("IDC_1029"));
            ASSERT_NE(area, nullptr);
            for (const QWidget* page : area->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                if (!page->isVisible()) continue;
                const QSize needs = page->minimumSizeHint();
                EXPECT_TRUE(needs.width() <= area->width() && needs.height() <= area->height())
                    << name.toStdString() << ": " << page->metaObject()->className() << " needs " << needs.width()
                    << "x" << needs.height() << ", the page area is " << area->width() << "x" << area->height();
            }
        },
        uiwalk::Walk::PagesOnly);
    EXPECT_TRUE(opened.isValid());
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, ProgramTexts, ::testing::Values("English", "Chinese"));

} // namespace
} // namespace pemberlux::test
