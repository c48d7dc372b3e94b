// The whole frame of a turn in the window, offscreen, on a record of 2060 turns: from the end of
// the countdown to " Status : OK", the sheet view re-read and the window repainted, sounds off.
// One frame at 60 Hz is 16.7 ms.

#include "bench_workbooks.h"
#include "shell/court_area.h"
#include "shell/main_form.h"
#include "shell/sheet_view.h"
#include "shell/sound_player.h"
#include "shell/token_widget.h"
#include "shell/vb_timer.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <tuple>

namespace {

namespace fs = std::filesystem;

class Silence : public pellix::SoundPlayer {
public:
    void play(const fs::path&) override {}
};

template <typename Control>
Control* control(const pellix::MainForm& form, const QString& name) {
    return form.findChild<Control*>(name);
}

// Player `player` dragged onto court slot `slot`, as the pointer does it.
void standOnCourt(const pellix::MainForm& form, int player, int slot) {
    auto* token = control<pellix::TokenWidget>(form, QStringLiteral("picUser(%1)").arg(player));
    const auto* area = control<pellix::CourtArea>(form, QStringLiteral("picCourt(%1)").arg(slot));
    const QPoint from = token->mapToGlobal(token->rect().center());
    const QPoint to = area->mapToGlobal(area->rect().center());
    for (const auto& [type, at, button, buttons] :
         {std::tuple(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::MouseButtons(Qt::LeftButton)),
          std::tuple(QEvent::MouseMove, to, Qt::NoButton, Qt::MouseButtons(Qt::LeftButton)),
          std::tuple(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::MouseButtons(Qt::NoButton))}) {
        QMouseEvent event(type, token->mapFromGlobal(at), at, button, buttons, Qt::NoModifier);
        QApplication::sendEvent(token, &event);
    }
}

void frame(benchmark::State& state) {
    const fs::path folder = pellix::bench::benchFolder() / "frame";
    fs::remove_all(folder);
    fs::copy(PELLIX_SAMPLE_DIR, folder, fs::copy_options::recursive);
    fs::copy_file(pellix::bench::workbookWithTurns(2060), folder / "data.xls", fs::copy_options::overwrite_existing);
    pellix::MainForm form(folder, {std::make_shared<Silence>(),
                                   [](const QString&, QMessageBox::StandardButtons, QMessageBox::StandardButton) {
                                       return QMessageBox::Ok;
                                   },
                                   {}});
    form.resize(form.initialSize({}));
    form.show();
    form.Form_Load();
    for (int k = 1; k <= 4; ++k) standOnCourt(form, k, k);
    QCoreApplication::processEvents();
    auto* const txtTurn = control<QLineEdit>(form, QStringLiteral("txtTurn"));
    auto* const cmdSave = control<QPushButton>(form, QStringLiteral("cmdSave"));
    auto* const timMiss = control<pellix::VbTimer>(form, QStringLiteral("timMiss"));
    const auto* lblStatus = control<QLabel>(form, QStringLiteral("lblStatus"));
    for (auto _ : state) {
        state.PauseTiming();
        txtTurn->setText(QStringLiteral("2060"));
        cmdSave->click();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        emit timMiss->Timer();  // the countdown's end
        form.repaint();
        QCoreApplication::processEvents();
        if (lblStatus->text() != QStringLiteral(" Status : OK")) state.SkipWithError("the turn was not recorded");
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
