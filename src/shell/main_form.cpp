#include "shell/main_form.h"

#include "shell/court_area.h"
#include "shell/fitting_label.h"
#include "shell/form_layout.h"
#include "shell/input_flush.h"
#include "shell/sheet_view.h"
#include "shell/sound_player.h"
#include "shell/audience_board.h"
#include "shell/token_widget.h"
#include "shell/vb_timer.h"
#include "shell/web_board_link.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSignalBlocker>
#include <QWindow>

#include <cmath>
#include <unistd.h>
#include <stdexcept>

namespace pellix {

namespace {

// The guide line: red for the player named at a miss, blue for what to do next.
const QColor kNamedColour(0xc0, 0x00, 0x00);
const QColor kHintColour(0x20, 0x40, 0x90);

QString qText(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

QFont fontFor(const layout::FontSpec& wanted) {
    const layout::FontSpec& chosen = wanted.family ? wanted : layout::kWindowFont;
    QFont font(QString::fromUtf8(chosen.family));
    font.setPointSizeF(chosen.pointSize);
    font.setWeight(static_cast<QFont::Weight>(chosen.weight));
    return font;
}

QString objectNameOf(const layout::ControlLayout& control) {
    if (control.kind == layout::ControlKind::Token || control.kind == layout::ControlKind::CourtArea) {
        return QStringLiteral("%1(%2)").arg(QLatin1StringView(control.name)).arg(control.index);
    }
    return QLatin1StringView(control.name);
}

bool loadPicture(const std::filesystem::path& file, QPixmap& picture) {
    QPixmap loaded;
    if (!loaded.load(QString::fromStdString(file.string()))) {
        return false;
    }
    picture = loaded;
    return true;
}

// A caption whose first and last characters stand apart with only blanks between ("第    節"):
// drawn at the two ends of the label, so that the control laid over the gap never hides them,
// whatever the width of the blanks in the face in use.
class SpreadCaption : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        const QString caption = text();
        if (caption.size() < 3 || !caption.mid(1, caption.size() - 2).trimmed().isEmpty()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        const QRect room = contentsRect().adjusted(0, 0, -2, 0);
        painter.drawText(room, Qt::AlignLeft | Qt::AlignTop, caption.left(1));
        painter.drawText(room, Qt::AlignRight | Qt::AlignTop, caption.right(1));
    }
};

// The titles picture: a click on it (the press and the release on the picture) is its own event.
class TitlesPicture : public QLabel {
public:
    TitlesPicture(std::function<void()> clicked, QWidget* parent) : QLabel(parent), clicked_(std::move(clicked)) {}

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) clicked_();
    }

private:
    std::function<void()> clicked_;
};

}  // namespace

std::string startupFailure(const std::filesystem::path& dataPath, const std::string& cause) {
    std::error_code error;
    std::string advice;
    const auto status = std::filesystem::status(dataPath, error);
    if (!std::filesystem::exists(status)) {
        advice =
            "このフォルダに data.xls がありません。記録用の data.xls を置いてから、Pellix を起動しなおしてください。";
    } else if (std::filesystem::is_directory(status)) {
        advice =
            "data.xls という名前のフォルダがあります。記録用の data.xls と置き換えてから、Pellix "
            "を起動しなおしてください。";
    } else if (::access(dataPath.c_str(), R_OK) != 0) {
        advice = "data.xls を読む権限がありません。ファイルの権限を確かめてから、Pellix を起動しなおしてください。";
    } else if (std::filesystem::file_size(dataPath, error) == 0 && !error) {
        advice = "data.xls が空です (0 バイト)。バックアップから戻してから、Pellix を起動しなおしてください。";
    } else {
        advice =
            "data.xls が読めません。表計算ソフトで開けるときは Excel 97-2003 形式 (.xls) で保存しなおし、"
            "開けないときはバックアップから戻してから、Pellix を起動しなおしてください。";
    }
    return "data.xls を開けませんでした: " + cause
           + "\n\nファイル: " + std::filesystem::absolute(dataPath, error).string() + "\n\n" + advice;
}

void MainForm::installFontSubstitutions() {
    QFont::insertSubstitutions(QString::fromUtf8(layout::kProportionalGothic), {QStringLiteral("IPAPGothic")});
    QFont::insertSubstitutions(QString::fromUtf8(layout::kFixedGothic), {QStringLiteral("IPAGothic")});
}

