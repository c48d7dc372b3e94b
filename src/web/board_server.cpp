#include "web/board_server.h"

#include <QFile>
#include <QTcpSocket>

#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace pellix::web {

void ServerThread::run() {
    // A nice of 10 weighs about a tenth of the window's thread where both run on one core. Where
    // the system refuses, the thread runs as it is.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    exec();
}

namespace {

// The board page loads nothing from another host, and nothing at all but its own pictures, the
// state and the events.
constexpr const char* kPagePolicy =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

QByteArray headFor(int status, const char* type, qint64 length, const char* cache = "no-store") {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    head += QByteArray("Content-Type: ") + type + "\r\n";
    if (length >= 0) head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    head += QByteArray("Cache-Control: ") + cache + "\r\n";
    head += "X-Content-Type-Options: nosniff\r\nReferrer-Policy: no-referrer\r\n";
    if (status == 405) head += "Allow: GET, HEAD\r\n";
    if (qstrcmp(type, "text/html; charset=utf-8") == 0) head += QByteArray("Content-Security-Policy: ") + kPagePolicy + "\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

QByteArray pageTemplate() {
    QFile file(QStringLiteral(":/pellix/web/board.html"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<!doctype html><title>Pellix</title>");
}

}  // namespace

BoardServer::BoardServer(ServerLimits limits, QObject* parent) : QObject(parent), limits_(limits) {
    // Children, so that they move with the server to the thread it runs on.
    server_.setParent(this);
    sweeper_.setParent(this);
    connect(&server_, &QTcpServer::newConnection, this, &BoardServer::accept);
    sweeper_.setInterval(250);
    connect(&sweeper_, &QTimer::timeout, this, &BoardServer::sweep);
}

BoardServer::~BoardServer() {
    close();
}

bool BoardServer::listen(const QHostAddress& address, quint16 port) {
    if (!server_.listen(address, port)) return false;
    sweeper_.start();
    return true;
}

void BoardServer::close() {
    server_.close();
    sweeper_.stop();
    while (!connections_.empty()) drop(connections_.begin());
}

void BoardServer::setTokenPicture(int token, const QByteArray& png) {
    if (token >= 1 && token <= 12) tokens_[token] = png;
}

void BoardServer::setCourtPicture(const QByteArray& png) {
    court_ = png;
}

BoardServer::Connections::iterator BoardServer::find(QTcpSocket* socket) {
    for (auto it = connections_.begin(); it != connections_.end(); ++it)
        if (it->socket == socket) return it;
    return connections_.end();
}

void BoardServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (static_cast<int>(connections_.size()) >= limits_.maxConnections) {
            // Room for the newcomer: the oldest connection that has not finished asking is dropped.
            // When every one is an event stream or an answer on its way, the newcomer is refused.
            auto idle = connections_.begin();
            while (idle != connections_.end() && !idle->closed && (idle->streaming || idle->answered)) ++idle;
            if (idle == connections_.end()) {
                socket->write(headFor(503, "text/plain; charset=utf-8", 0));
                socket->flush();
                socket->abort();
                socket->deleteLater();
                continue;
            }
            drop(idle);
        }
        socket->setReadBufferSize(16 * 1024);
        Connection connection;
        connection.socket = socket;
        connection.since.start();
        connections_.push_back(std::move(connection));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (auto it = find(socket); it != connections_.end() && !it->closed) read(it);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { closed(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { closed(socket); });
        if (socket->bytesAvailable() > 0) read(std::prev(connections_.end()));
    }
}

void BoardServer::read(Connections::iterator it) {
    Connection& connection = *it;
    // Whatever comes after the head (a body, a second request) is not read: thrown away.
    if (connection.answered || connection.streaming) {
        connection.socket->skip(connection.socket->bytesAvailable());
        return;
    }
    const HeadParser::State state = connection.parser.feed(connection.socket->read(connection.parser.room()));
    if (state == HeadParser::State::Incomplete) return;
    connection.socket->skip(connection.socket->bytesAvailable());
    answer(connection, answerFor(state, connection.parser.head()));
}

void BoardServer::answer(Connection& connection, const Answer& answer) {
    if (answer.status != 200) {
        sendError(connection, answer.status);
        return;
    }
    QByteArray body;
    const char* type = "application/octet-stream";
    const char* cache = "no-store";
    switch (answer.route) {
    case Route::Page:
        body = page();
        type = "text/html; charset=utf-8";
        break;
    case Route::State:
        body = state_;
        type = "application/json";
        break;
    case Route::Token:
    case Route::Court:
        body = answer.route == Route::Court ? court_ : tokens_[answer.token];
        if (body.isEmpty()) {
            sendError(connection, 404);
            return;
        }
        type = "image/png";
        cache = "no-cache";
        break;
    case Route::Events: {
        connection.answered = true;
        connection.socket->write(headFor(200, "text/event-stream; charset=utf-8", -1));
        if (answer.head) {
            connection.socket->disconnectFromHost();
            return;
        }
        connection.streaming = true;
        connection.lastEvent.start();
        send(connection, "retry: 1000\n\ndata: " + state_ + "\n\n");
        return;
    }
    case Route::NotFound:
        sendError(connection, 404);
        return;
    }
    connection.answered = true;
    connection.since.start();
    connection.socket->write(headFor(200, type, body.size(), cache));
    if (!answer.head) connection.socket->write(body);
    connection.socket->disconnectFromHost();
}

void BoardServer::sendError(Connection& connection, int status) {
    const QByteArray body = QByteArray::number(status) + ' ' + reasonPhrase(status) + '\n';
    connection.answered = true;
    connection.since.start();
    connection.socket->write(headFor(status, "text/plain; charset=utf-8", body.size()));
    connection.socket->write(body);
    connection.socket->disconnectFromHost();
}

void BoardServer::send(Connection& connection, const QByteArray& bytes) {
    connection.socket->write(bytes);
    connection.socket->flush();
    connection.lastEvent.start();
}

void BoardServer::publish(const QByteArray& stateJson) {
    if (stateJson == state_) return;
    state_ = stateJson;
    const QByteArray event = "data: " + state_ + "\n\n";
    std::vector<QTcpSocket*> behind;
    for (Connection& connection : connections_) {
        if (!connection.streaming || connection.closed) continue;
        // A client that has not taken what it was sent before is dropped, not waited for; its page
        // connects again and starts from the state as it is then.
        if (connection.socket->bytesToWrite() > limits_.maxUnsentBytes) {
            behind.push_back(connection.socket);
            continue;
        }
        send(connection, event);
    }
    for (QTcpSocket* socket : behind)
        if (auto it = find(socket); it != connections_.end()) drop(it);
}

void BoardServer::closed(QTcpSocket* socket) {
    const auto it = find(socket);
    if (it == connections_.end()) return;
    it->closed = true;
    if (reapPending_) return;
    reapPending_ = true;
    QTimer::singleShot(0, this, &BoardServer::reap);
}

void BoardServer::reap() {
    reapPending_ = false;
    for (auto it = connections_.begin(); it != connections_.end();) {
        const auto next = std::next(it);
        if (it->closed) drop(it);
        it = next;
    }
}

void BoardServer::drop(Connections::iterator it) {
    QTcpSocket* socket = it->socket;
    connections_.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void BoardServer::sweep() {
    std::vector<QTcpSocket*> late;
    for (Connection& connection : connections_) {
        if (connection.closed) continue;
        if (connection.streaming) {
            if (connection.socket->bytesToWrite() > limits_.maxUnsentBytes)
                late.push_back(connection.socket);
            else if (connection.lastEvent.elapsed() >= limits_.keepAliveMs)
                send(connection, ": \n\n");
        } else if (connection.since.elapsed() >= (connection.answered ? limits_.answerDeadlineMs : limits_.headDeadlineMs)) {
            late.push_back(connection.socket);
        }
    }
    for (QTcpSocket* socket : late)
        if (auto it = find(socket); it != connections_.end()) drop(it);
}

QByteArray BoardServer::page() const {
    static const QByteArray kTemplate = pageTemplate();
    // The state goes into the page as it is now, so that it shows at once; "<" is escaped so
    // that no name can end the script.
    QByteArray state = state_;
    state.replace('<', "\\u003c");
    QByteArray page = kTemplate;
    page.replace("/*STATE*/null", state);
    return page;
}

}  // namespace pellix::web
