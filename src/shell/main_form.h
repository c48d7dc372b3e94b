#pragma once

// The one window of the program. The event handlers carry the names of the control and the
// event; they decide nothing themselves beyond forwarding to the board, the turn-text rules and
// the score routines, which are plain C++.
//
// Where the members are defined:
//   main_form.cpp           the controls and their layout, the window's own events, placeToken
//   main_form_host.cpp      Form_Load, Form_Unload, the guide line, the message boxes, the
//                           ScoreHost members, scoreContext
//   main_form_input.cpp     cmdSave_Click, timDown_Timer, timMiss_Timer, cmdMiss_Click,
//                           picCourt_Click, cmdSave_MouseUp, cmdPrev_Click,
//                           cmdNext_Click, and the turn's side of the TurnHost
//   main_form_board.cpp     picCourt_DragDrop, the pointer on the tokens,
//                           carryOutDrop, sortBench
//   main_form_workbook.cpp  chkView_Click, picQVN_Click, the history: undo, redo, correction,
//                           the last court, a vanished workbook, a stale lock
//   audience_board.cpp      toggleSpectatorBoard and what keeps the spectator board up to date
//   web_board_link.cpp      serveWebBoard, boardFeed, the web board's control
//
// The phase of a turn belongs to the turn machine (input/turn_machine.h): every handler forwards
// to it, and it calls back through TurnHost for what the window shows.

#include "board/board.h"
#include "input/turn_machine.h"
#include "input/turn_text.h"
#include "workbook/score_host.h"
#include "workbook/live_titles.h"
#include "workbook/score_routines.h"
#include "workbook/version_store.h"

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
#include <optional>
#include <utility>

class QKeyEvent;

namespace pellix {

namespace layout {
struct ControlLayout;
}

struct BoardFeed;
class CourtArea;
class InputFlush;
class SheetView;
class SpectatorBoard;
class SoundPlayer;
class TokenWidget;
class VbTimer;
class WebBoardLink;

// The seams a test replaces: sounds, modal message boxes, the program folder.
struct FormSeams {
    std::shared_ptr<SoundPlayer> sound;  // null: a real player
    // A modal message box: text, buttons, default button; returns the button pressed.
    std::function<QMessageBox::StandardButton(const QString& text, QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)>
        messageBox;  // empty: a real QMessageBox
    // The correction of a recorded turn: the turn and who missed in it (0: nobody), or nothing
    // when the scorer cancels; empty: the window's own dialog.
    std::function<std::optional<std::pair<int, int>>(const ShownRecord& record)> chooseCorrection;
};

// What the start-up box says when data.xls cannot be opened: what failed, the file's full path
// and what the scorer can do about it.
std::string startupFailure(const std::filesystem::path& dataPath, const std::string& cause);

class MainForm : public QWidget, private ScoreHost, private TurnHost {
    Q_OBJECT

public:
    explicit MainForm(std::filesystem::path programFolder, FormSeams seams = {}, QWidget* parent = nullptr);
    ~MainForm() override;

    // Start-up: the workbook read, the pictures and the sheet view shown.
    void Form_Load();
    // The size to open with on a screen whose free area is `available` (empty: no limit): the
    // whole layout when it fits, with room left for a title bar; else what fits, never below the
    // minimum.
    QSize initialSize(QSize available) const;
    // Maps the Gothic faces the layout names onto the installed IPA Gothic faces.
    static void installFontSubstitutions();
    // Shows " " + message in the status line.
    void SetStatus(const std::string& message) override;
    // False after a failed start-up and once the window has closed.
    bool workbookOpen() const override;
    // The court picture the window paints beneath its controls; null when there is none.
    const QPixmap& courtPicture() const { return courtPicture_; }

    // The spectator board (F11): opens it, following this window, or hides it. Shift+F11 puts it
    // full screen on the screen it stands on, or back. Null until first opened.
    void toggleSpectatorBoard();
    const SpectatorBoard* spectatorBoard() const { return spectator_.get(); }

    // The web board (web_board_link.cpp): serves it on "[ADDRESS:]PORT", or says why not in
    // `error`. Null until first served.
    bool serveWebBoard(const QString& listen, QString* error);
    const WebBoardLink* webBoard() const { return web_.get(); }
    // The window's control for the web board, left of the display format's caption: it serves the
    // board on the port used last (8080 the first time), shows the address to open with its QR
    // code, and stops it. Its name is "webBoardButton".
    void installWebBoardControl();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Unload();

    // Miss entry and countdown.
    void cmdSave_Click();
    void timDown_Timer();
    void timMiss_Timer();
    void cmdMiss_Click();
    void picCourt_Click(int Index);
    void cmdSave_MouseUp();

    // A token dropped on a court slot's area (a substitution chosen from the keyboard).
    void picCourt_DragDrop(int Index, int source);

    // Turn navigation.
    void cmdPrev_Click();
    void cmdNext_Click();
    void stepTurn(TurnStep step);

    // The pointer on a token (each token tells of it): pressed at `global`, `inToken` from the
    // token's corner; moved with `buttons` held; released.
    void tokenPressed(int token, QPoint global, QPoint inToken);
    void tokenPointerMoved(QPoint global, Qt::MouseButtons buttons);
    void tokenReleased(QPoint global);
    // What lies under a point of the screen: a token, else a court slot's area.
    PointerTarget pointerTargetAt(QPoint global) const;

    // A key pressed anywhere in the window (main_form_input.cpp), `inTurnBox` when the turn box
    // receives it; true when it was a scoring key.
    bool handleKey(const QKeyEvent& event, bool inTurnBox);

