// The music and effect policy on real (generated) sounds: what each start,
// stop, key and focus change leaves playing, asked of the engine's mixer.
#include "unit/game/game_fixture.h"

namespace {

using namespace game_test;

class AudioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGame();
        LoadSounds();
    }
    void TearDown() override { engine::ReleaseSound(-1); }
    static int32_t Channel() { return audio::music.musicChannel; }
};

TEST_F(AudioTest, MusicAndEffectsStartOnlyWhenSwitchedOn) {
    app::settings.Music = 0;
    EXPECT_EQ(audio::StartMusic(audio::MenuMusic), 0);
    EXPECT_EQ(Channel(), 0);
    EXPECT_FALSE(audio::IsMusicPlaying(audio::MenuMusic));
    EXPECT_EQ(engine::QuerySoundState(audio::MenuMusic, 0), 0);  // own voice untouched

    app::settings.Music = 1;
    const int32_t channel = audio::StartMusic(audio::MenuMusic);
    EXPECT_NE(channel, 0);
    EXPECT_EQ(Channel(), channel);
    EXPECT_TRUE(audio::IsMusicPlaying(audio::MenuMusic));
    EXPECT_FALSE(audio::IsMusicPlaying(1));
    audio::StopMusic(audio::MenuMusic, channel);
    EXPECT_FALSE(audio::IsMusicPlaying(audio::MenuMusic));

    app::settings.Sounds = 0;
    EXPECT_EQ(audio::PlayEffect(audio::ClickEffect, 50), 0);
    app::settings.Sounds = 1;
    const int32_t effect = audio::PlayEffect(audio::ClickEffect, 50);
    EXPECT_TRUE(Playing(audio::ClickEffect, effect));
    // Effects are never the music.
    EXPECT_EQ(Channel(), channel);
}

TEST_F(AudioTest, MToggleStopsAndStartsTheMusicOfTheState) {
    app::settings.Music = 1;
    audio::StartMusic(audio::LevelEndMusic);
    const int32_t first = Channel();
    audio::ToggleMusic(app::LevelFinished);
    EXPECT_EQ(app::settings.Music, 0);
    EXPECT_FALSE(Playing(audio::LevelEndMusic, first));
    audio::ToggleMusic(app::LevelFinished);
    EXPECT_EQ(app::settings.Music, 1);
    EXPECT_TRUE(audio::IsMusicPlaying(audio::LevelEndMusic));

    // After Next the key works on the new level's track.
    audio::StopMusic(audio::LevelEndMusic, Channel());
    game::level.current = 2;
    game::SetUpLevel(true);
    EXPECT_TRUE(audio::IsMusicPlaying(2));
    audio::ToggleMusic(app::Dealing);
    EXPECT_FALSE(audio::IsMusicPlaying(2));

    // The menus share sound 0, the end of the game has sound 5, and the
    // settings screen has none of its own and ignores the key.
    EXPECT_EQ(audio::MusicOfState(app::QuitConfirm), audio::MenuMusic);
    EXPECT_EQ(audio::MusicOfState(app::LeaveConfirm), 2);
    EXPECT_EQ(audio::MusicOfState(app::GameCompleted), audio::CompletedMusic);
    audio::ToggleMusic(app::Settings);
    EXPECT_EQ(app::settings.Music, 0);

    audio::ToggleSounds();
    EXPECT_EQ(app::settings.Sounds, 0);
    audio::ToggleSounds();
    EXPECT_EQ(app::settings.Sounds, 1);
}

TEST_F(AudioTest, RestartKeepsTheTrackPlaying) {
    app::settings.Music = 1;
    game::level.current = 4;
    game::SetUpLevel(true);
    const int32_t channel = Channel();
    EXPECT_TRUE(Playing(1, channel));
    game::SetUpLevel(false);
    EXPECT_EQ(Channel(), channel);
    EXPECT_TRUE(Playing(1, channel));
}

TEST_F(AudioTest, VolumeStepsStayWithinTheScale) {
    app::settings.MusicVolume = 99;
    audio::StepVolume(+1);
    audio::StepVolume(+1);
    EXPECT_EQ(app::settings.MusicVolume, 100);
    app::settings.MusicVolume = 1;
    audio::StepVolume(-1);
    audio::StepVolume(-1);
    EXPECT_EQ(app::settings.MusicVolume, 0);
    audio::StepVolume(+1);
    EXPECT_EQ(app::settings.MusicVolume, 1);
}

TEST_F(AudioTest, FocusPausesTheMenuAndLevelMusicButNotTheResults) {
    app::settings.Music = 1;
    audio::StartMusic(audio::MenuMusic);
    audio::PauseMusicForFocus();
    EXPECT_EQ(engine::QuerySoundState(audio::MenuMusic, Channel()), 2);
    audio::ResumeMusicForFocus();
    EXPECT_EQ(engine::QuerySoundState(audio::MenuMusic, Channel()), 1);
    audio::StopMusic(audio::MenuMusic, Channel());

    game::level.musicTrack = 3;
    audio::StartMusic(3);
    audio::PauseMusicForFocus();
    EXPECT_EQ(engine::QuerySoundState(3, Channel()), 2);
    audio::ResumeMusicForFocus();
    EXPECT_TRUE(audio::IsMusicPlaying(3));
    audio::StopMusic(3, Channel());

    audio::StartMusic(audio::LevelEndMusic);
    audio::PauseMusicForFocus();
    EXPECT_TRUE(audio::IsMusicPlaying(audio::LevelEndMusic));

    // A stopped track is not brought back by regaining focus.
    audio::StopMusic(audio::LevelEndMusic, Channel());
    audio::ResumeMusicForFocus();
    EXPECT_FALSE(audio::IsMusicPlaying(audio::LevelEndMusic));
}

}  // namespace
