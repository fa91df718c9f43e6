#pragma once
// The emulated card in a home folder of its own ($TAMBERLY_CARD_HOME), driven
// through CAweSession exactly as the program drives it, and sound engines
// that render what it holds without any audio device.

#include "engine/CardEngine.h"
#include "platform/RegistryStore.h"
#include "soundfont/FluidProbe.h"
#include "soundfont/WaveFile.h"
#include "support/RiffBuilder.h"
#include "support/ScopedCardHome.h"
#include "support/WaveBuilder.h"
#include "synth/AweSession.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <unistd.h>

class EngineTest : public ::testing::Test
{
protected:
    static constexpr double kRate = CCardEngine::kSampleRate;

    EngineTest()
    {
        session = std::make_unique<CAweSession>(TAMBERLY_AWEMAN_PATH, CRegistryStore(home.Path()));
    }
    ~EngineTest() override { session.reset(); }

    CardEngineOptions Offline() const
    {
        CardEngineOptions options;
        options.audioDevice = false;
        options.cardHome = home.Path();
        return options;
    }
    std::unique_ptr<CCardEngine> Engine() const { return std::make_unique<CCardEngine>(Offline()); }

    // One second of a 440 Hz sine recorded at rate (a whole number of
    // cycles, so the sample loops without a seam): left and right at the
    // given peaks (of 32767), or one channel at the left peak.
    static Bytes Sine(std::uint32_t rate, std::uint16_t channels, double left = 0.5, double right = 0.5)
    {
        return WaveBuilder()
            .Channels(channels)
            .Rate(rate)
            .Bits(16)
            .Frames(rate,
                    [=](std::size_t frame, unsigned channel)
                    {
                        const double peak = channel == 0 ? left : right;
                        return static_cast<std::int32_t>(std::lround(
                            32767 * peak *
                            std::sin(2 * std::numbers::pi * 440 * static_cast<double>(frame) / rate)));
                    })
            .Build();
    }

    // Loads option of a wave onto bank:slot the way the program does: the
    // wave written to a temporary one-preset bank, loaded, and deleted.
    bool LoadWave(int bank, int slot, const Bytes& wave, int option)
    {
        const std::string wavePath = files.Write("sine.wav", wave);
        const std::string bankPath = files.File("TMB0001.tmp");
        CWaveFile file;
        const bool written = file.Open(wavePath) && file.WriteSoundFont(bankPath, option);
        file.Close();
        int usedKB = 0;
        const bool loaded = written && session->LoadPreset(bank, slot, bankPath, 0, &usedKB);
        ::unlink(bankPath.c_str());
        ::unlink(wavePath.c_str());
        return loaded;
    }

    // A key held on bank:program for `seconds`, then `release` more.
    static StereoSound Play(CCardEngine& engine, int bank, int program, int key, double seconds = 1.0,
                            double release = 0.0, int velocity = 100)
    {
        NotePlan plan;
        plan.bank = bank;
        plan.program = program;
        plan.notes = {key};
        plan.velocity = velocity;
        plan.seconds = seconds;
        plan.maxRelease = release;
        StereoSound sound;
        EXPECT_TRUE(engine.RenderNotes(plan, sound));
        return sound;
    }

    static std::size_t At(double seconds) { return static_cast<std::size_t>(seconds * kRate); }
    static double Peak(const std::vector<float>& signal)
    {
        double peak = 0;
        for (const float value : signal)
            peak = std::max(peak, double{std::fabs(value)});
        return peak;
    }

    // The small TimGM6mb, whichever set the machine calls its default
    // (default-GM.sf2 may be the 148 MB FluidR3): the levels these tests
    // measure are its sounds'. ctest's ENVIRONMENT property cannot carry it:
    // gtest_discover_tests splits its list and keeps only the first entry.
    ScopedEnvironment generalMidi{"TAMBERLY_GM_SOUNDFONT", []
                                  {
                                      const char* named = std::getenv("TAMBERLY_GM_SOUNDFONT");
                                      return std::string(
                                          named && *named ? named : "/usr/share/sounds/sf2/TimGM6mb.sf2");
                                  }()};
    ScopedCardHome home;
    TempDir files;
    std::unique_ptr<CAweSession> session;
};