QSize MainForm::layoutSizeTwips() {
    return {layout::kLayoutWidth + layout::kWindowMargin, layout::kLayoutHeight + layout::kWindowMargin};
}

MainForm::MainForm(std::filesystem::path programFolder, FormSeams seams, QWidget* parent)
    : QWidget(parent), programFolder_(std::move(programFolder)), seams_(std::move(seams)) {
    installFontSubstitutions();
    if (!seams_.sound) {
        seams_.sound = std::make_shared<SoundPlayer>();
    }
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Pellix乱打　記録用紙"));
    setFont(fontFor({}));
    turn_ = std::make_unique<TurnMachine>(board, static_cast<TurnHost&>(*this));
    buildControls();
    connectHandlers();
    applyLayout();
    // Scoring keys are looked at before any control of the window sees them; the input flush,
    // whose filter is installed after this one, runs before it and drops keys queued before it.
    QCoreApplication::instance()->installEventFilter(this);
    inputFlush_ = new InputFlush({}, this);
    dragPicture_ = new QLabel(this);
    dragPicture_->setObjectName(QStringLiteral("dragPicture"));
    dragPicture_->setAttribute(Qt::WA_TransparentForMouseEvents);
    dragPicture_->hide();
    setToolTips();
    installSpectatorShortcuts();
    // The countdown on the disabled decide button stays readable.
    QPalette decide = cmdSave->palette();
    decide.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x20, 0x20, 0x20));
    cmdSave->setPalette(decide);
}

MainForm::~MainForm() {
    // Released in the order shutdown releases them; nothing is saved.
    xlApp.reset();
}

void MainForm::buildControls() {
    // Created lowest first: the court areas and labels lie beneath every windowed control, and the
    // text box lies over the gap in Label1's caption.
    for (const auto kind :
         {layout::ControlKind::CourtArea, layout::ControlKind::Label, layout::ControlKind::PictureBox,
          layout::ControlKind::CheckBox, layout::ControlKind::CommandButton, layout::ControlKind::TextBox,
          layout::ControlKind::SheetView, layout::ControlKind::Token, layout::ControlKind::Timer}) {
        for (const layout::ControlLayout& control : layout::controls()) {
            if (control.kind != kind) {
                continue;
            }
            if (QWidget* widget = createControl(control)) {
                applyLayout(*widget, control);
            }
        }
    }
    setTabSequence();
}

// The control's widget, kept in its member; null for a timer, which has no widget.
QWidget* MainForm::createControl(const layout::ControlLayout& control) {
    switch (control.kind) {
    case layout::ControlKind::CourtArea:
        return picCourt[control.index] = new CourtArea(*this, control.index, this);
    case layout::ControlKind::Label:
        return createLabel(control);
    case layout::ControlKind::CommandButton:
        return createButton(control);
    case layout::ControlKind::TextBox:
        return txtTurn = new QLineEdit(qText(control.text), this);
    case layout::ControlKind::PictureBox:
        picQVN = new TitlesPicture([this] { picQVN_Click(); }, this);
        picQVN->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        picQVN->setFocusPolicy(Qt::TabFocus);
        // The flat look: the system's window colour behind, its window-text colour in front.
        picQVN->setAutoFillBackground(true);
        picQVN->setBackgroundRole(QPalette::Base);
        picQVN->setForegroundRole(QPalette::Text);
        return picQVN;
    case layout::ControlKind::CheckBox:
        chkView = new QCheckBox(qText(control.text), this);
        // The box is narrow: keep the caption close to its square so "Normal" fits.
        chkView->setStyleSheet(QStringLiteral("QCheckBox { spacing: 2px; }"));
        return chkView;
    case layout::ControlKind::SheetView:
        return OLEWorkSheet = new SheetView(this);
    case layout::ControlKind::Token:
        return picUser[control.index] = new TokenWidget(*this, control.index, this);
    case layout::ControlKind::Timer: {
        auto* timer = new VbTimer(this);
        timer->setObjectName(objectNameOf(control));
        (std::string_view(control.name) == "timDown" ? timDown : timMiss) = timer;
        return nullptr;
    }
    }
    return nullptr;
}

