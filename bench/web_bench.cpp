// One turn commit on a 2060-turn record while browsers follow the board's event stream: after each
// commit the new state is handed to the server, as the window does, on the server's own thread.
// The followers stand for phones and TVs elsewhere in the hall: they read in a process of their
// own (this program again, started with --followers) at the lowest priority, so that they take
// little of the cores the program wants, as devices of their own would take none. With 0 streams the same
// commit and hand-over, so the two figures of one run compare the cost of 200 followers to the
// program; after the run every stream must have received every state.

#include "bench_workbooks.h"
#include "web/board_server.h"
#include "workbook/score_routines.h"
#include "workbook/xl_app.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include <sys/resource.h>

namespace {

using pellix::bench::Court;
using pellix::bench::QuietHost;

// Runs the event loop until `done` or ten seconds have passed.
template <typename Done>
bool spinUntil(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 10000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The browsers, in the child process: `count` event streams; each "data:" line counts, and the
// count so far is printed as "events N" whenever it grew.
int follow(int count, quint16 port) {
    setpriority(PRIO_PROCESS, 0, 19);
    long events = 0;
    long printed = -1;
    std::vector<std::unique_ptr<QTcpSocket>> streams;
    for (int i = 0; i < count; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        QTcpSocket* raw = socket.get();
        QObject::connect(raw, &QTcpSocket::connected,
                         [raw] { raw->write("GET /events HTTP/1.1\r\nHost: bench\r\n\r\n"); });
        QObject::connect(raw, &QTcpSocket::readyRead, [&events, raw] { events += raw->readAll().count("data: "); });
        socket->connectToHost(QHostAddress::LocalHost, port);
        streams.push_back(std::move(socket));
    }
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        if (events == printed) return;
        printed = events;
        std::printf("events %ld\n", events);
        std::fflush(stdout);
    });
    report.start(10);
    return QCoreApplication::exec();
}

// The child process of followers, as the parent sees it: the last count it printed.
class Followers {
public:
    Followers(int count, quint16 port) {
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] {
            const QList<QByteArray> lines = process_.readAllStandardOutput().trimmed().split('\n');
            if (lines.last().startsWith("events ")) events = lines.last().mid(7).toLong();
        });
        process_.start(QCoreApplication::applicationFilePath(),
                       {"--followers", QString::number(count), QString::number(port)});
        process_.waitForStarted();
    }
    ~Followers() {
        process_.kill();
        process_.waitForFinished();
    }
    long events = 0;

private:
    QProcess process_;
};

void commitFollowed(benchmark::State& state) {
    const int followers = static_cast<int>(state.range(0));
    pellix::web::ServerThread serverThread;
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
    std::optional<Followers> browsers;
    const auto finish = [&] {
        browsers.reset();
        QMetaObject::invokeMethod(server, [server] { delete server; }, Qt::BlockingQueuedConnection);
        serverThread.quit();
        serverThread.wait();
    };
    if (!listening) {
        state.SkipWithError("the server could not listen");
        finish();
        return;
    }
    browsers.emplace(followers, port);
    publish("{\"turn\":0}");
    if (!spinUntil([&] { return browsers->events >= followers; })) {
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
    if (!spinUntil([&] { return browsers->events >= followers * (published + 1); }))
        state.SkipWithError("a stream missed a state");
    finish();
}

}  // namespace

BENCHMARK(commitFollowed)->Name("commit_followed")->Arg(0)->Arg(200)->Iterations(300)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--followers") == 0)
        return follow(std::atoi(argv[2]), static_cast<quint16>(std::atoi(argv[3])));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
