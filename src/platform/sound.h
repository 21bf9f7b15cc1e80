#pragma once

#include <QString>

#include <memory>

namespace tw::platform {

// Plays the program's sounds: WAV files of the warning sounds and the desktop's event sounds.
// Both calls return at once (the sound plays asynchronously) and say whether it could be
// started; the caller beeps when they fail. Safe to call from any thread.
//
//   auto sound = CreateSoundPlayer();
//   if (!sound->playWave(path)) beep();
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays a WAV file; false when the file is missing or cannot be played.
    virtual bool playWave(const QString& path) = 0;
    // Plays a freedesktop sound-theme event (such as "dialog-information" or "bell"); false
    // when the desktop cannot play it.
    virtual bool playEvent(const QString& name) = 0;
};

// A player that plays nothing (no sound system): every call returns false.
class NullSoundPlayer : public SoundPlayer {
public:
    bool playWave(const QString&) override { return false; }
    bool playEvent(const QString&) override { return false; }
};

// The desktop's sound library when the program was built with it, else a NullSoundPlayer.
std::unique_ptr<SoundPlayer> CreateSoundPlayer();

// The event names that stand in for the system's message beeps.
inline constexpr const char* kInformationEvent = "dialog-information";
inline constexpr const char* kErrorEvent = "dialog-error";
inline constexpr const char* kBellEvent = "bell";

} // namespace tw::platform
