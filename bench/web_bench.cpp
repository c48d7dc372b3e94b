// One turn commit on a 2060-turn record while browsers follow the board's event stream: after each
// commit the new state is handed to the server, as the window does, on the server's own thread.
// The followers read on a thread of their own, as browsers on other devices would. With 0 streams
// the same commit and hand-over, so the two figures of one run compare the cost of 200 followers
// to the window's thread; after the run every stream must have received every state.

#include "bench_workbooks.h"
#include "web/board_server.h"
#include "workbook/score_routines.h"
#include "workbook/xl_app.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>

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

// The browsers: `count` event streams read on their own thread; each "data:" line counts.
class Followers : public QThread {
public:
    Followers(int count, quint16 port) : count_(count), port_(port) {}
    std::atomic<long> events{0};

protected:
    void run() override {
        std::vector<std::unique_ptr<QTcpSocket>> streams;
        for (int i = 0; i < count_; ++i) {
            auto socket = std::make_unique<QTcpSocket>();
            QTcpSocket* raw = socket.get();
            QObject::connect(raw, &QTcpSocket::connected,
                             [raw] { raw->write("GET /events HTTP/1.1\r\nHost: bench\r\n\r\n"); });
            QObject::connect(raw, &QTcpSocket::readyRead, [this, raw] {
                const QByteArray bytes = raw->readAll();
                events += bytes.count("data: ");
            });
            socket->connectToHost(QHostAddress::LocalHost, port_);
            streams.push_back(std::move(socket));
        }
        exec();
    }

private:
    int count_;
    quint16 port_;
};

void commitFollowed(benchmark::State& state) {
    const int followers = static_cast<int>(state.range(0));
    QThread serverThread;
    auto* server = new pellix::web::BoardServer;
    server->moveToThread(&serverThread);
    serverThread.start();
    bool listening = false;
    quint16 port = 0;
    QMetaObject::invokeMethod(
        server, [&] { listening = server->listen(QHostAddress::LocalHost, 0), port = server->port(); },
        Qt::BlockingQueuedConnection);
    const auto publish = [server](const QByteArray& json) {
        QMetaObject::invokeMethod(server, [server, json] { server->publish(json); });
    };
    Followers browsers(followers, port);
    const auto finish = [&] {
        browsers.quit();
        browsers.wait();
        QMetaObject::invokeMethod(server, [server] { delete server; }, Qt::BlockingQueuedConnection);
        serverThread.quit();
        serverThread.wait();
    };
    if (!listening) {
        state.SkipWithError("the server could not listen");
        finish();
        return;
    }
    browsers.start();
    publish("{\"turn\":0}");
    if (!spinUntil([&] { return browsers.events >= followers; })) {
        state.SkipWithError("not every stream was served");
        finish();
        return;
    }

    const int turns = 2060;
    QuietHost host(false);
    host.dataPath = pellix::bench::workbookWithTurns(turns);
    pellix::XlApp xlApp;
    pellix::Board board;
    std::mt19937 random(7);
    long published = 0;
    for (auto _ : state) {
        const Court court = pellix::bench::courtOfTurn(random);
        for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(court.slot[static_cast<std::size_t>(k)], k);
        pellix::ScoreContext context{host, &xlApp, host.dataPath, board};
        if (!pellix::CommitTurn(context, static_cast<std::int16_t>(turns), static_cast<std::int16_t>(court.miss)).ok) state.SkipWithError("the commit failed");
        publish("{\"turn\":" + QByteArray::number(++published) + "}");
        QCoreApplication::processEvents();
    }
    // After the timed loop: every stream has every state.
    if (!spinUntil([&] { return browsers.events >= followers * (published + 1); }))
        state.SkipWithError("a stream missed a state");
    finish();
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
