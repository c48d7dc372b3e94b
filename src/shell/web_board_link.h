#pragma once

// The window's side of the web board: it serves the board on the address asked for, hands the
// server the state both boards show whenever the window asks it to follow, and the token and
// court pictures the window shows (as PNG, encoded once per picture). It reads what the window
// hands it through the two functions it is made with.

#include "shell/board_feed.h"
#include "web/board_server.h"

#include <QImage>
#include <QHostAddress>
#include <QObject>
#include <QThread>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>

namespace pellix {

class WebBoardLink : public QObject {
    Q_OBJECT

public:
    // `phase`: the phase of the turn now; `read`: what the boards show now.
    WebBoardLink(QObject* parent, std::function<BoardPhase()> phase, std::function<BoardFeed()> read);
    ~WebBoardLink() override;

    // Serves on `where`; false, with the reason in `error`, when the address cannot be had.
    bool start(const web::ListenAddress& where, QString* error);
    void stop();
    bool serving() const { return listening_; }
    // Reads the window again and sends the state to the pages when it has changed.
    void follow();
    // The address a phone in the hall opens ("http://192.168.1.20:8080/"); empty when not serving.
    QString address() const;
    // The last state handed to the server.
    const QByteArray& state() const { return state_; }
    // The address's QR code, for a phone's camera; null when not serving.
    const QImage& qr() const { return qr_; }

signals:
    // Serving began or ended: the address and its code changed.
    void servingChanged();

private:
    void updatePictures(const BoardFeed& feed);

    // Runs `work` on the server's thread and waits for it.
    template <typename Work>
    void onServer(Work work);

    std::function<BoardPhase()> phase_;
    std::function<BoardFeed()> read_;
    // The server runs on a thread of its own: writing a state to a hall full of phones costs the
    // window's thread nothing but handing the bytes over.
    web::ServerThread serverThread_;
    web::BoardServer* server_ = nullptr;  // lives on serverThread_
    bool listening_ = false;
    QHostAddress address_;
    quint16 port_ = 0;
    QByteArray state_;
    // While a turn or an operation is being written, the state is read again until it is over.
    QTimer settle_;
    std::array<qint64, 14> pictureKeys_{};  // 1..12 the tokens, 13 the court
    QImage qr_;
};

// The QR code of `text`, black on white with a quiet zone, each module `module` pixels; null
// when the text cannot be encoded.
QImage qrCode(const QString& text, int module);

}  // namespace pellix
