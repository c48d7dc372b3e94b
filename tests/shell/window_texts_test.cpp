// Every text of the window is seen whole in its control, at the layout's size and on a laptop
// screen (1366x740), in every state that changes it; every token shows its picture or plain face
// whatever marks it carries.

#include "shell/fitting_label.h"
#include "test_support.h"

#include <QCheckBox>
#include <QStyleOptionButton>

namespace pellix {
namespace {

namespace fs = std::filesystem;

// What of `widget`'s text is not seen: empty when all of it fits.
std::string clipped(QWidget* widget) {
    const auto tooWide = [&](const QFont& font, const QString& text, int room) {
        const QFontMetrics metrics(font);
        return metrics.horizontalAdvance(text) > room ? text.toStdString() : std::string();
    };
    if (auto* label = qobject_cast<FittingLabel*>(widget)) {
        const FittingLabel::Fitted shown = label->fitted();
        if (shown.shortened && !shown.text.endsWith(QChar(0x2026))) return "shortened without a mark";
        if (QFontMetrics(shown.font).height() > label->contentsRect().height()) return "too tall";
        return tooWide(shown.font, shown.text, label->contentsRect().width());
    }
    if (auto* label = qobject_cast<QLabel*>(widget); label && label->pixmap().isNull())
        return tooWide(label->font(), label->text(), label->contentsRect().width());
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        return tooWide(box->font(), box->text(), room.width());
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        return tooWide(button->font(), button->text(), room.width());
    }
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        const QMargins margins = line->textMargins();
        return tooWide(line->font(), line->text(), line->contentsRect().width() - margins.left() - margins.right() - 4);
    }
    return {};
}

// Every control's text in the states the window shows, at both sizes; the tokens' names are the
// sample's, and a missing picture gives the longest status line there is.
TEST(WindowTexts, EveryTextFitsItsControl) {
    testing::ProgramFolder folder;
    fs::remove_all(folder / "image");
    testing::RecordingForm form(folder);
    form.show();
    form.Form_Load();
    const auto check = [&](const char* state) {
        for (const QSize size : {form.initialSize({}), form.initialSize(QSize(1366, 740))}) {
            form.resize(size);
            for (QWidget* control : form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                if (!control->isVisibleTo(&form)) continue;
                EXPECT_EQ(clipped(control), "") << state << ": " << control->objectName().toStdString() << " at "
                                                << size.width() << "x" << size.height();
            }
        }
    };
    const auto* status = qobject_cast<FittingLabel*>(form.lblStatus);
    ASSERT_TRUE(status && status->fitted().shortened);
    EXPECT_TRUE(form.lblStatus->text().contains(QStringLiteral(" ほか ")));
    check("at start");
    for (int k = 1; k <= 4; ++k) form.drag(7 + k, form.picUser(kFirstPlaceholder - 1 + k));
    form.txtTurn->setText(QStringLiteral("2060"));
    form.key(QKeyEvent(QEvent::KeyPress, Qt::Key_3, {}, "3"));
    check("a court slot chosen");
    form.cmdSave->click();
    check("the countdown");
    QTest::mouseClick(form.picCourt(4), Qt::LeftButton);  // the guest with the longest name
    EXPECT_TRUE(form.lblGuide->text().startsWith(QStringLiteral("C : 11 ")));
    form.chkView->click();
    check("a player named, in the Hyper format");
}

// Each token's middle, away from its frame and its letter, looks the same in every state: no mark
// paints over the picture or the plain face.
TEST(WindowTexts, TokensKeepTheirPicturesInEveryState) {
    testing::ProgramFolder folder;
    fs::remove(folder / "image" / "p02.gif");
    testing::RecordingForm form(folder);
    form.show();
    form.Form_Load();
    for (int token : {1, 2}) {
        TokenWidget* widget = form.picUser(token);
        const QRect middle(widget->width() / 5, widget->height() * 2 / 5, widget->width() * 2 / 5,
                           widget->height() / 2);
        const QImage plain = widget->grab().toImage().copy(middle);
        for (const auto& [marked, letter] : {std::pair(true, 0), {false, 'A'}, {true, 'B'}}) {
            widget->setMarked(marked);
            widget->setKeyLetter(letter);
            EXPECT_EQ(widget->grab().toImage().copy(middle), plain) << token << " marked " << marked << " " << letter;
        }
    }
}

}  // namespace
}  // namespace pellix
