#include "shell/web_board_link.h"

#include "shell/audience_board.h"
#include "shell/main_form.h"
#include "shell/sheet_view.h"
#include "shell/token_widget.h"
#include "web/board_json.h"

#include <QBuffer>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLabel>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>
#include <QNetworkInterface>
#include <QPainter>

#include <qrencode.h>

#include <memory>

namespace pellix {

namespace {

QByteArray png(const QPixmap& picture) {
    if (picture.isNull()) return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.toImage().save(&buffer, "PNG");
    return bytes;
}

BoardPhase boardPhase(TurnPhase phase) {
    switch (phase) {
    case TurnPhase::Countdown: return BoardPhase::Countdown;
    case TurnPhase::Closing: return BoardPhase::Closing;
    case TurnPhase::Operation: return BoardPhase::Busy;
    case TurnPhase::Idle: break;
    }
    return BoardPhase::Idle;
}

}  // namespace

WebBoardLink::WebBoardLink(QObject* parent, std::function<BoardPhase()> phase, std::function<BoardFeed()> read)
    : QObject(parent), phase_(std::move(phase)), read_(std::move(read)) {
    server_ = new web::BoardServer;
    server_->moveToThread(&serverThread_);
    serverThread_.setObjectName(QStringLiteral("web board"));
    serverThread_.start();
    settle_.setSingleShot(true);
    settle_.setInterval(50);
    // Looks at the phase alone until it changes: a box held open during an operation costs nothing.
    connect(&settle_, &QTimer::timeout, this, [this] {
        if (const BoardPhase now = phase_(); now == BoardPhase::Closing || now == BoardPhase::Busy)
            settle_.start();
        else
            follow();
    });
    pictureKeys_.fill(-1);
}

WebBoardLink::~WebBoardLink() {
    // Closed and deleted on its own thread, before that thread ends.
    onServer([this] { delete server_; });
    serverThread_.quit();
    serverThread_.wait();
}

template <typename Work>
void WebBoardLink::onServer(Work work) {
    QMetaObject::invokeMethod(server_, work, Qt::BlockingQueuedConnection);
}

bool WebBoardLink::start(const web::ListenAddress& where, QString* error) {
    QString failure;
    onServer([&] {
        if (server_->isListening()) server_->close();
        listening_ = server_->listen(where.address, where.port);
        failure = server_->errorString();
        address_ = server_->address();
        port_ = server_->port();
    });
    if (!listening_) {
        if (error) *error = failure;
        return false;
    }
    qr_ = qrCode(address(), 8);
    follow();
    emit servingChanged();
    return true;
}

void WebBoardLink::stop() {
    settle_.stop();
    onServer([this] { server_->close(); });
    listening_ = false;
    qr_ = QImage();
    emit servingChanged();
}

QString WebBoardLink::address() const {
    if (!listening_) return {};
    QHostAddress host = address_;
    // Listening everywhere: the address the hall's network knows this computer by.
    if (host == QHostAddress::Any || host == QHostAddress::AnyIPv4 || host == QHostAddress::AnyIPv6) {
        host = QHostAddress::LocalHost;
        for (const QHostAddress& candidate : QNetworkInterface::allAddresses()) {
            if (candidate.protocol() == QAbstractSocket::IPv4Protocol && !candidate.isLoopback()
                && !candidate.isLinkLocal()) {
                host = candidate;
                break;
            }
        }
    }
    const QString name = host.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + host.toString() + QLatin1Char(']')
                                                                           : host.toString();
    return QStringLiteral("http://%1:%2/").arg(name).arg(port_);
}

void WebBoardLink::updatePictures(const BoardFeed& feed) {
    for (int token = 1; token <= 12; ++token) {
        const QPixmap& picture = feed.pictures[token];
        if (picture.cacheKey() == pictureKeys_[token]) continue;
        pictureKeys_[token] = picture.cacheKey();
        QMetaObject::invokeMethod(server_, [server = server_, token, bytes = png(picture)] {
            server->setTokenPicture(token, bytes);
        });
    }
    if (feed.court.cacheKey() != pictureKeys_[13]) {
        pictureKeys_[13] = feed.court.cacheKey();
        QMetaObject::invokeMethod(server_, [server = server_, bytes = png(feed.court)] {
            server->setCourtPicture(bytes);
        });
    }
}

void WebBoardLink::follow() {
    if (!listening_) return;
    const BoardFeed feed = read_();
    updatePictures(feed);
    state_ = web::stateJson(feed.state);
    QMetaObject::invokeMethod(server_, [server = server_, state = state_] { server->publish(state); });
    if (feed.state.phase == BoardPhase::Closing || feed.state.phase == BoardPhase::Busy) settle_.start();
}

QImage qrCode(const QString& text, int module) {
    const QByteArray bytes = text.toUtf8();
    const std::unique_ptr<QRcode, void (*)(QRcode*)> code(
        QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M), QRcode_free);
    if (!code || module < 1) return {};
    const int quiet = 4;
    const int side = (code->width + 2 * quiet) * module;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                painter.fillRect((x + quiet) * module, (y + quiet) * module, module, module, Qt::black);
    return image;
}

}  // namespace pellix

// ---- The main window's side: serving the board and keeping it up to date ----

