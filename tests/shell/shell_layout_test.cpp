// The window as it opens, before start-up: every control where the layout puts it, with its
// caption, font, tool-tip and state, in one tab sequence, stacked so tokens stay on top.

#include "test_support.h"

#include "shell/court_area.h"
#include "shell/sheet_view.h"
#include "shell/token_widget.h"
#include "shell/vb_timer.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

#include <gtest/gtest.h>

namespace pellix {
namespace {

using testing::ProgramFolder;
using testing::RecordingForm;

struct Expected {
    const char* name;
    int left, top, width, height;
    int tab;            // -1: takes no tab position
    const char* text;   // caption or text; nullptr: none to compare
    const char* face;   // nullptr: the window's default
    double points;
    bool bold;
    bool visible;
    bool enabled;
};

// Typed from the window layout, independently of the program's own table.
const Expected kControls[] = {
    {"cmdMiss", 6480, 120, 2775, 1815, 27, "通常ミス", "ＭＳ Ｐゴシック", 27.75, true, false, true},
    {"cmdSave", 6480, 2040, 2775, 1575, 1, "決定", "ＭＳ Ｐゴシック", 36, false, true, false},
    {"lblStatus", 6000, 3720, 4095, 255, 26, "Status : ", nullptr, 0, false, true, true},
    {"cmdPrev", 9600, 240, 975, 975, 3, "≪", "ＭＳ Ｐゴシック", 36, false, true, true},
    {"Label1", 10560, 360, 3735, 855, 4, "第          節", "ＭＳ Ｐゴシック", 36, false, true, true},
    {"txtTurn", 11400, 240, 2055, 1095, 5, "7878", "ＭＳ ゴシック", 48, false, true, true},
    {"cmdNext", 14280, 240, 975, 975, 2, "≫", "ＭＳ Ｐゴシック", 36, false, true, true},
    {"lblVer", 10920, 1680, 3255, 255, 23, "Pellix乱打 入力用紙\u3000ver 0.15.061110", nullptr, 0, false, true, true},
    {"picQVN", 14280, 1320, 810, 525, 22, nullptr, nullptr, 0, false, true, true},
    {"lblView", 12720, 2040, 1455, 255, 25, "ポイント表示形式", nullptr, 0, false, true, true},
    {"chkView", 14280, 1920, 855, 375, 24, "Normal", nullptr, 0, false, true, true},
    {"OLEWorkSheet", 120, 5760, 15135, 4455, 0, nullptr, nullptr, 0, false, true, true},
    {"lblPrize", 1560, 10320, 15480, 255, 28, "各種称号", nullptr, 0, false, false, true},
    {"picCourt(1)", 120, 120, 2775, 1815, -1, nullptr, nullptr, 0, false, true, true},
    {"picCourt(2)", 120, 2040, 2775, 1815, -1, nullptr, nullptr, 0, false, true, true},
    {"picCourt(3)", 3000, 120, 2775, 1815, -1, nullptr, nullptr, 0, false, true, true},
    {"picCourt(4)", 3000, 2040, 2775, 1815, -1, nullptr, nullptr, 0, false, true, true},
    {"picUser(1)", 120, 4080, 1575, 1575, 6, nullptr, nullptr, 0, false, true, true},
    {"picUser(2)", 1800, 4080, 1575, 1575, 7, nullptr, nullptr, 0, false, true, true},
    {"picUser(3)", 3480, 4080, 1575, 1575, 8, nullptr, nullptr, 0, false, true, true},
    {"picUser(4)", 5160, 4080, 1575, 1575, 9, nullptr, nullptr, 0, false, true, true},
    {"picUser(5)", 6840, 4080, 1575, 1575, 10, nullptr, nullptr, 0, false, true, true},
    {"picUser(6)", 8520, 4080, 1575, 1575, 11, nullptr, nullptr, 0, false, true, true},
    {"picUser(7)", 10200, 4080, 1575, 1575, 12, nullptr, nullptr, 0, false, true, true},
    {"picUser(8)", 11880, 4080, 1575, 1575, 13, nullptr, nullptr, 0, false, true, true},
    {"picUser(9)", 13560, 4080, 1575, 1575, 14, nullptr, nullptr, 0, false, true, true},
    {"picUser(10)", 10200, 2400, 1575, 1575, 16, nullptr, nullptr, 0, false, true, true},
    {"picUser(11)", 11880, 2400, 1575, 1575, 18, nullptr, nullptr, 0, false, true, true},
    {"picUser(12)", 13560, 2400, 1575, 1575, 15, nullptr, nullptr, 0, false, true, true},
    {"picUser(21)", 720, 240, 1575, 1575, 17, nullptr, nullptr, 0, false, true, true},
    {"picUser(22)", 720, 2160, 1575, 1575, 21, nullptr, nullptr, 0, false, true, true},
    {"picUser(23)", 3600, 240, 1575, 1575, 19, nullptr, nullptr, 0, false, true, true},
    {"picUser(24)", 3600, 2160, 1575, 1575, 20, nullptr, nullptr, 0, false, true, true},
};

QString textOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    return {};
}

class WindowLayout : public ::testing::Test {
protected:
    ProgramFolder folder;
    RecordingForm form{folder.path()};

