#pragma once

// Plays a short wave file and returns at once. Silent when the file or an audio device is
// missing; never prints to the terminal. Tests replace it with a recorder.

#include <QObject>

#include <filesystem>
#include <map>
#include <string>

class QSoundEffect;

namespace pellix {

class SoundPlayer {
public:
    SoundPlayer();
    virtual ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    virtual void play(const std::filesystem::path& file);

private:
    // One effect per file, kept for the program's life: loading is the slow part.
    std::map<std::filesystem::path, QSoundEffect*> effects_;
    QObject owner_;
};

// Drops the multimedia back end's complaints about a missing audio device; every other message
// goes on to the handler that was installed before. Safe to call more than once.
void silenceMultimediaWarnings();

}  // namespace pellix
