// Start-up and shutdown, the guide line, the message boxes, and what the score routines ask of
// the window (the status line, sounds, the sheet view, the pictures the workbook names).

#include "shell/court_area.h"
#include "shell/fitting_label.h"
#include "shell/main_form.h"
#include "shell/sheet_view.h"
#include "shell/sound_player.h"
#include "shell/audience_board.h"
#include "shell/token_widget.h"
#include "workbook/display_format.h"

#include <QCoreApplication>
#include <QScreen>
#include <QSignalBlocker>

#include <algorithm>
#include <stdexcept>
#include <unistd.h>

namespace pellix {

namespace {

// The guide line: red for the player named at a miss, blue for what to do next.
const QColor kNamedColour(0xc0, 0x00, 0x00);
const QColor kHintColour(0x20, 0x40, 0x90);

bool loadPicture(const std::filesystem::path& file, QPixmap& picture) {
    QPixmap loaded;
    if (!loaded.load(QString::fromStdString(file.string()))) {
        return false;
    }
    picture = loaded;
    return true;
}

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

// ---- Start-up and shutdown ----

void MainForm::Form_Load() {
    try {
        DataPath = programFolder_ / "data.xls";
        board.standPlaceholders();
        versions_ = std::make_unique<VersionStore>(DataPath, clock_);
        xlApp = connectWorkbooks();
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
    return ScoreContext{*this, xlApp.get(), DataPath, board, versions_.get()};
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
    return name && name->value.kind == xls::ValueKind::Text ? name->value.text : std::string();
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
    chkView->setChecked(formatOfCaption(caption) == DisplayFormat::Hyper);
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
