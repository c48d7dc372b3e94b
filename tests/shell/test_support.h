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
#include <QTest>
#include <QTimer>

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
    FormSeams seams() {
        return {sound,
                [this](const QString& text, QMessageBox::StandardButtons, QMessageBox::StandardButton fallback) {
                    messageBoxes.push_back(text);
                    return answer == QMessageBox::NoButton ? fallback : answer;
                },
                {},
                [this](const ShownRecord& record) {
                    return correction ? correction(record) : std::optional<std::pair<int, int>>();
                }};
    }
};

// A window on a program folder that notes every sound and message box.
class RecordingForm : public Recorders, public MainForm {
public:
    explicit RecordingForm(const ProgramFolder& folder) : MainForm(folder.path(), seams()) {}
};

}  // namespace pellix::testing
