// The song transport bar over an offline engine: the engine's player moves
// only as the test renders, so every position is exact.

#include "ui/frame/SongBar.h"

#include "engine/CardEngine.h"
#include "support/MidiFileBuilder.h"
#include "support/RiffBuilder.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>

#include <gtest/gtest.h>

namespace
{
class SongBarTest : public ::testing::Test
{
protected:
    SongBarTest()
    {
        CardEngineOptions options;
        options.audioDevice = false;
        options.sequencerPort = false;
        engine = std::make_shared<CCardEngine>(options);
        bar.SetEngineSource([this](std::string&) { return engine; });
        // A held C on the keyboard's channel for four seconds.
        MidiTrackBuilder track;
        track.Name("Held C").NoteOn(0, 60).Wait(480 * 8).NoteOff(0, 60);
        song =
            QString::fromStdString(files.Write("held.mid", MidiFileBuilder().Format(0).Track(track).Build()));
    }
    void Advance(double seconds)
    {
        std::vector<float> left(static_cast<std::size_t>(seconds * 44100)), right(left.size());
        ASSERT_TRUE(engine->Render(left.data(), right.data(), left.size()));
        bar.Refresh();
    }

    TempDir files;
    std::shared_ptr<CCardEngine> engine;
    CSongBar bar;
    QString song;
};
} // namespace

TEST_F(SongBarTest, ASongPlaysAndTheBarFollowsItsPositionAndKeys)
{
    EXPECT_FALSE(bar.HasSong());
    EXPECT_FALSE(bar.PlayAction()->isEnabled());
    QSignalSpy keys(&bar, &CSongBar::KeysChanged);
    QString error;
    ASSERT_TRUE(bar.Open(song, error)) << error.toStdString();
    EXPECT_TRUE(bar.HasSong());
    EXPECT_EQ(bar.NameLabel()->text(), QStringLiteral("Held C"));
    // The player's clock lags its samples by a millisecond or so.
    Advance(1.05);
    EXPECT_EQ(bar.TimeLabel()->text(), QStringLiteral("0:01 / 0:04"));
    EXPECT_EQ(bar.PositionSlider()->maximum(), 40);
    EXPECT_NEAR(bar.PositionSlider()->value(), 10, 1);
    EXPECT_EQ(bar.PlayAction()->text(), QStringLiteral("Pause"));
    ASSERT_FALSE(keys.isEmpty());
    EXPECT_EQ(keys.last().at(0).toULongLong(), quint64{1} << 60);

    // Pause keeps the place, the slider seeks, Stop goes back and lets go of every key.
    bar.PlayPause();
    EXPECT_FALSE(engine->Song().playing);
    EXPECT_EQ(bar.PlayAction()->text(), QStringLiteral("Play"));
    bar.PositionSlider()->setValue(25);
    EXPECT_NEAR(engine->Song().position, 2.5, 0.01);
    bar.PlayPause();
    Advance(0.5);
    EXPECT_NEAR(engine->Song().position, 3.0, 0.02);
    bar.Stop();
    EXPECT_EQ(engine->Song().position, 0.0);
    EXPECT_EQ(bar.TimeLabel()->text(), QStringLiteral("0:00 / 0:04"));
    EXPECT_EQ(keys.last().at(0).toULongLong(), 0u);
    EXPECT_EQ(keys.last().at(1).toULongLong(), 0u);

    // Loop reaches the engine.
    bar.LoopAction()->setChecked(true);
    EXPECT_TRUE(engine->Song().looping);
}

TEST_F(SongBarTest, BadSongsAreRefusedWithTheReasonAndTheSongPlayingStays)
{
    QString error;
    ASSERT_TRUE(bar.Open(song, error));
    MidiTrackBuilder zero;
    zero.Tempo(0);
    const QString broken =
        QString::fromStdString(files.Write("zero.mid", MidiFileBuilder().Format(0).Track(zero).Build()));
    EXPECT_FALSE(bar.Open(broken, error));
    EXPECT_TRUE(error.contains(QStringLiteral("zero.mid cannot be played")) &&
                error.contains(QStringLiteral("tempo of zero")))
        << error.toStdString();
    EXPECT_EQ(bar.SongPath(), song);
    EXPECT_TRUE(engine->Song().loaded);

    // Without a sound engine nothing plays, and the reason is given.
    CSongBar silent;
    silent.SetEngineSource(
        [](std::string& why) -> std::shared_ptr<ISoundEngine>
        {
            why = "no device";
            return nullptr;
        });
    EXPECT_FALSE(silent.Open(song, error));
    EXPECT_TRUE(error.contains(QStringLiteral("no device"))) << error.toStdString();
    EXPECT_FALSE(silent.HasSong());
}

TEST_F(SongBarTest, SaveSongAsWaveRendersTheWholeSongOnAnEngineOfItsOwn)
{
    QString error;
    ASSERT_TRUE(bar.Open(song, error));
    const QString target = QString::fromStdString(files.File("held.wav"));
    ASSERT_TRUE(bar.SaveSongAsWave(nullptr, target));
    const Bytes wave = ReadFileBytes(target.toStdString());
    ASSERT_GT(wave.size(), 44u);
    EXPECT_EQ(std::string(wave.begin(), wave.begin() + 4), "RIFF");
    // Four seconds and the release, 16-bit stereo.
    EXPECT_GE(wave.size(), 44u + 4u * 44100 * 4);
    // The song playing was left where it was.
    EXPECT_TRUE(engine->Song().loaded);

    // An engine that cannot start: nothing written.
    bar.SetRenderEngineSource(
        [](std::string& why) -> std::unique_ptr<ISoundEngine>
        {
            why = "no engine";
            return nullptr;
        });
    const QString other = QString::fromStdString(files.File("other.wav"));
    EXPECT_FALSE(bar.SaveSongAsWave(nullptr, other));
    EXPECT_FALSE(QFileInfo::exists(other));
}