QLabel* MainForm::createLabel(const layout::ControlLayout& control) {
    const std::string_view name = control.name;
    QLabel* label = name == "Label1" ? static_cast<QLabel*>(new SpreadCaption(qText(control.text), this))
                                     : new FittingLabel(qText(control.text), this);
    label->setTextFormat(Qt::PlainText);
    label->setFocusPolicy(Qt::NoFocus);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (name == "lblStatus")
        lblStatus = label;
    else if (name == "Label1")
        Label1 = label;
    else if (name == "lblVer")
        lblVer = label;
    else if (name == "lblView")
        lblView = label;
    else if (name == "lblPrize")
        lblPrize = label;
    else if (name == "lblGuide")
        lblGuide = label;
    return label;
}

QPushButton* MainForm::createButton(const layout::ControlLayout& control) {
    auto* button = new QPushButton(qText(control.text), this);
    button->setAutoDefault(false);
    const std::string_view name = control.name;
    if (name == "cmdMiss")
        cmdMiss = button;
    else if (name == "cmdSave")
        cmdSave = button;
    else if (name == "cmdPrev")
        cmdPrev = button;
    else if (name == "cmdNext")
        cmdNext = button;
    return button;
}

// What every control takes from its layout: name, tab position, font, tip, visibility, state.
void MainForm::applyLayout(QWidget& widget, const layout::ControlLayout& control) {
    widget.setObjectName(objectNameOf(control));
    widget.setProperty("TabIndex", control.tabIndex);
    if (control.font.family) {
        widget.setFont(fontFor(control.font));
    }
    if (control.toolTip) {
        widget.setToolTip(qText(control.toolTip));
    }
    widget.setVisible(control.visible);
    widget.setEnabled(control.enabled);
}

// One tab sequence over every control with a tab position that can take the focus.
void MainForm::setTabSequence() {
    std::vector<std::pair<int, QWidget*>> sequence;
    for (const layout::ControlLayout& control : layout::controls()) {
        if (control.tabIndex < 0) {
            continue;
        }
        auto* widget = findChild<QWidget*>(objectNameOf(control), Qt::FindDirectChildrenOnly);
        if (widget && widget->focusPolicy() != Qt::NoFocus) {
            sequence.emplace_back(control.tabIndex, widget);
        }
    }
    std::sort(sequence.begin(), sequence.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < sequence.size(); ++i) {
        setTabOrder(sequence[i - 1].second, sequence[i].second);
    }
}

void MainForm::connectHandlers() {
    connect(cmdSave, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    connect(cmdMiss, &QPushButton::clicked, this, [this] { cmdMiss_Click(); });
    connect(cmdPrev, &QPushButton::clicked, this, [this] { cmdPrev_Click(); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { cmdNext_Click(); });
    connect(chkView, &QCheckBox::clicked, this, [this] { chkView_Click(); });
    connect(timDown, &VbTimer::Timer, this, [this] { timDown_Timer(); });
    connect(timMiss, &VbTimer::Timer, this, [this] { timMiss_Timer(); });
    // The release over the decide button comes before its click, as the button's own events run.
    connect(cmdSave, &QPushButton::released, this, [this] { cmdSave_MouseUp(); });
}

// The keys of the whole window pass here once, before any control sees them; every other event
// is its own widget's.
bool MainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this && handleKey(*static_cast<QKeyEvent*>(event), widget == txtTurn))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

int MainForm::twipsToPixels(double twips) const {
    // 1440 twips to the inch, at the screen's logical resolution (96 dpi: 15 twips to the pixel).
    const QScreen* shown = screen();
    const double dpi = shown ? shown->logicalDotsPerInchX() : 96.0;
    return static_cast<int>(std::lround(twips * (dpi > 0 ? dpi : 96.0) / 1440.0));
}

void MainForm::placeToken(int token) {
    TokenWidget* widget = tokenExists(token) ? picUser[token] : nullptr;
    if (!widget) {
        return;
    }
    const TokenPlace& place = board.place(token);
    widget->setGeometry(twipsToPixels(place.left), twipsToPixels(place.top), twipsToPixels(layout::kTokenSize),
                        twipsToPixels(layout::kTokenSize));
}

void MainForm::applyLayout() {
    for (const layout::ControlLayout& control : layout::controls()) {
        if (control.kind == layout::ControlKind::Token || control.kind == layout::ControlKind::Timer) {
            continue;
        }
        auto* widget = findChild<QWidget*>(objectNameOf(control), Qt::FindDirectChildrenOnly);
        widget->setGeometry(twipsToPixels(control.left), twipsToPixels(control.top), twipsToPixels(control.width),
                            twipsToPixels(control.height));
    }
    for (int token = 1; token <= kTokenCount; ++token) {
        placeToken(token);
    }
    const QSize size = minimumSizeTwips();
    setMinimumSize(twipsToPixels(size.width()), twipsToPixels(size.height()));
    layoutSheetArea();
}

// The sheet view takes whatever room the window has beyond the layout; everything above it keeps
// its place. While the banner beneath it shows, the banner keeps its line and the window its
// margin below; while it is hidden, the sheet view reaches down to the window's edge, so that a
// laptop screen shows the titles and all twelve players.
void MainForm::layoutSheetArea() {
    const layout::ControlLayout& sheet = *layout::find("OLEWorkSheet");
    const layout::ControlLayout& banner = *layout::find("lblPrize");
    const QSize whole(twipsToPixels(layoutSizeTwips().width()), twipsToPixels(layoutSizeTwips().height()));
    const int wider = std::max(0, this->width() - whole.width());
    const int left = twipsToPixels(sheet.left);
    const int top = twipsToPixels(sheet.top);
    const int below = lblPrize->isHidden() ? 0 : whole.height() - twipsToPixels(sheet.top + sheet.height);
    const int height = std::max(twipsToPixels(kMinimumSheetHeight), this->height() - top - below);
    OLEWorkSheet->setGeometry(left, top, twipsToPixels(sheet.width) + wider, height);
    lblPrize->setGeometry(twipsToPixels(banner.left),
                          top + height + twipsToPixels(banner.top - sheet.top - sheet.height),
                          twipsToPixels(banner.width) + wider, twipsToPixels(banner.height));
}

QSize MainForm::minimumSizeTwips() {
    const layout::ControlLayout& sheet = *layout::find("OLEWorkSheet");
    const QSize whole = layoutSizeTwips();
    return {whole.width(), whole.height() - (sheet.height - kMinimumSheetHeight)};
}

QSize MainForm::initialSize(QSize available) const {
    // What a window manager takes for the title bar and borders.
    constexpr int kFrameAllowance = 24;
    const QSize whole(twipsToPixels(layoutSizeTwips().width()), twipsToPixels(layoutSizeTwips().height()));
    if (available.isEmpty()) return whole;
    const QSize room = available - QSize(0, kFrameAllowance);
    return whole.boundedTo(room).expandedTo(minimumSize());
}

void MainForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutSheetArea();
}

