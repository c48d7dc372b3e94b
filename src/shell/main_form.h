#pragma once

// The one window of the program. The event handlers carry the names of the control and the
// event; they decide nothing themselves beyond forwarding to the board, the turn-text rules and
// the score routines, which are plain C++.
//
// Where the members are defined:
//   main_form.cpp           the controls and their layout, Form_Load, Form_Unload, the other
//                           ScoreHost members, placeToken, scoreContext
//   main_form_input.cpp     cmdSave_Click, timDown_Timer, timMiss_Timer, cmdMiss_Click,
//                           picCourt_Click, picUser_DragOver, cmdSave_MouseUp, cmdPrev_Click,
//                           cmdNext_Click
//   main_form_board.cpp     picUser_DragDrop, picCourt_DragDrop, acceptsDrops, sortBench
//   main_form_workbook.cpp  chkView_Click, picQVN_Click, setBusy

#include "board/board.h"
#include "workbook/score_host.h"
#include "workbook/score_routines.h"
#include "workbook/xl_app.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>
#include <memory>

namespace pellix {

class CourtArea;
class InputFlush;
class SheetView;
class SoundPlayer;
class TokenWidget;
class VbTimer;

// The seams a test replaces: sounds, modal message boxes, the program folder.
struct FormSeams {
    std::shared_ptr<SoundPlayer> sound;  // null: a real player
    // A modal message box: text, buttons, default button; returns the button pressed.
    std::function<QMessageBox::StandardButton(const QString& text, QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)>
        messageBox;  // empty: a real QMessageBox
    // Creating the workbook connection at start-up; empty: a new XlApp. A test makes it throw to
    // see a failed start-up.
    std::function<std::unique_ptr<XlApp>()> createXlApp;
};

class MainForm : public QWidget, public ScoreHost {
    Q_OBJECT

public:
    explicit MainForm(std::filesystem::path programFolder, FormSeams seams = {}, QWidget* parent = nullptr);
    ~MainForm() override;

    // Start-up and shutdown.
    void Form_Load();
    void Form_Unload();

    // Miss entry and countdown.
    void cmdSave_Click();
    void timDown_Timer();
    void timMiss_Timer();
    void cmdMiss_Click();
    void picCourt_Click(int Index);
    void picUser_DragOver(int Index);
    void cmdSave_MouseUp();

    // Turn navigation.
    void cmdPrev_Click();
    void cmdNext_Click();

    // Token drag and drop; `source` is the dragged token's number.
    void picUser_DragDrop(int Index, int source);
    void picCourt_DragDrop(int Index, int source);
    // Whether a drop may land now: not while a workbook operation is running.
    bool acceptsDrops() const;

    // Point display formats and data reset.
    void chkView_Click();
    void picQVN_Click();
    bool mayStartWorkbookOperation() const;  // main_form_workbook.cpp

    // ScoreHost
    void SetStatus(const std::string& message) override;
    void playSound(const std::string& fileName) override;
    void showFailure(const std::string& message) override;
    void relinkSheetView() override;
    void sortBench() override;
    std::string viewCaption() const override;
    void setViewCaption(const std::string& caption) override;
    void setPrizeVisible(bool visible) override;
    void setTurnText(const std::string& text) override;
    bool setTokenPicture(int token, const std::filesystem::path& file) override;
    bool setQvnPicture(const std::filesystem::path& file) override;
    bool setCourtPicture(const std::filesystem::path& file) override;
    void setPrizeCaption(const std::string& caption) override;
    void setBusy(bool busy) override;  // main_form_workbook.cpp

    // Module-level state.
    Board board;
    std::int16_t MissIndex = 0;
    std::filesystem::path DataPath;
    std::unique_ptr<XlApp> xlApp;

    const std::filesystem::path& programFolder() const { return programFolder_; }
    ScoreContext scoreContext();

    // Controls, named as the layout names them (each widget's objectName too, with the index for
    // array members: "picUser(3)", "picCourt(1)").
    std::array<TokenWidget*, kTokenCount + 1> picUser{};  // null for 0 and 13..20
    std::array<CourtArea*, 5> picCourt{};                 // 1..4
    QPushButton* cmdMiss = nullptr;
    QPushButton* cmdSave = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* cmdPrev = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtTurn = nullptr;
    QPushButton* cmdNext = nullptr;
    QLabel* lblVer = nullptr;
    QLabel* picQVN = nullptr;
    QLabel* lblView = nullptr;
    QCheckBox* chkView = nullptr;
    SheetView* OLEWorkSheet = nullptr;
    QLabel* lblPrize = nullptr;
    VbTimer* timDown = nullptr;
    VbTimer* timMiss = nullptr;

    // Shows token `token` where the board says it stands.
    void placeToken(int token);
    // Twips to this screen's pixels; positions are never read back from widgets.
    int twipsToPixels(double twips) const;
    // Places every control from the layout table and the board, for the screen in use.
    void applyLayout();
    // The window's size in twips: the layout's extent and a margin.
    static QSize layoutSizeTwips();
    // Maps the Gothic faces the layout names onto the installed IPA Gothic faces.
    static void installFontSubstitutions();

    InputFlush& inputFlush() { return *inputFlush_; }
    SoundPlayer& soundPlayer() { return *seams_.sound; }
    const QPixmap& courtPicture() const { return courtPicture_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    // Shows the failures held back while a token drag was running (main_form.cpp).
    void showHeldFailures();
    // Records a turn whose close came during a token drag, once the drag is over
    // (main_form_input.cpp).
    void finishHeldClose();

private:
    void recordClosedTurn();  // the close after the timers stopped (main_form_input.cpp)
    std::vector<std::string> heldFailures_;
    bool closeHeldForDrag_ = false;
    void buildControls();
    QMessageBox::StandardButton ask(const QString& text, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton,
                                    QMessageBox::Icon icon = QMessageBox::NoIcon);
    void connectHandlers();

    std::filesystem::path programFolder_;
    FormSeams seams_;
    QPixmap courtPicture_;
    bool operationRunning_ = false;  // a workbook operation is between open and " Status : OK"
    bool unloaded_ = false;
    bool screenWatched_ = false;
    InputFlush* inputFlush_ = nullptr;
};

}  // namespace pellix
