#pragma once

// The web board's server: a small read-only HTTP/1.1 server on the program's own event loop. It
// answers GET and HEAD on its routes (routes.h) and nothing else, sends every new state to the
// pages that follow /events, and never makes the window wait: writes are buffered, a client that
// reads too slowly is dropped.
//
// Its own small server on QTcpServer rather than Qt HTTP Server: the request head is read here
// under the limits the board needs (8 KiB of head, a deadline for it, a cap on connections with
// the oldest idle one dropped first), which Qt HTTP Server 6.4 leaves to its parser's defaults.

#include "web/routes.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QThread>
#include <QTimer>

#include <array>
#include <list>

class QTcpSocket;

namespace pellix::web {

// The thread the server runs on. It gives way to the window's thread when both want a core (it
// runs at a lower scheduling weight): on a laptop with two cores, a hall of phones following the
// board must not slow the record of a turn. It is never starved: an idle core serves it at once.
class ServerThread : public QThread {
protected:
    void run() override;
};

struct ServerLimits {
    int maxConnections = 200;
    int headDeadlineMs = 5000;         // from the connection to the end of the request head
    int answerDeadlineMs = 10000;      // for the client to take a whole answer
    int keepAliveMs = 15000;           // a comment line to the event streams this often
    qint64 maxUnsentBytes = 1 << 20;   // an event stream further behind is dropped
};

class BoardServer : public QObject {
    Q_OBJECT

public:
    explicit BoardServer(ServerLimits limits = {}, QObject* parent = nullptr);
    ~BoardServer() override;

    bool listen(const QHostAddress& address, quint16 port);
    QString errorString() const { return server_.errorString(); }
    QHostAddress address() const { return server_.serverAddress(); }
    quint16 port() const { return server_.serverPort(); }
    bool isListening() const { return server_.isListening(); }
    void close();

    // The state as JSON (one line): sent to every event stream when it differs from the last.
    void publish(const QByteArray& stateJson);
    const QByteArray& state() const { return state_; }
    // The pictures, already encoded (PNG); empty for none.
    void setTokenPicture(int token, const QByteArray& png);
    void setCourtPicture(const QByteArray& png);

private:
    struct Connection {
        QTcpSocket* socket = nullptr;
        HeadParser parser;
        QElapsedTimer since;      // since the connection, then since the answer began
        bool answered = false;    // the answer is written; the socket closes once it is sent
        bool streaming = false;   // an event stream
        QElapsedTimer lastEvent;  // streams: since the last line sent
        bool closed = false;      // closed or failed: removed once the event loop is back
    };
    using Connections = std::list<Connection>;

    void accept();
    void read(Connections::iterator connection);
    void answer(Connection& connection, const Answer& answer);
    void sendError(Connection& connection, int status);
    void send(Connection& connection, const QByteArray& bytes);
    void drop(Connections::iterator connection);
    // A socket closed or failed, perhaps in the middle of a write to it: it is marked here and
    // removed later, never under the feet of the code that wrote.
    void closed(QTcpSocket* socket);
    void reap();
    void sweep();
    Connections::iterator find(QTcpSocket* socket);
    QByteArray page() const;

    ServerLimits limits_;
    QTcpServer server_;
    QTimer sweeper_;
    bool reapPending_ = false;
    Connections connections_;  // oldest first
    QByteArray state_ = "{}";
    std::array<QByteArray, 13> tokens_{};
    QByteArray court_;
};

}  // namespace pellix::web
