#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>

namespace pellix::testing {

namespace fs = std::filesystem;

namespace {

const fs::path kSample = PELLIX_SAMPLE_DIR;

// A picture of one colour with a darker square in the middle, written in a format Qt can save;
// the loader reads it by its content whatever the file is called.
void writeGeneratedPicture(const fs::path& file, QColor colour, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QPainter painter(&image);
    painter.fillRect(QRect(QPoint(size.width() / 4, size.height() / 4), size / 2), colour.darker(200));
    painter.end();
    fs::create_directories(file.parent_path());
    image.save(QString::fromStdString(file.string()), "BMP");
}

}  // namespace

ProgramFolder::ProgramFolder() {
    static std::mt19937_64 random(std::random_device{}());
    path_ = fs::temp_directory_path() / ("pellix-shell-" + std::to_string(random()));
    fs::create_directories(path_);
    if (fs::exists(kSample / "data.xls")) {
        fs::copy(kSample, path_, fs::copy_options::recursive);
        return;
    }
    for (int k = 1; k <= 12; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "p%02d.gif", k);
        writeGeneratedPicture(path_ / "image" / name, QColor::fromHsv(k * 30, 200, 230), {96, 96});
    }
    writeGeneratedPicture(path_ / "image" / "CourtFrame.gif", QColor(40, 140, 60), {390, 260});
    writeGeneratedPicture(path_ / "QVN.bmp", QColor(250, 220, 40), {54, 35});
}

ProgramFolder::~ProgramFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
}

bool ProgramFolder::hasWorkbook() const { return fs::exists(dataPath()); }

void ProgramFolder::remove(const fs::path& relative) const { fs::remove(path_ / relative); }

void ProgramFolder::write(const fs::path& relative, const std::string& bytes) const {
    fs::create_directories((path_ / relative).parent_path());
    std::ofstream out(path_ / relative, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void ProgramFolder::setCell(int row, int column, const xls::CellValue& value) const {
    xls::Workbook workbook = xls::Workbook::open(dataPath());
    workbook.setCell(workbook.activeSheet(), row - 1, column - 1, value);
    workbook.saveAs(dataPath());
}

namespace {

FormSeams withRecorders(Recorders& recorders, FormSeams seams) {
    seams.sound = recorders.sound;
    seams.messageBox = [&recorders](const QString& text, QMessageBox::StandardButtons,
                                    QMessageBox::StandardButton defaultButton) {
        recorders.messageBoxes.push_back(text);
        return recorders.answer == QMessageBox::NoButton ? defaultButton : recorders.answer;
    };
    return seams;
}

}  // namespace

RecordingForm::RecordingForm(const fs::path& folder, FormSeams seams)
    : Recorders(), MainForm(folder, withRecorders(*this, std::move(seams))) {}

void RecordingForm::SetStatus(const std::string& message) {
    statuses.push_back(message);
    MainForm::SetStatus(message);
}

bool spinUntil(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QImage pictureOf(const fs::path& file) {
    QImage image;
    image.load(QString::fromStdString(file.string()));
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool samePicture(const QImage& a, const QImage& b) {
    return !a.isNull() && a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

namespace {

// One QApplication for the whole program, offscreen unless the caller chose a platform.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QApplication::instance()) {
            application_ = std::make_unique<QApplication>(argc_, argv_);
        }
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[20] = "pellix_shell_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

}  // namespace

}  // namespace pellix::testing

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new pellix::testing::QtEnvironment);
    return RUN_ALL_TESTS();
}
