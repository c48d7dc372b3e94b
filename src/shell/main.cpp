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
    // Large enough for every control the layout places; maximized where the screen is smaller.
    const QSize wanted(form.twipsToPixels(pellix::MainForm::layoutSizeTwips().width()),
                       form.twipsToPixels(pellix::MainForm::layoutSizeTwips().height()));
    const QScreen* screen = form.screen();
    const QSize room = screen ? screen->availableGeometry().size() : wanted;
    if (room.width() >= wanted.width() && room.height() >= wanted.height()) {
        form.resize(wanted);
        form.show();
    } else {
        form.showMaximized();
    }
    form.Form_Load();
    return application.exec();
}
