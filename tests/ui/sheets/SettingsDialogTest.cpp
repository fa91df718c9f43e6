// Edit > Settings...: the pages, and what Apply puts in effect at once in the
// profile, the card engine, the emulated card and the keyboard window.

#include "ui/sheets/SettingsDialog.h"
#include "../AppFixture.h"
#include "app/SettingsApplier.h"
#include "engine/CardEngine.h"
#include "platform/AtomicFile.h"
#include "platform/GeneralMidiFont.h"
#include "platform/RegistryStore.h"
#include "platform/StringTable.h"
#include "soundfont/SoundFont2Converter.h"
#include "support/OnePresetSet.h"
#include "support/ScopedCardHome.h"
#include "synth/AweManager.h"
#include "ui/UiText.h"
#include "ui/keyboard/RtMidiDevices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>

namespace
{
const std::string kKeys = "USB Keys:USB Keys MIDI 1 24:0";

class SettingsTest : public AppTest
{
protected:
    // A General MIDI set of one preset, bank 0 program `program`.
    std::string OnePresetSet(int program) { return ::OnePresetSet(files, program); }
    CardEngineOptions EngineOptions(bool audioDevice)
    {
        CardEngineOptions options;
        options.audioDevice = audioDevice;
        options.sequencerPort = false;
        options.generalMidiFont = OnePresetSet(5);
        return options;
    }
    // The application's applier, with engine in place of the keyboard's own.
    CSettingsApplier Applier(const std::shared_ptr<ISoundEngine>& engine)
    {
        CSettingsApplier::Parts parts;
        parts.engine = [engine] { return engine; };
        parts.card = &Doc().GetCard();
        parts.reconnectMidi = [this] { app->ReconnectKeyboard(); };
        return CSettingsApplier(std::move(parts));
    }
    std::unique_ptr<CSettingsDialog> Dialog(const CSettingsApplier& applier, SettingsChoices choices = {})
    {
        choices.apply = [&applier](ProgramSettings& settings) { return applier.Apply(settings); };
        return std::make_unique<CSettingsDialog>(applier.Current(), std::move(choices),
                                                 [] { return QString(); });
    }
    static void Choose(QComboBox* box, const QVariant& data)
    {
        const int index = box->findData(data);
        ASSERT_GE(index, 0) << data.toString().toStdString();
        box->setCurrentIndex(index);
    }
    // Clicks Apply as the user does.
    static void ClickApply(CSettingsDialog& dialog)
    {
        QTest::mouseClick(dialog.GetApplyButton(), Qt::LeftButton);
    }

    // The set the profile chooses plays, not the one the test run names.
    ScopedEnvironment noGmOverride{kGeneralMidiEnvironment, ""};
};
} // namespace

TEST_F(SettingsTest, ApplyPutsEveryPageInEffectAtOnce)
{
    ASSERT_TRUE(Start());
    auto engine = std::make_shared<CCardEngine>(EngineOptions(false));
    const CSettingsApplier applier = Applier(engine);
    SettingsChoices choices;
    choices.midiInputs = {kKeys};
    auto dialog = Dialog(applier, std::move(choices));
    EXPECT_EQ(dialog->GetMemory()->currentData().toInt(), Doc().GetCard().GetMemoryKB(false));
    const std::size_t opensBefore = std::count(midi->calls.begin(), midi->calls.end(), "OpenInput");

    dialog->GetVoices()->setValue(96);
    const std::string set = OnePresetSet(9);
    dialog->GetGeneralMidi()->setText(QString::fromStdString(set));
    Choose(dialog->GetMidiInput(), QString::fromStdString(PortNameToRemember(kKeys)));
    Choose(dialog->GetMemory(), 8192);
    dialog->GetPreview()->setChecked(false);
    ClickApply(*dialog);
    EXPECT_EQ(dialog->GetProblem()->text(), QString());

    // The profile keeps it all.
    const ProgramSettings kept = Profile::GetProgramSettings();
    EXPECT_EQ(kept.sound.voices, 96);
    EXPECT_EQ(kept.sound.generalMidiFont, set);
    EXPECT_EQ(kept.midiInput, "USB Keys:USB Keys MIDI 1");
    EXPECT_EQ(kept.cardMemoryKB, 8192);
    EXPECT_FALSE(kept.preview);
    EXPECT_FALSE(Profile::GetPreviewEnabled());
    // The keyboard's sequencer devices read the same entry.
    EXPECT_EQ(CRtMidiDevices::ProfilePreference(true).input, "USB Keys:USB Keys MIDI 1");

    // The engine, the card and the keyboard took it without a restart.
    EXPECT_EQ(engine->Voices(), 96);
    EXPECT_TRUE(engine->HasSound(0, 9));
    EXPECT_FALSE(engine->HasSound(0, 5));
    EXPECT_EQ(Doc().GetCard().GetMemoryKB(false), 8192);
    // A real card's bank 0 would play the same set.
    EXPECT_EQ(CRegistryStore().Read().GetValue(kEmuxSettingsKey, kEmuxGeneralMidiValue), set);
    EXPECT_EQ(std::count(midi->calls.begin(), midi->calls.end(), "OpenInput"), opensBefore + 1)
        << "the keyboard opened its new devices";
    EXPECT_TRUE(app->GetKeyboard()->IsMidiOpen());

    // Applying again what holds changes nothing more.
    ClickApply(*dialog);
    EXPECT_EQ(std::count(midi->calls.begin(), midi->calls.end(), "OpenInput"), opensBefore + 1);

    // The next start's engine is made from the profile.
    const CardEngineOptions next = CSettingsApplier::StartingEngineOptions();
    EXPECT_EQ(next.voices, 96);
    EXPECT_EQ(next.generalMidiFont, set);
    const ScopedEnvironment named(kGeneralMidiEnvironment, "/run/named.sf2");
    EXPECT_EQ(CSettingsApplier::StartingEngineOptions().generalMidiFont, "/run/named.sf2");
}

