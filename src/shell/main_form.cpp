#include "shell/main_form.h"

#include "shell/court_area.h"
#include "shell/fitting_label.h"
#include "shell/form_layout.h"
#include "shell/input_flush.h"
#include "shell/sheet_view.h"
#include "shell/sound_player.h"
#include "shell/statistics_view.h"
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

namespace pellix {

namespace {

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
    installHistoryActions();
    installStatisticsView(*this, *OLEWorkSheet, programFolder_);
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
        picCourt[control.index] = new CourtArea(control.index, this);
        connect(picCourt[control.index], &CourtArea::clicked, this, &MainForm::picCourt_Click);
        return picCourt[control.index];
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
        picUser[control.index] = new TokenWidget(control.index, this);
        connect(picUser[control.index], &TokenWidget::pressed, this, &MainForm::tokenPressed);
        connect(picUser[control.index], &TokenWidget::pointerMoved, this, &MainForm::tokenPointerMoved);
        connect(picUser[control.index], &TokenWidget::released, this, &MainForm::tokenReleased);
        return picUser[control.index];
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

}  // namespace pellix