    // The window opens with the layout's size, where every control stands as the layout says.
    void SetUp() override {
        form.resize(form.twipsToPixels(MainForm::layoutSizeTwips().width()),
                    form.twipsToPixels(MainForm::layoutSizeTwips().height()));
        form.show();
        // With the banner shown the sheet view keeps exactly its place in the layout; hidden, it
        // gives its line to the sheet view.
        form.setPrizeVisible(true);
    }

    QWidget* control(const char* name) { return form.findChild<QWidget*>(QString::fromUtf8(name)); }
    // Pixels at this screen's logical resolution; 96 dpi gives 15 twips to the pixel.
    int pixels(int twips) {
        const double dpi = form.screen()->logicalDotsPerInchX();
        return static_cast<int>(std::lround(twips * dpi / 1440.0));
    }
};

TEST_F(WindowLayout, EveryControlStandsWhereTheLayoutPutsIt) {
    for (const Expected& expected : kControls) {
        SCOPED_TRACE(expected.name);
        QWidget* widget = control(expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), QRect(pixels(expected.left), pixels(expected.top), pixels(expected.width),
                                             pixels(expected.height)));
        EXPECT_EQ(widget->isVisibleTo(&form), expected.visible || std::string_view(expected.name) == "lblPrize");
        EXPECT_EQ(widget->isEnabled(), expected.enabled);
        if (expected.text) {
            EXPECT_EQ(textOf(widget), QString::fromUtf8(expected.text));
        }
    }
}

TEST_F(WindowLayout, AtNinetySixDotsPerInchAPixelIsFifteenTwips) {
    if (form.screen()->logicalDotsPerInchX() != 96) GTEST_SKIP() << "screen is not at 96 dpi";
    EXPECT_EQ(control("picUser(1)")->geometry(), QRect(8, 272, 105, 105));
    EXPECT_EQ(control("OLEWorkSheet")->geometry(), QRect(8, 384, 1009, 297));
    form.setPrizeVisible(false);
    EXPECT_EQ(control("OLEWorkSheet")->geometry(), QRect(8, 384, 1009, 713 - 384));
    form.resize(1400, 800);  // a larger window: the sheet view takes the room
    EXPECT_EQ(control("OLEWorkSheet")->geometry(), QRect(8, 384, 1009 + 1400 - 1144, 800 - 384));
}

TEST_F(WindowLayout, NamedFontsAreTheGothicFacesAtTheirSizes) {
    for (const Expected& expected : kControls) {
        if (!expected.face) continue;
        SCOPED_TRACE(expected.name);
        const QFont font = control(expected.name)->font();
        EXPECT_EQ(font.family(), QString::fromUtf8(expected.face));
        EXPECT_DOUBLE_EQ(font.pointSizeF(), expected.points);
        EXPECT_EQ(font.weight(), expected.bold ? QFont::Bold : QFont::Normal);
    }
}

TEST_F(WindowLayout, GothicFacesResolveToTheInstalledIpaFaces) {
    EXPECT_EQ(QFontInfo(control("cmdSave")->font()).family(), QStringLiteral("IPAPGothic"));
    EXPECT_EQ(QFontInfo(control("txtTurn")->font()).family(), QStringLiteral("IPAGothic"));
    // The fixed face: every digit and letter as wide as the next.
    const QFontMetrics fixed(control("txtTurn")->font());
    EXPECT_EQ(fixed.horizontalAdvance(QLatin1Char('1')), fixed.horizontalAdvance(QLatin1Char('W')));
    const QFontMetrics proportional(control("cmdSave")->font());
    EXPECT_NE(proportional.horizontalAdvance(QLatin1Char('1')), proportional.horizontalAdvance(QLatin1Char('W')));
}

