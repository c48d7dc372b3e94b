// Token drops and the bench order through the window's handlers, offscreen: what the scorer
// hears and sees after each drop, and where the token widgets end up.

#include "shell/token_widget.h"
#include "shell/vb_timer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pellix {
namespace {

class BoardOnScreen : public ::testing::Test {
protected:
    // No start-up: drops need no workbook.
    BoardOnScreen() : form_(std::make_unique<testing::RecordingForm>(folder_.path())) {}

    MainForm& form() { return *form_; }
    std::vector<std::string> played() const {
        std::vector<std::string> names;
        for (const auto& file : form_->sound->played) names.push_back(file.filename().string());
        return names;
    }
    void forgetSounds() { form_->sound->played.clear(); }

    // The token's widget stands where the board says, in this screen's pixels.
    void expectShownAtItsPlace(int token) {
        const TokenPlace& place = form().board.place(token);
        const QRect shown = form().picUser[token]->geometry();
        EXPECT_EQ(shown.topLeft(), QPoint(form().twipsToPixels(place.left), form().twipsToPixels(place.top)))
            << "token " << token;
    }

    testing::ProgramFolder folder_;
    std::unique_ptr<testing::RecordingForm> form_;
};

TEST_F(BoardOnScreen, FourthPlayerOnCourtPlaysTheSoundAndEnablesDecide) {
    ASSERT_FALSE(form().cmdSave->isEnabled());
    form().picUser_DragDrop(21, 5);
    form().picCourt_DragDrop(2, 6);
    form().picUser_DragDrop(23, 7);
    EXPECT_TRUE(played().empty());
    EXPECT_FALSE(form().cmdSave->isEnabled());

    form().picCourt_DragDrop(4, 8);
    EXPECT_EQ(played(), std::vector<std::string>{"ポコ.wav"});
    EXPECT_TRUE(form().cmdSave->isEnabled());
    for (int token : {5, 6, 7, 8, 21, 22, 23, 24}) expectShownAtItsPlace(token);
    EXPECT_EQ(form().picUser[5]->geometry().topLeft(), QPoint(form().twipsToPixels(720), form().twipsToPixels(240)));
    EXPECT_EQ(form().picUser[24]->geometry().topLeft(),
              QPoint(form().twipsToPixels(11880), form().twipsToPixels(4080)));
}

TEST_F(BoardOnScreen, DropsThatChangeNothingOrLeaveAPlaceholder) {
    for (int k = 1; k <= 4; ++k) form().picUser_DragDrop(20 + k, k);
    forgetSounds();

    form().picUser_DragDrop(2, 2);  // onto itself
    form().picCourt_DragDrop(2, 2);  // onto its own slot area
    form().picCourt_DragDrop(7, 5);  // no such slot area
    EXPECT_TRUE(played().empty());
    EXPECT_TRUE(form().cmdSave->isEnabled());

    form().picUser_DragDrop(8, 7);  // two bench tokens: the court stays full
    EXPECT_EQ(played(), std::vector<std::string>{"ポコ.wav"});
    EXPECT_TRUE(form().cmdSave->isEnabled());
    expectShownAtItsPlace(7);
    expectShownAtItsPlace(8);

    form().picUser_DragDrop(22, 2);  // court player 2 onto the placeholder on the bench
    EXPECT_EQ(played().size(), 1u);
    EXPECT_FALSE(form().cmdSave->isEnabled());
    EXPECT_EQ(form().board.CourtSlot[2], 22);
}

// During the countdown a drop is carried out, but the decide button stays off until the close:
// a second press would start the countdown over inside the first.
TEST_F(BoardOnScreen, DropDuringTheCountdownKeepsDecideOff) {
    for (int k = 1; k <= 4; ++k) form().picUser_DragDrop(20 + k, k);
    form().txtTurn->setText("5");
    form().cmdSave_Click();
    ASSERT_EQ(form().timMiss->Interval(), 3000);
    forgetSounds();

    form().picUser_DragDrop(6, 5);
    EXPECT_EQ(played(), std::vector<std::string>{"ポコ.wav"});
    EXPECT_FALSE(form().cmdSave->isEnabled());
    EXPECT_EQ(form().board.Players[5].Slot, 0);  // two bench tokens exchanged places
    expectShownAtItsPlace(5);
}

TEST_F(BoardOnScreen, BenchOrderMovesTheWidgets) {
    // Orders 1, 3, 2 on bench places 1..3; everything else lower.
    for (int token = 1; token <= kTokenCount; ++token) form().board.Players[token].Order = -2;
    form().board.Players[1].Order = 1;
    form().board.Players[2].Order = 3;
    form().board.Players[3].Order = 2;
    form().sortBench();
    EXPECT_EQ(form().board.place(2).left, 120);
    EXPECT_EQ(form().board.place(3).left, 1800);
    EXPECT_EQ(form().board.place(1).left, 3480);
    for (int token : {1, 2, 3, 4, 9, 10, 21}) expectShownAtItsPlace(token);
}

}  // namespace
}  // namespace pellix
