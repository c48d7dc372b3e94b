// Pellix: the score sheet of a rally game. Everything it needs lies in the folder of the program:
// data.xls, the pictures and the sounds (see program_folder.h for which folder that is).

#include "shell/instance_lock.h"
#include "shell/main_form.h"
#include "shell/program_folder.h"
#include "shell/report.h"
#include "shell/sound_player.h"
#include "shell/web_board_link.h"

#include <QApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <string_view>

// The folder and the status line at the end of start-up, for whoever watches the program from
// outside (QT_LOGGING_RULES=pellix.startup.info=true); silent otherwise.
Q_LOGGING_CATEGORY(startUpLog, "pellix.startup", QtWarningMsg)

int main(int argc, char* argv[]) {
    pellix::silenceMultimediaWarnings();
    // The report is written without a window: no display is needed for it.
    const bool report = std::any_of(argv + 1, argv + argc, [](const char* argument) {
        return std::string_view(argument) == pellix::kReportOption;
    });
    if (report) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    std::vector<std::string> arguments;
    for (const QString& argument : application.arguments().mid(1)) arguments.push_back(argument.toStdString());
    if (report) {
        pellix::MainForm::installFontSubstitutions();
        return pellix::runReportCommand(
            arguments, pellix::FolderPlaces::forExecutable(QCoreApplication::applicationDirPath().toStdString()));
    }
    const bool openBoard = std::ranges::find(arguments, pellix::kBoardOption) != arguments.end();
    // --serve [ADDRESS:]PORT: the web board, on that port; it is not about the folder.
    QString serve;
    if (const auto option = std::ranges::find(arguments, std::string("--serve")); option != arguments.end()) {
        if (option + 1 == arguments.end() || !pellix::web::parseListenAddress(QString::fromStdString(*(option + 1)))) {
            std::fprintf(stderr, "pellix: --serve wants [ADDRESS:]PORT, PORT 1..65535\n");
            return 2;
        }
        serve = QString::fromStdString(*(option + 1));
        arguments.erase(option, option + 2);
    }
    const pellix::FolderChoice folder = pellix::chooseProgramFolder(
        arguments, pellix::FolderPlaces::forExecutable(QCoreApplication::applicationDirPath().toStdString()));
    if (!folder.error.empty()) {
        std::fprintf(stderr, "pellix: %s\n", folder.error.c_str());
        QMessageBox::critical(nullptr, QStringLiteral("Pellix"), QString::fromStdString(folder.error));
        return 1;
    }
    // One running copy per folder: a second would record over the first one's turns.
    const pellix::InstanceLock lock(folder.folder);
    if (lock.state() == pellix::InstanceLock::State::HeldElsewhere) {
        std::fprintf(stderr, "pellix: %s is in use by another running Pellix\n", folder.folder.c_str());
        QMessageBox::information(nullptr, QStringLiteral("Pellix"),
                                 QStringLiteral("このフォルダの記録は、すでに動いている Pellix が開いています。\n%1\n"
                                                "同じ data.xls を二つのウィンドウで記録することはできません。")
                                     .arg(QString::fromStdString(folder.folder.string())));
        return 1;
    }

    pellix::MainForm form(folder.folder);
    // The scorer sees which record he is writing.
    form.setWindowTitle(form.windowTitle() + QStringLiteral(" — ") + QString::fromStdString(folder.folder.string()));
    // The whole layout where the screen has room for it; else as much as fits, maximised.
    const QScreen* screen = form.screen();
    const QSize size = form.initialSize(screen ? screen->availableGeometry().size() : QSize());
    form.resize(size);
    if (size == form.initialSize({})) {
        form.show();
    } else {
        form.showMaximized();
    }
    form.Form_Load();
    if (openBoard) form.toggleSpectatorBoard();
    if (!serve.isEmpty()) {
        // The window is more than the web board: it goes on scoring when the port cannot be had.
        QString error;
        if (form.serveWebBoard(serve, &error)) {
            std::printf("pellix: serving the board at %s\n", qPrintable(form.webBoard()->address()));
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "pellix: cannot serve the board on %s: %s\n", qPrintable(serve), qPrintable(error));
            form.SetStatus("Status : Web ボードを開けません (" + serve.toStdString() + ": " + error.toStdString() + ")");
        }
    }
    form.installWebBoardControl();
    qCInfo(startUpLog).noquote() << "folder" << QString::fromStdString(folder.folder.string()) << "status"
                                 << form.findChild<QLabel*>(QStringLiteral("lblStatus"))->text();
    if (folder.createdFromSample && form.workbookOpen()) form.SetStatus(pellix::sampleCopyNotice());
    return application.exec();
}
