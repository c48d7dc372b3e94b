#pragma once

// What the window's tests share: the QApplication (made by the test main), a scratch copy of the
// sample program folder, and a window that notes what it tells the scorer.

#include "shell/court_area.h"
#include "shell/main_form.h"
#include "shell/sheet_view.h"
#include "shell/token_widget.h"
#include "shell/vb_timer.h"
#include "shell/sound_player.h"
#include "support.h"
#include "workbook/cell_map.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

namespace pellix {
using xls::CellValue;
using xls::ValueKind;
}  // namespace pellix

namespace pellix::testing {

class ProgramFolder : public ScratchFolder {
public:
    ProgramFolder();
    std::filesystem::path dataPath() const { return path() / "data.xls"; }
    // One cell of the active sheet of data.xls, 1-based as the sheet numbers it.
    void setCell(int row, int column, const xls::CellValue& value) const;
    // A turn's row: the slots of players 1..12 (0: off court), then " C<n>" for a player named:
    // "123400000000 C2".
    std::string turnRow(int turn) const;
};

class RecordingSound : public SoundPlayer {
public:
    std::vector<std::string> played;  // file names
    void play(const std::filesystem::path& file) override { played.push_back(file.filename().string()); }
};

struct Recorders {
    std::shared_ptr<RecordingSound> sound = std::make_shared<RecordingSound>();
    std::vector<QString> messageBoxes;
    // The button the message boxes are answered with; NoButton: their default button.
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    // The correction the scorer chooses; empty: he cancels.
    std::function<std::optional<std::pair<int, int>>(const ShownRecord&)> correction;
    // `realBoxes`: the window's own message boxes open.
    FormSeams seams(bool realBoxes);
};

// A window on a program folder that notes every sound and message box, driven as the scorer
// drives it: its controls found by the names the layout gives them; clicks, keys and drags as
// the window receives them.
class RecordingForm : public Recorders, public MainForm {
public:
    explicit RecordingForm(const ProgramFolder& folder, bool realBoxes = false)
        : MainForm(folder.path(), seams(realBoxes)) {}

    template <typename Control>
    Control* control(const char* name) const { return findChild<Control*>(QString::fromLatin1(name)); }
    TokenWidget* picUser(int token) const { return findChild<TokenWidget*>(QStringLiteral("picUser(%1)").arg(token)); }
    CourtArea* picCourt(int slot) const { return findChild<CourtArea*>(QStringLiteral("picCourt(%1)").arg(slot)); }
    QPushButton* const cmdSave = control<QPushButton>("cmdSave");
    QPushButton* const cmdMiss = control<QPushButton>("cmdMiss");
    QPushButton* const cmdPrev = control<QPushButton>("cmdPrev");
    QPushButton* const cmdNext = control<QPushButton>("cmdNext");
    QLineEdit* const txtTurn = control<QLineEdit>("txtTurn");
    QLabel* const lblStatus = control<QLabel>("lblStatus");
    QLabel* const lblGuide = control<QLabel>("lblGuide");
    QLabel* const lblPrize = control<QLabel>("lblPrize");
    QLabel* const Label1 = control<QLabel>("Label1");
    QLabel* const picQVN = control<QLabel>("picQVN");
    QCheckBox* const chkView = control<QCheckBox>("chkView");
    SheetView* const OLEWorkSheet = control<SheetView>("OLEWorkSheet");
    VbTimer* const timDown = control<VbTimer>("timDown");
    VbTimer* const timMiss = control<VbTimer>("timMiss");

    // Token `source` pressed, dragged and released over the middle of `target` (a token or a
    // court slot's area).
    void drag(int source, const QWidget* target);
    // A key pressed in the window.
    void key(QKeyEvent&& event) { QApplication::sendEvent(this, &event); }
    // The court as the window shows it: the token standing over each slot's area (1..4).
    std::array<std::int16_t, 5> court() const;
};

}  // namespace pellix::testing
