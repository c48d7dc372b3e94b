// One turn commit on a 2060-turn record while browsers follow the board's event stream: after each
// commit the new state is published, as the window does, and the event loop runs until every
// stream has received it (as it runs between two turns). With 0 streams the same commit and
// publish, so the two figures of one run compare the cost of 200 followers.

#include "bench_workbooks.h"
#include "web/board_server.h"
#include "workbook/score_routines.h"
#include "workbook/xl_app.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

using pellix::bench::Court;
using pellix::bench::QuietHost;

// Runs the event loop until `done` or two seconds have passed.
template <typename Done>
bool spinUntil(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 2000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void commitFollowed(benchmark::State& state) {
    const int followers = static_cast<int>(state.range(0));
    pellix::web::BoardServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        state.SkipWithError("the server could not listen");
        return;
    }
    std::vector<std::unique_ptr<QTcpSocket>> streams;
    std::vector<QByteArray> received(static_cast<std::size_t>(followers));
    for (int i = 0; i < followers; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, server.port());
        socket->write("GET /events HTTP/1.1\r\nHost: bench\r\n\r\n");
        streams.push_back(std::move(socket));
    }
    // Each stream holds its answer's head and the state before the first commit.
    const auto allHave = [&](const QByteArray& marker) {
        for (std::size_t i = 0; i < streams.size(); ++i) {
            received[i] += streams[i]->readAll();
            if (!received[i].contains(marker)) return false;
        }
        return true;
    };
    server.publish("{\"turn\":0}");
    if (!spinUntil([&] { return allHave("{\"turn\":0}"); })) {
        state.SkipWithError("not every stream was served");
        return;
    }

    const int turns = 2060;
    QuietHost host(false);
    host.dataPath = pellix::bench::workbookWithTurns(turns);
    pellix::XlApp xlApp;
    pellix::Board board;
    std::mt19937 random(7);
    int published = 0;
    for (auto _ : state) {
        const Court court = pellix::bench::courtOfTurn(random);
        for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(court.slot[static_cast<std::size_t>(k)], k);
        pellix::ScoreContext context{host, &xlApp, host.dataPath, board, static_cast<std::int16_t>(court.miss)};
        if (!pellix::CommitTurn(context, static_cast<std::int16_t>(turns)).ok) state.SkipWithError("the commit failed");
        const QByteArray stateJson = "{\"turn\":" + QByteArray::number(++published) + "}";
        server.publish(stateJson);
        for (QByteArray& bytes : received) bytes.clear();
        if (!spinUntil([&] { return allHave(stateJson); })) state.SkipWithError("a stream missed a state");
    }
}

}  // namespace

BENCHMARK(commitFollowed)->Name("commit_followed")->Arg(0)->Arg(200)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
