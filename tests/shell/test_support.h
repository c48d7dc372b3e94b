#pragma once

// What the window's tests share: the QApplication (created by the test main), a scratch program
// folder made from the sample assets, and a window that records its status messages, sounds and
// message boxes.

#include "shell/main_form.h"
#include "shell/sound_player.h"
#include "workbook/xls/workbook.h"

#include <QImage>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pellix::testing {

// A program folder under the temporary folder, removed by the destructor. Made from the sample
// assets; where those are missing, from generated pictures (and then without data.xls).
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path dataPath() const { return path_ / "data.xls"; }
    bool hasWorkbook() const;

    void remove(const std::filesystem::path& relative) const;
    void write(const std::filesystem::path& relative, const std::string& bytes) const;
    // Writes one cell of the active sheet of data.xls; row and column 1-based as the sheet numbers them.
    void setCell(int row, int column, const xls::CellValue& value) const;

private:
    std::filesystem::path path_;
};

class RecordingSound : public SoundPlayer {
public:
    std::vector<std::filesystem::path> played;
    void play(const std::filesystem::path& file) override { played.push_back(file); }
};

struct Recorders {
    std::shared_ptr<RecordingSound> sound = std::make_shared<RecordingSound>();
    std::vector<QString> messageBoxes;
    std::vector<std::string> statuses;
    // The button the next message boxes are answered with; NoButton: their default button.
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
};

// A window that notes every status message in order, every sound and every message box; the
// message boxes are answered with their default button. `seams` may replace the workbook
// connection; its sound and message box are the recorders'.
class RecordingForm : public Recorders, public MainForm {
public:
    explicit RecordingForm(const std::filesystem::path& folder, FormSeams seams = {});
    void SetStatus(const std::string& message) override;
};

// Keeps the event loop turning until `done` or the time is up; false when the time ran out.
bool spinUntil(const std::function<bool()>& done, int milliseconds);

QImage pictureOf(const std::filesystem::path& file);
bool samePicture(const QImage& a, const QImage& b);

}  // namespace pellix::testing
