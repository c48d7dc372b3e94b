// Pellix: the score sheet of a rally game. Everything it needs lies in the folder of the program:
// data.xls, the pictures and the sounds.

#include "shell/instance_lock.h"
#include "shell/main_form.h"
#include "shell/sound_player.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

int main(int argc, char* argv[]) {
    pellix::silenceMultimediaWarnings();
    QApplication application(argc, argv);

    const std::filesystem::path folder = QCoreApplication::applicationDirPath().toStdString();
    const pellix::InstanceLock lock(folder);
    if (lock.state() == pellix::InstanceLock::State::HeldElsewhere) {
        QMessageBox::information(nullptr, QStringLiteral("Pellix"),
                                 QStringLiteral("このフォルダの記録は、すでに動いている Pellix が開いています。\n%1\n"
                                                "同じ data.xls を二つのウィンドウで記録することはできません。")
                                     .arg(QString::fromStdString(folder.string())));
        return 1;
    }

    pellix::MainForm form(folder);
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
    return application.exec();
}
