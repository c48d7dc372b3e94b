#include "shell/sound_player.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

#include <atomic>
#include <system_error>

namespace pellix {

namespace {

QtMessageHandler previousHandler = nullptr;
std::atomic<bool> handlerInstalled = false;

bool isMultimediaNoise(const QMessageLogContext& context, const QString& message) {
    const QLatin1StringView category(context.category ? context.category : "");
    if (category.startsWith(QLatin1StringView("qt.multimedia")) || category.startsWith(QLatin1StringView("qt.audio"))) {
        return true;
    }
    return message.contains(QLatin1StringView("PulseAudio"))
           || message.contains(QLatin1StringView("No audio device detected"))
           || message.contains(QLatin1StringView("pulseaudio"));
}

void filteringHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg && isMultimediaNoise(context, message)) {
        return;
    }
    if (previousHandler) {
        previousHandler(type, context, message);
    } else {
        fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    }
}

}  // namespace

void silenceMultimediaWarnings() {
    if (!handlerInstalled.exchange(true)) {
        previousHandler = qInstallMessageHandler(filteringHandler);
    }
}

SoundPlayer::SoundPlayer() {
    silenceMultimediaWarnings();
}

SoundPlayer::~SoundPlayer() = default;

void SoundPlayer::play(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return;
    }
    if (QMediaDevices::audioOutputs().isEmpty()) {
        return;
    }
    QSoundEffect*& effect = effects_[file];
    if (!effect) {
        effect = new QSoundEffect(&owner_);
        effect->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
    }
    // Starts at once, or as soon as the file has loaded; a garbage file never loads and stays silent.
    effect->play();
}

}  // namespace pellix
