#include "platform/sound.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using tw::platform::CreateSoundPlayer;
using tw::platform::NullSoundPlayer;

TEST(SoundPlayer, NullPlayerPlaysNothing) {
    NullSoundPlayer player;
    EXPECT_FALSE(player.playWave(QStringLiteral("/usr/share/sounds/alsa/Front_Center.wav")));
    EXPECT_FALSE(player.playEvent(QStringLiteral("bell")));
}

TEST(SoundPlayer, MissingOrUnusableWaveFilesFailSoTheCallerBeeps) {
    const auto player = CreateSoundPlayer();
    ASSERT_NE(player, nullptr);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(player->playWave(QString()));
    EXPECT_FALSE(player->playWave(dir.filePath(QStringLiteral("missing.wav"))));
    // A folder is no sound file.
    EXPECT_FALSE(player->playWave(dir.path()));
    EXPECT_FALSE(player->playEvent(QString()));
}

} // namespace