bool MainForm::event(QEvent* event) {
    // A window that loses the pointer (another window, a message box) ends a token drag without a
    // drop: its release will not come here.
    if (event->type() == QEvent::WindowDeactivate && turn_) turn_->cancelGesture();
    // Pixels follow the screen: lay the window out again when it moves to another one.
    if (event->type() == QEvent::Show && windowHandle() && !screenWatched_) {
        screenWatched_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { applyLayout(); });
    }
    return QWidget::event(event);
}

void MainForm::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    if (!courtPicture_.isNull()) {
        // The window's own picture: natural size, from the top-left corner, beneath every control.
        painter.drawPixmap(0, 0, courtPicture_);
        return;
    }
    // Without it, a plain court: the four slot areas, numbered.
    painter.setRenderHint(QPainter::Antialiasing);
    for (int slot = 1; slot <= 4; ++slot) {
        const QRect area = picCourt[slot]->geometry();
        painter.fillRect(area, QColor(0x3a, 0x8f, 0x3e));
        painter.setPen(QPen(Qt::white, 2));
        painter.drawRect(area.adjusted(1, 1, -1, -1));
        QFont number = font();
        number.setPixelSize(std::max(8, area.height() / 8));
        number.setBold(true);
        painter.setFont(number);
        painter.drawText(area.adjusted(6, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop, QString::number(slot));
    }
}

void MainForm::closeEvent(QCloseEvent* event) {
    // A close that comes while a turn or another operation is writing the workbook waits for it
    // to end (the connection it uses must outlive it); one during a countdown records the turn
    // first. The turn machine closes the window again when that is done.
    if (!unloaded_ && !turn_->windowCloseRequested()) {
        event->ignore();
        return;
    }
    if (!unloaded_) {
        Form_Unload();
    }
    event->accept();
}

// ---- Start-up and shutdown ----