TEST_F(SettingsTest, ADriverThatDoesNotStartIsShownAndThePreviousChoiceStays)
{
    ASSERT_TRUE(Start());
    auto engine = std::make_shared<CCardEngine>(EngineOptions(true));
    const std::vector<std::string> drivers = engine->AudioDrivers();
    if (std::find(drivers.begin(), drivers.end(), "alsa") == drivers.end())
        GTEST_SKIP() << "this FluidSynth has no ALSA driver";
    const bool hadAudio = engine->HasAudio();
    const CSettingsApplier applier = Applier(engine);
    SettingsChoices choices;
    choices.audioDrivers = drivers;
    auto dialog = Dialog(applier, std::move(choices));

    Choose(dialog->GetDriver(), QStringLiteral("alsa"));
    ASSERT_TRUE(dialog->GetDevice()->isEnabled());
    dialog->GetDevice()->setText(QStringLiteral("hw:99,0"));
    Choose(dialog->GetBuffer(), 1024);
    dialog->GetVoices()->setValue(64);
    dialog->accept();

    EXPECT_NE(dialog->result(), QDialog::Accepted) << "the dialog stays open to show why";
    EXPECT_TRUE(
        dialog->GetProblem()->text().startsWith(QStringLiteral("The audio driver alsa did not start: ")))
        << dialog->GetProblem()->text().toStdString();
    // The pages show what holds: the old output; the voices, which did take.
    EXPECT_EQ(dialog->GetDriver()->currentData().toString(), QString());
    EXPECT_EQ(dialog->GetBuffer()->currentData().toInt(), 256);
    EXPECT_EQ(engine->HasAudio(), hadAudio);
    EXPECT_EQ(engine->Voices(), 64);
    const ProgramSettings kept = Profile::GetProgramSettings();
    EXPECT_EQ(kept.sound.audioDriver, "");
    EXPECT_EQ(kept.sound.bufferFrames, 256);
    EXPECT_EQ(kept.sound.voices, 64);
}