    // Point display formats and data reset.
    void chkView_Click();
    void picQVN_Click();

    // The history (main_form_workbook.cpp): undo and redo the last operation (Ctrl+Z, Ctrl+Y or
    // Ctrl+Shift+Z), correct who missed in a recorded turn (Ctrl+E), and put the last recorded
    // turn's players back on court (Ctrl+R); also on the window's context menu.
    void undoLast();
    void redoLast();
    void correctTurn();
    void restoreLastCourt();

    // ScoreHost
    void playSound(const std::string& fileName) override;
    void showFailure(const std::string& message) override;
    void relinkSheetView() override;
    void sortBench(const BenchOrders& orders) override;
    std::string viewCaption() const override;
    void setViewCaption(const std::string& caption) override;
    void setPrizeVisible(bool visible) override;
    void setTurnText(const std::string& text) override;
    bool setTokenPicture(int token, const std::filesystem::path& file) override;
    bool setQvnPicture(const std::filesystem::path& file) override;
    bool setCourtPicture(const std::filesystem::path& file) override;
    void setPrizeCaption(const std::string& caption) override;
    bool writeDespiteLock(const std::filesystem::path& lockFile, const std::string& holder,
                          const std::string& since) override;

    // TurnHost (main_form_input.cpp, carryOutDrop and the drag picture in main_form_board.cpp)
    std::string turnText() const override;
    int lastRecordedTurn() const override;
    bool confirmRerecord(std::int16_t turn, int lastRecorded) override;
    void countdownStarted() override;
    void countdownTicked() override;
    void closeBegins(std::int16_t named) override;
    bool recordTurn(std::int16_t turn, std::int16_t named) override;
    void restoreIdleControls(std::int16_t turn, bool recorded) override;
    void closeEnded(std::int16_t turn, bool recorded) override;
    void carryOutDrop(int target, int source) override;
    void dragStarted(int token) override;
    void dragEnded() override;
    void refused(Refusal why, const std::string& message) override;
    void closeWindow() override;
    void operationBegins() override;

    // The player's name as column B of the sheet view shows it; empty when there is none.
    std::string playerName(int player) const;

    // Module-level state.
    Board board;
    std::filesystem::path DataPath;
    XlAppHandle xlApp;
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
    QLabel* lblGuide = nullptr;  // who was named at the last miss, or what to do next
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
    // The smallest window: the layout with the sheet view at its smallest.
    static QSize minimumSizeTwips();
    // The sheet view's smallest height, in twips: eight rows and the column letters.
    static constexpr int kMinimumSheetHeight = 2700;

    void buildControls();
    QWidget* createControl(const layout::ControlLayout& control);
    QLabel* createLabel(const layout::ControlLayout& control);
    QPushButton* createButton(const layout::ControlLayout& control);
    void applyLayout(QWidget& widget, const layout::ControlLayout& control);
    void setTabSequence();
    bool loadWorkbookPicture(const std::filesystem::path& file, QPixmap& picture);
    void layoutSheetArea();
    QMessageBox::StandardButton ask(const QString& text, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton,
                                    QMessageBox::Icon icon = QMessageBox::NoIcon);
    void connectHandlers();
    // Where a message box opens: clear of the status line where the screen has room.
    void placeClearOfStatus(QWidget& box) const;

    std::filesystem::path programFolder_;
    FormSeams seams_;
    QPixmap courtPicture_;
    std::unique_ptr<TurnMachine> turn_;
    // The token being dragged: its picture follows the pointer, held where it was grabbed.
    QLabel* dragPicture_ = nullptr;
    QPoint pressedAt_;
    QPoint pointerAt_;  // where the pointer was last seen during a gesture
    QPoint grabbedAt_;
    int markedToken_ = 0;
    int chosenSlot_ = 0;  // the court slot chosen from the keyboard for a substitution, 0 when none
    void chooseSlot(int slot);
    // The player named at the last miss is named no more: his frame, the guide and the board.
    void forgetNamedPlayer();
    void showKeyHelp();
    // The picture files the load asked for and could not show, for the status line.
    std::vector<std::string> missingPictures_;
    void showPlainFaces();
    // The guide line: the player named at the last miss, else what the scorer can do next.
    void updateGuide();
    // In red for a named player, else in blue as a hint.
    void showGuide(const QString& text, bool named);
    void setToolTips();
    bool unloaded_ = false;
    std::unique_ptr<SpectatorBoard> spectator_;
    void installSpectatorShortcuts();
    // The spectator board, when open, reads this window again; so does the web board.
    void boardFollows();
    std::unique_ptr<WebBoardLink> web_;
    void webFollows();
    // What both boards show now.
    BoardFeed boardFeed() const;
    bool screenWatched_ = false;
    InputFlush* inputFlush_ = nullptr;

    // The history of the program folder; null until start-up has fixed the folder.
    SystemClock clock_;
    std::unique_ptr<VersionStore> versions_;
    // Lock files the scorer said to write past, until the program ends.
    std::vector<std::filesystem::path> locksWrittenPast_;
    void installHistoryActions();
    void stepHistory(bool undo);
    // data.xls is still a workbook; when it went away or was spoilt, offers to put back the last
    // version kept. False when the operation must not run.
    bool workbookStillThere();
    // The four players by slot (0: leave the slot), each as if dragged there.
    void standOnCourt(const std::array<int, 5>& players);
    // What every finished operation says besides: that it cannot be undone.
    bool finished(const OperationResult& result);
};

}  // namespace pellix