void MainForm::Form_Load() {
    try {
        DataPath = programFolder_ / "data.xls";
        for (int k = 1; k <= 4; ++k) {
            board.CourtSlot[k] = static_cast<std::int16_t>(k + kFirstPlaceholder - 1);
            board.Players[k + kFirstPlaceholder - 1].Slot = static_cast<std::int16_t>(k);
        }
        MissIndex = 0;
        xlApp = seams_.createXlApp ? seams_.createXlApp() : std::make_unique<XlApp>();
        if (!xlApp) {
            throw std::runtime_error("no workbook connection");
        }
        xlApp->DisplayAlerts = false;
        ScoreContext context = scoreContext();
        LoadSheet(context);
        OLEWorkSheet->CreateLink(DataPath);
        showPlainFaces();
        updateGuide();
        boardFollows();
        SetStatus("Status : OK");
        if (!missingPictures_.empty()) {
            // Said once: the game can be scored with the plain faces.
            std::string list;
            for (std::size_t i = 0; i < missingPictures_.size() && i < 3; ++i)
                list += (i ? ", " : "") + missingPictures_[i];
            if (missingPictures_.size() > 3) list += " ほか " + std::to_string(missingPictures_.size() - 3) + " 件";
            SetStatus("Status : OK - 画像が見つかりません: " + list);
        }
    } catch (const std::exception& error) {
        // The window opens anyway, without a workbook connection; what was done so far stays.
        // The box says what failed, where, and what to do, under the name of the step.
        ask(QString::fromStdString("Form_Load\n\n" + startupFailure(DataPath, error.what())), QMessageBox::Ok,
            QMessageBox::Ok, QMessageBox::Warning);
        xlApp.reset();
        // Nothing can be recorded: no turn number to offer, and the status line says what to do.
        txtTurn->clear();
        showPlainFaces();
        updateGuide();
        SetStatus("Status : data.xls を直して、起動しなおしてください");
    }
}

void MainForm::setToolTips() {
    // Only where the layout gives none (the guests' tokens carry their names).
    const auto tip = [](QWidget* widget, const char* text) {
        if (widget->toolTip().isEmpty()) widget->setToolTip(QString::fromUtf8(text));
    };
    tip(cmdSave, "3 秒のカウントダウンを始めます。コートに選手が 4 人そろうと押せます。(キー: Space / Enter)");
    tip(cmdMiss, "だれも指名せずに、このターンをすぐに記録します。(キー: 0 / M)");
    tip(txtTurn, "次に記録する節の番号です (1 から 2060)。キーの一覧は F1。");
    tip(cmdPrev, "節の番号を 1 つ戻します。戻した節は記録しなおせます。(キー: Page Up)");
    tip(cmdNext, "節の番号を 1 つ進めます。(キー: Page Down)");
    tip(picQVN, "クリックすると記録を初期化します (確認があります)。");
    tip(chkView, "ポイント表示形式を Normal と Hyper で切り替えます。");
    for (int slot = 1; slot <= 4; ++slot)
        tip(picCourt[slot],
            "カウントダウン中にクリックすると、ここに立つ選手をミスした選手として記録します。"
            "(キー: 1〜4。ターンの間は 1〜4 に続けて控えの選手の A〜L で入れ替え)");
    for (int token = 1; token <= kTokenCount; ++token)
        if (isPlayerToken(token) && picUser[token])
            tip(picUser[token],
                "ドラッグしてコートや控えの選手と入れ替えます。カウントダウン中はコートの選手を"
                "クリックするか、上をドラッグで横切ると、ミスした選手として記録します。");
}

void MainForm::updateGuide() {
    if (markedToken_ != 0) {
        showGuide(QStringLiteral("C : %1 %2").arg(markedToken_).arg(QString::fromStdString(playerName(markedToken_))),
                  true);
    } else if (board.courtHasPlaceholder()) {
        showGuide(QStringLiteral("選手を 4 人コートへドラッグ"), false);
    } else {
        lblGuide->clear();
    }
}

void MainForm::showGuide(const QString& text, bool named) {
    QPalette palette = lblGuide->palette();
    palette.setColor(QPalette::WindowText, named ? kNamedColour : kHintColour);
    lblGuide->setPalette(palette);
    lblGuide->setText(text);
}

void MainForm::showPlainFaces() {
    // A token without a picture is drawn plainly with its number and name, so players can still
    // be told apart; the titles picture shows its name.
    for (int token = 1; token <= kTokenCount; ++token)
        if (isPlayerToken(token) && picUser[token])
            picUser[token]->setPlainFace(token, QString::fromStdString(playerName(token)));
    if (picQVN->pixmap().isNull()) picQVN->setText(QStringLiteral("QVN"));
    update();
}