TEST_F(SettingsTest, ThePagesShowWhatTheMachineOffersAndRestoreTheirDefaults)
{
    SettingsChoices choices;
    choices.audioDrivers = {"pulseaudio", "alsa", "jack"};
    choices.emuxProblem = QStringLiteral("No Emux wavetable device was found on this machine.");
    choices.systemGeneralMidi = "/usr/share/sounds/sf2/default-GM.sf2";
    ProgramSettings settings;
    settings.sound.voices = 200;
    settings.sound.bufferFrames = 512;
    settings.midiInput = "Gone Keys:Gone Keys MIDI 1";
    CSettingsDialog dialog(settings, choices, [] { return QString(); });

    // The latency follows the buffer.
    EXPECT_EQ(dialog.GetLatency()->text(),
              QStringLiteral("Latency: 34.8 ms (3 buffers of 512 frames at 44100 Hz)"));
    Choose(dialog.GetBuffer(), 128);
    EXPECT_EQ(dialog.GetLatency()->text(),
              QStringLiteral("Latency: 8.7 ms (3 buffers of 128 frames at 44100 Hz)"));
    // Only drivers that take a device name offer the field.
    Choose(dialog.GetDriver(), QStringLiteral("jack"));
    EXPECT_FALSE(dialog.GetDevice()->isEnabled());
    EXPECT_EQ(dialog.GetDriver()->currentText(), QStringLiteral("JACK"));
    EXPECT_EQ(dialog.GetVoices()->maximum(), 256);
    EXPECT_EQ(dialog.GetVoices()->minimum(), 32);

    // A remembered port that is away stays chosen, marked so.
    EXPECT_EQ(dialog.GetMidiInput()->currentText(),
              QStringLiteral("Gone Keys:Gone Keys MIDI 1 (not connected now)"));

    // The card's models' memory sizes, then the larger ones marked.
    QComboBox* memory = dialog.GetMemory();
    EXPECT_EQ(memory->itemText(0), QStringLiteral("512 KB"));
    EXPECT_EQ(memory->currentText(), QStringLiteral("28 MB"));
    EXPECT_EQ(memory->itemText(memory->findData(65536)), QStringLiteral("64 MB (beyond any real card)"));
    // Without Emux devices the real card is there, greyed, with the reason.
    QComboBox* card = dialog.GetCard();
    ASSERT_EQ(card->count(), 2);
    EXPECT_EQ(card->currentText(), QStringLiteral("Emulated card"));
    const auto* items = qobject_cast<QStandardItemModel*>(card->model());
    ASSERT_NE(items, nullptr);
    EXPECT_FALSE(items->item(1)->isEnabled());
    EXPECT_EQ(card->itemData(1, Qt::ToolTipRole).toString(), choices.emuxProblem);
    EXPECT_TRUE(dialog.GetGeneralMidi()->isEnabled());
    EXPECT_EQ(dialog.GetGeneralMidi()->placeholderText(),
              QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2"));

    // Restore Defaults on the Sound page.
    const auto restore = dialog.findChildren<QPushButton*>();
    const auto found = std::find_if(restore.begin(), restore.end(),
                                    [&](QPushButton* button)
                                    {
                                        return button->text() == UiText(IDS_SETTINGS_RESTORE) &&
                                               button->parentWidget() == dialog.GetVoices()->parentWidget();
                                    });
    ASSERT_NE(found, restore.end());
    QTest::mouseClick(*found, Qt::LeftButton);
    EXPECT_EQ(dialog.GetVoices()->value(), 32);
    EXPECT_EQ(dialog.GetDriver()->currentData().toString(), QString());
    EXPECT_EQ(dialog.GetBuffer()->currentData().toInt(), 256);

    // With devices, they are listed by name; a General MIDI set named by the environment locks the choice.
    choices.emuxDevices = {{"hw:0,2", "SB AWE32 - Emux WaveTable"}};
    choices.environmentGeneralMidi = "/run/named.sf2";
    settings.emuxDevice = "hw:0,2";
    CSettingsDialog withCard(settings, choices, [] { return QString(); });
    EXPECT_EQ(withCard.GetCard()->currentText(), QStringLiteral("SB AWE32 - Emux WaveTable (hw:0,2)"));
    EXPECT_EQ(withCard.GetProgramSettings().emuxDevice, "hw:0,2");
    EXPECT_FALSE(withCard.GetGeneralMidi()->isEnabled());
}

TEST(SettingsApplier, EmuxDevicesComeFromTheEmuxLibrarysExport)
{
    QString why;
    const auto devices = CSettingsApplier::EmuxDevices(TAMBERLY_EMUX_PATH, why);
    // This machine's devices, whatever it has: each named, or the reason there are none.
    if (devices.empty())
    {
        EXPECT_EQ(why, UiText(IDS_EMUX_NO_DEVICE));
    }
    for (const auto& [name, label] : devices)
        EXPECT_EQ(name.rfind("hw:", 0), 0u) << name;

    EXPECT_TRUE(CSettingsApplier::EmuxDevices("/nonexistent/libaweman32-emux.so", why).empty());
    EXPECT_EQ(why,
              UiText(IDS_SETTINGS_EMUX_NO_LIBRARY).arg(QStringLiteral("/nonexistent/libaweman32-emux.so")));
}
