#include "shell/web_board_link.h"

#include "shell/audience_board.h"
#include "shell/main_form.h"
#include "shell/sheet_view.h"
#include "shell/token_widget.h"
#include "web/board_json.h"
#include "workbook/board_state.h"

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

WebBoardLink::WebBoardLink(MainForm& form) : QObject(&form), form_(form) {
    server_ = new web::BoardServer;
    server_->moveToThread(&serverThread_);
    serverThread_.setObjectName(QStringLiteral("web board"));
    serverThread_.start();
    settle_.setSingleShot(true);
    settle_.setInterval(50);
    // Looks at the phase alone until it changes: a box held open during an operation costs nothing.
    connect(&settle_, &QTimer::timeout, this, [this] {
        if (form_.turn().phase() == TurnPhase::Closing || form_.turn().phase() == TurnPhase::Operation)
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
    if (form_.spectatorBoard()) form_.spectatorBoard()->update();
    return true;
}

void WebBoardLink::stop() {
    settle_.stop();
    onServer([this] { server_->close(); });
    listening_ = false;
    qr_ = QImage();
    if (form_.spectatorBoard()) form_.spectatorBoard()->update();
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

void WebBoardLink::updatePictures() {
    for (int token = 1; token <= 12; ++token) {
        const QPixmap picture = form_.picUser[token] ? form_.picUser[token]->picture() : QPixmap();
        if (picture.cacheKey() == pictureKeys_[token]) continue;
        pictureKeys_[token] = picture.cacheKey();
        QMetaObject::invokeMethod(server_, [server = server_, token, bytes = png(picture)] {
            server->setTokenPicture(token, bytes);
        });
    }
    if (form_.courtPicture().cacheKey() != pictureKeys_[13]) {
        pictureKeys_[13] = form_.courtPicture().cacheKey();
        QMetaObject::invokeMethod(server_, [server = server_, bytes = png(form_.courtPicture())] {
            server->setCourtPicture(bytes);
        });
    }
}

void WebBoardLink::follow() {
    if (!listening_) return;
    updatePictures();
    BoardInputs inputs;
    inputs.sheet = &form_.OLEWorkSheet->sheetModel().sheet();
    for (int slot = 1; slot <= 4; ++slot) inputs.courtTokens[slot] = form_.board.CourtSlot[slot];
    inputs.benchLeft = benchLeftOf(form_.board);
    inputs.named = form_.namedPlayer();
    inputs.phase = boardPhase(form_.turn().phase());
    inputs.countdownCaption = form_.cmdSave->text().toStdString();
    inputs.nextTurn = form_.txtTurn->text().toStdString();
    state_ = web::stateJson(boardState(inputs));
    QMetaObject::invokeMethod(server_, [server = server_, state = state_] { server->publish(state); });
    if (inputs.phase == BoardPhase::Closing || inputs.phase == BoardPhase::Busy) settle_.start();
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
    if (!web_) web_ = std::make_unique<WebBoardLink>(*this);
    return web_->start(*where, error);
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
    ControlPlacer(MainForm& form, QToolButton& button) : QObject(&button), form_(form), button_(button) {}
    void place() {
        button_.setGeometry(form_.twipsToPixels(10200), form_.twipsToPixels(1980), form_.twipsToPixels(2300),
                            form_.twipsToPixels(330));
        setCaption(button_, button_.text());
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) place();
        return false;
    }

private:
    MainForm& form_;
    QToolButton& button_;
};

// The address and its QR code, large enough for a phone across a table; Stop ends the serving.
void showAddress(MainForm& form, QToolButton& button) {
    QDialog dialog(&form);
    dialog.setWindowTitle(QStringLiteral("Pellix Web ボード"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* picture = new QLabel(&dialog);
    picture->setPixmap(QPixmap::fromImage(form.webBoard()->qr()));
    picture->setAlignment(Qt::AlignCenter);
    auto* address = new QLabel(form.webBoard()->address(), &dialog);
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    address->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QPushButton* stop = buttons->addButton(QStringLiteral("停止"), QDialogButtonBox::DestructiveRole);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(stop, &QPushButton::clicked, &dialog, [&] {
        form.webBoard()->stop();
        setCaption(button, QStringLiteral("Web ボード"));
        dialog.accept();
    });
    layout->addWidget(picture);
    layout->addWidget(address);
    layout->addWidget(buttons);
    dialog.exec();
}

}  // namespace

void installWebBoardControl(MainForm& form) {
    auto* button = new QToolButton(&form);
    button->setObjectName(QStringLiteral("webBoardButton"));
    button->setText(form.webBoard() && form.webBoard()->serving() ? form.webBoard()->address()
                                                                  : QStringLiteral("Web ボード"));
    button->setFocusPolicy(Qt::NoFocus);
    auto* placer = new ControlPlacer(form, *button);
    form.installEventFilter(placer);
    placer->place();
    button->show();
    QObject::connect(button, &QToolButton::clicked, &form, [&form, button] {
        if (form.webBoard() && form.webBoard()->serving()) {
            showAddress(form, *button);
            return;
        }
        QSettings settings(QStringLiteral("Pellix"), QStringLiteral("pellix"));
        bool ok = false;
        const QString listen = QInputDialog::getText(&form, QStringLiteral("Pellix Web ボード"),
                                                     QStringLiteral("ポート（または アドレス:ポート）"), QLineEdit::Normal,
                                                     settings.value(QLatin1String(kListenKey), QStringLiteral("8080")).toString(), &ok)
                                   .trimmed();
        if (!ok || listen.isEmpty()) return;
        QString error;
        if (!form.serveWebBoard(listen, &error)) {
            form.SetStatus("Status : Web ボードを開けません (" + listen.toStdString() + ": " + error.toStdString() + ")");
            return;
        }
        settings.setValue(QLatin1String(kListenKey), listen);
        setCaption(*button, form.webBoard()->address());
        showAddress(form, *button);
    });
}

}  // namespace pellix