void MainForm::Form_Unload() {
    unloaded_ = true;
    SetStatus("Free Excel Applicaiton");
    // The workbook connection goes first; the stand-in holds the last workbook inside it, so this
    // releases both. Nothing is saved, closed or quit.
    xlApp.reset();
    SetStatus("Free Excel Worksheet");
    SetStatus("Status : OK");
}

ScoreContext MainForm::scoreContext() {
    return ScoreContext{*this, xlApp.get(), DataPath, board, MissIndex};
}

QMessageBox::StandardButton MainForm::ask(const QString& text, QMessageBox::StandardButtons buttons,
                                          QMessageBox::StandardButton defaultButton, QMessageBox::Icon icon) {
    if (seams_.messageBox) {
        return seams_.messageBox(text, buttons, defaultButton);
    }
    QMessageBox box(icon, QStringLiteral("Pellix"), text, buttons, this);
    box.setDefaultButton(defaultButton);
    placeClearOfStatus(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MainForm::placeClearOfStatus(QWidget& box) const {
    // Centred over the window, but below the status line, which goes on saying what happens.
    box.adjustSize();
    constexpr int kGap = 8;
    const QPoint status = lblStatus->mapToGlobal(QPoint(0, lblStatus->height()));
    const QPoint centre = mapToGlobal(rect().center());
    QPoint at(centre.x() - box.width() / 2, std::max(status.y() + kGap, centre.y() - box.height() / 2));
    if (const QScreen* shown = screen()) {
        // Never off the screen: at its bottom edge it may cover the status line after all.
        const QRect room = shown->availableGeometry();
        at.setY(std::min(at.y(), room.bottom() - box.height()));
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - box.width())));
    }
    box.move(at);
}

// ---- ScoreHost ----

void MainForm::SetStatus(const std::string& message) {
    lblStatus->setText(QStringLiteral(" ") + QString::fromStdString(message));
    QCoreApplication::processEvents();
}

void MainForm::playSound(const std::string& fileName) {
    seams_.sound->play(programFolder_ / "sound" / fileName);
}

void MainForm::showFailure(const std::string& message) {
    ask(QString::fromStdString(message), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
}

std::string MainForm::playerName(int player) const {
    // As the sheet view last read it: column B of row player + 1.
    if (!isPlayerToken(player)) return {};
    const xls::CellShown* name = OLEWorkSheet->sheetModel().cellAt(player, 1);
    return name && name->value.kind == ValueKind::Text ? name->value.text : std::string();
}

void MainForm::relinkSheetView() {
    OLEWorkSheet->CreateLink(DataPath);
    boardFollows();
}

std::string MainForm::viewCaption() const {
    return chkView->text().toStdString();
}

void MainForm::setViewCaption(const std::string& caption) {
    chkView->setText(QString::fromStdString(caption));
    // The box shows the format the file holds, however the caption came to change.
    const QSignalBlocker blocker(chkView);
    chkView->setChecked(caption == "Hyper");
}

void MainForm::setPrizeVisible(bool visible) {
    lblPrize->setVisible(visible);
    layoutSheetArea();
}

void MainForm::setTurnText(const std::string& text) {
    txtTurn->setText(QString::fromStdString(text));
}

bool MainForm::setTokenPicture(int token, const std::filesystem::path& file) {
    if (!tokenExists(token) || !picUser[token]) {
        return false;
    }
    QPixmap picture;
    if (!loadWorkbookPicture(file, picture)) {
        return false;
    }
    picUser[token]->setPicture(picture);
    return true;
}

// A picture the workbook load asks for; one that cannot be read is noted for the start-up message.
bool MainForm::loadWorkbookPicture(const std::filesystem::path& file, QPixmap& picture) {
    if (loadPicture(file, picture)) {
        return true;
    }
    missingPictures_.push_back(file.lexically_relative(programFolder_).string());
    return false;
}

bool MainForm::setQvnPicture(const std::filesystem::path& file) {
    QPixmap picture;
    if (!loadWorkbookPicture(file, picture)) {
        return false;
    }
    picQVN->setPixmap(picture);
    return true;
}

bool MainForm::setCourtPicture(const std::filesystem::path& file) {
    QPixmap picture;
    if (!loadWorkbookPicture(file, picture)) {
        return false;
    }
    courtPicture_ = picture;
    update();
    return true;
}

void MainForm::setPrizeCaption(const std::string& caption) {
    lblPrize->setText(QString::fromStdString(caption));
}

}  // namespace pellix
