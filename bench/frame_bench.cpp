// The whole frame of a turn in the window, offscreen, on a record of 2060 turns: from the end of
// the countdown to " Status : OK", the sheet view re-read and the window repainted, sounds off.
// One frame at 60 Hz is 16.7 ms.

#include "bench_workbooks.h"
#include "shell/main_form.h"
#include "shell/sheet_view.h"
#include "shell/sound_player.h"

#include <QApplication>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

class Silence : public pellix::SoundPlayer {
public:
    void play(const fs::path&) override {}
};

void frame(benchmark::State& state) {
    const fs::path folder = pellix::bench::benchFolder() / "frame";
    fs::remove_all(folder);
    fs::copy(PELLIX_SAMPLE_DIR, folder, fs::copy_options::recursive);
    fs::copy_file(pellix::bench::workbookWithTurns(2060), folder / "data.xls", fs::copy_options::overwrite_existing);
    pellix::MainForm form(folder, {std::make_shared<Silence>(),
                                   [](const QString&, QMessageBox::StandardButtons, QMessageBox::StandardButton) {
                                       return QMessageBox::Ok;
                                   },
                                   {}, {}});
    form.resize(form.initialSize({}));
    form.show();
    form.Form_Load();
    for (int k = 1; k <= 4; ++k) form.picCourt_DragDrop(k, k);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        form.txtTurn->setText(QStringLiteral("2060"));
        form.cmdSave_Click();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        form.timMiss_Timer();  // the countdown's end
        form.repaint();
        QCoreApplication::processEvents();
        if (form.lblStatus->text() != QStringLiteral(" Status : OK")) state.SkipWithError("the turn was not recorded");
    }
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(folder / "data.xls"));
}

}  // namespace

BENCHMARK(frame)->Name("frame/2060")->Unit(benchmark::kMillisecond)->Iterations(40)->Repetitions(5);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