namespace pellix {

bool MainForm::serveWebBoard(const QString& listen, QString* error) {
    const std::optional<web::ListenAddress> where = web::parseListenAddress(listen);
    if (!where) {
        if (error) *error = QStringLiteral("「%1」は [アドレス:]ポート として読めません").arg(listen);
        return false;
    }
    if (!web_) {
        web_ = std::make_unique<WebBoardLink>(
            this, [this] { return boardPhase(turn_->phase()); }, [this] { return boardFeed(); });
        connect(web_.get(), &WebBoardLink::servingChanged, this, [this] {
            if (spectator_) spectator_->showWebAddress(web_->qr(), web_->address());
        });
    }
    return web_->start(*where, error);
}

BoardFeed MainForm::boardFeed() const {
    BoardInputs inputs;
    inputs.sheet = &OLEWorkSheet->sheetModel().sheet();
    for (int slot = 1; slot <= 4; ++slot) inputs.courtTokens[slot] = board.CourtSlot[slot];
    inputs.benchLeft = benchLeftOf(board);
    inputs.named = markedToken_;
    inputs.phase = boardPhase(turn_->phase());
    inputs.countdownCaption = cmdSave->text().toStdString();
    inputs.nextTurn = txtTurn->text().toStdString();
    BoardFeed feed{boardState(inputs), {}, courtPicture_};
    for (int player = 1; player <= 12; ++player)
        if (picUser[player]) feed.pictures[player] = picUser[player]->picture();
    return feed;
}

void MainForm::operationBegins() {
    webFollows();
}

void MainForm::webFollows() {
    if (web_) web_->follow();
}

}  // namespace pellix

namespace pellix {

namespace {

constexpr const char* kListenKey = "web/listen";

// The button's caption, drawn smaller until it fits (a long address); the whole of it in the tip.
void setCaption(QToolButton& button, const QString& caption) {
    button.setText(caption);
    button.setToolTip(caption.startsWith(QLatin1String("http")) ? caption
                                                                : QStringLiteral("観客ボードをスマートフォンやテレビのブラウザに見せます"));
    QFont font = button.parentWidget()->font();
    int pixels = QFontInfo(font).pixelSize();
    font.setPixelSize(pixels);
    while (pixels > 7 && QFontMetrics(font).horizontalAdvance(caption) > button.width() - 8) font.setPixelSize(--pixels);
    button.setFont(font);
}

// Keeps the control where the layout's free place is, at every size of the window.
class ControlPlacer : public QObject {
public:
    ControlPlacer(QToolButton& button, std::function<QRect()> area)
        : QObject(&button), button_(button), area_(std::move(area)) {}
    void place() {
        button_.setGeometry(area_());
        setCaption(button_, button_.text());
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) place();
        return false;
    }

private:
    QToolButton& button_;
    std::function<QRect()> area_;
};

// The address and its QR code, large enough for a phone across a table; Stop ends the serving.
void showAddress(QWidget& form, WebBoardLink& web, QToolButton& button) {
    QDialog dialog(&form);
    dialog.setWindowTitle(QStringLiteral("Pellix Web ボード"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* picture = new QLabel(&dialog);
    picture->setPixmap(QPixmap::fromImage(web.qr()));
    picture->setAlignment(Qt::AlignCenter);
    auto* address = new QLabel(web.address(), &dialog);
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    address->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QPushButton* stop = buttons->addButton(QStringLiteral("停止"), QDialogButtonBox::DestructiveRole);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(stop, &QPushButton::clicked, &dialog, [&] {
        web.stop();
        setCaption(button, QStringLiteral("Web ボード"));
        dialog.accept();
    });
    layout->addWidget(picture);
    layout->addWidget(address);
    layout->addWidget(buttons);
    dialog.exec();
}

}  // namespace

void MainForm::installWebBoardControl() {
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("webBoardButton"));
    button->setText(web_ && web_->serving() ? web_->address() : QStringLiteral("Web ボード"));
    button->setFocusPolicy(Qt::NoFocus);
    auto* placer = new ControlPlacer(*button, [this] {
        return QRect(twipsToPixels(10200), twipsToPixels(1980), twipsToPixels(2300), twipsToPixels(330));
    });
    installEventFilter(placer);
    placer->place();
    button->show();
    connect(button, &QToolButton::clicked, this, [this, button] {
        if (web_ && web_->serving()) {
            showAddress(*this, *web_, *button);
            return;
        }
        QSettings settings(QStringLiteral("Pellix"), QStringLiteral("pellix"));
        bool ok = false;
        const QString listen = QInputDialog::getText(this, QStringLiteral("Pellix Web ボード"),
                                                     QStringLiteral("ポート（または アドレス:ポート）"), QLineEdit::Normal,
                                                     settings.value(QLatin1String(kListenKey), QStringLiteral("8080")).toString(), &ok)
                                   .trimmed();
        if (!ok || listen.isEmpty()) return;
        QString error;
        if (!serveWebBoard(listen, &error)) {
            SetStatus("Status : Web ボードを開けません (" + listen.toStdString() + ": " + error.toStdString() + ")");
            return;
        }
        settings.setValue(QLatin1String(kListenKey), listen);
        setCaption(*button, web_->address());
        showAddress(*this, *web_, *button);
    });
}

}  // namespace pellix