TEST_F(WindowLayout, TabMovesThroughTheControlsInTheLayoutsOrder) {
    std::vector<std::pair<int, QWidget*>> expectedOrder;
    for (const Expected& expected : kControls) {
        QWidget* widget = control(expected.name);
        if (expected.tab >= 0 && widget->focusPolicy() & Qt::TabFocus) expectedOrder.emplace_back(expected.tab, widget);
    }
    std::sort(expectedOrder.begin(), expectedOrder.end(), [](auto& a, auto& b) { return a.first < b.first; });
    ASSERT_GE(expectedOrder.size(), 20u);

    std::vector<QWidget*> walked;
    QWidget* widget = expectedOrder.front().second;
    for (std::size_t i = 0; i < expectedOrder.size(); ++i) {
        walked.push_back(widget);
        do widget = widget->nextInFocusChain();
        while (widget->parentWidget() != &form || !(widget->focusPolicy() & Qt::TabFocus));
    }
    for (std::size_t i = 0; i < expectedOrder.size(); ++i) {
        EXPECT_EQ(walked[i]->objectName(), expectedOrder[i].second->objectName()) << "tab position " << i;
    }
}

TEST_F(WindowLayout, LabelsAndCourtAreasNeverTakeTheFocus) {
    for (const char* name : {"lblStatus", "Label1", "lblVer", "lblView", "lblPrize", "picCourt(1)", "picCourt(4)"}) {
        EXPECT_EQ(control(name)->focusPolicy(), Qt::NoFocus) << name;
    }
}

// The guests' tokens keep their names as tool-tips; the controls a first-time scorer meets say
// what they do; placeholders say nothing.
TEST_F(WindowLayout, ToolTipsNameTheGuestsAndExplainTheControls) {
    EXPECT_EQ(control("picUser(10)")->toolTip(), QStringLiteral("ゲストさんＡ"));
    EXPECT_EQ(control("picUser(11)")->toolTip(), QStringLiteral("ゲストさんB"));
    EXPECT_EQ(control("picUser(12)")->toolTip(), QStringLiteral("ゲストさんＣ"));
    for (const char* name : {"cmdSave", "cmdMiss", "txtTurn", "cmdPrev", "cmdNext", "picQVN", "chkView", "picCourt(2)",
                             "picUser(1)", "picUser(9)"})
        EXPECT_FALSE(control(name)->toolTip().isEmpty()) << name;
    EXPECT_TRUE(control("cmdSave")->toolTip().contains(QStringLiteral("4 人")));
    EXPECT_TRUE(control("picQVN")->toolTip().contains(QStringLiteral("初期化")));
    for (int token : {21, 24}) {
        EXPECT_TRUE(control(("picUser(" + std::to_string(token) + ")").c_str())->toolTip().isEmpty()) << token;
    }
}

TEST_F(WindowLayout, TokensExistOnlyForPlayersAndPlaceholders) {
    for (int token = 0; token <= 24; ++token) {
        const bool exists = (token >= 1 && token <= 12) || token >= 21;
        EXPECT_EQ(form.picUser[token] != nullptr, exists) << token;
        if (exists) {
            EXPECT_EQ(form.picUser[token]->draggable(), token <= 12) << token;
            EXPECT_TRUE(form.picUser[token]->picture().isNull()) << token;
        }
    }
}

TEST_F(WindowLayout, TokensAndTheTurnBoxLieAboveWhatTheyOverlap) {
    form.resize(form.minimumSize());
    // Placeholder 21 stands inside court slot 1; the turn box lies over the gap in Label1.
    for (const char* name : {"picUser(21)", "picUser(24)", "txtTurn"}) {
        QWidget* widget = control(name);
        EXPECT_EQ(form.childAt(widget->geometry().center()), widget) << name;
    }
    EXPECT_EQ(form.childAt(control("picCourt(1)")->geometry().topLeft() + QPoint(2, 2)), control("picCourt(1)"));
}

TEST_F(WindowLayout, TimersAreStoppedAndTheWindowHoldsTheWholeLayout) {
    EXPECT_EQ(form.timDown->Interval(), 0);
    EXPECT_EQ(form.timMiss->Interval(), 0);
    EXPECT_FALSE(form.chkView->isChecked());
    EXPECT_GE(form.minimumWidth(), pixels(17040));
    // Above the sheet view everything keeps its place; the sheet view may shrink to eight rows so
    // that the window fits a 1366x768 screen with a panel.
    EXPECT_GE(form.minimumHeight(), pixels(5760 + 2700));
    EXPECT_LE(form.minimumHeight(), 768 - 40 - 30);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Pellix乱打　記録用紙"));
}

TEST_F(WindowLayout, TheSheetViewShowsAnEmptySheetBeforeStartUp) {
    const SheetModel& model = form.OLEWorkSheet->sheetModel();
    EXPECT_EQ(model.sheet().name, "Sheet1");
    EXPECT_TRUE(model.sheet().cells.empty());
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("A"));
    EXPECT_EQ(model.headerData(0, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("1"));
}

}  // namespace
}  // namespace pellix
