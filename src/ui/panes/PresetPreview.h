#pragma once
// Hearing a preset of the preset list before it is placed: the preset is
// cut out of its file as a SoundFont of its own (MakePresetImage) and played
// on the engine's preview channel, beside the card. Neither the document,
// the card's memory nor its state files change.
//
// A press starts the preset's preview key (middle C, a drum kit's snare);
// the note lasts while the press is held and at least the shortest note
// (one second), so a click is heard as a short note and a held button as
// long as it is held. The image is built and loaded on a thread of the
// preview's own: a preset of a large bank takes long enough to stall the
// window, and the first preview may wait for the engine to load. A press
// made while an image is built makes the earlier one stale: it is dropped,
// never heard late.
//
// Without an engine (another card, no plug-in, no audio device) nothing
// sounds and nothing is said: a preview is a convenience, not a command.

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class ISoundEngine;

class CPresetPreview : public QObject
{
    Q_OBJECT

public:
    // Gives the engine, or null when there is none; called on the preview's
    // thread (it may wait while the engine loads).
    using EngineSource = std::function<std::shared_ptr<ISoundEngine>()>;

    explicit CPresetPreview(QObject* parent = nullptr);
    // Waits for an image being built; its result is dropped.
    ~CPresetPreview() override;

    void SetEngineSource(EngineSource source);
    // How long a click's note lasts (one second unless a test says otherwise).
    void SetShortestNote(std::chrono::milliseconds length) { shortestNote = length; }

    // Plays sourcePreset of path (as a patch keeps it); name is what the
    // MIDI keyboard shows while it plays the preview.
    void Press(const std::string& path, int sourcePreset, const QString& name);
    // The press ended: the note stops now, or when the shortest note is over.
    void Release();
    // Drops an image being built and stops the note at once (another file
    // was chosen, the list went away).
    void Cancel();

    // A note of the MIDI keyboard on the preset heard last (velocity 0 ends
    // it); nothing when no preview is loaded.
    void Note(int key, int velocity);
    // Whether the engine holds a preview that Note plays.
    bool IsLoaded() const { return loaded.engine != nullptr; }

Q_SIGNALS:
    // A preset is now loaded and heard; the keyboard may play it.
    void Started(const QString& name);

private:
    struct Identity
    {
        std::string path;
        int sourcePreset = -1;
        std::filesystem::file_time_type written{};
        bool operator==(const Identity&) const = default;
    };
    struct Loaded
    {
        Identity identity;
        std::shared_ptr<ISoundEngine> engine;
        int key = 60;
    };

    void OnBuilt(unsigned request, Loaded result, const QString& name);
    void NoteOn(int key);
    void NoteOff();
    void MaybeEndNote();

    EngineSource engineSource;
    std::chrono::milliseconds shortestNote{1000};
    QThreadPool builder;                           // one thread: images are loaded in the order asked
    std::shared_ptr<std::atomic<unsigned>> latest; // the request that counts; read by the builder
    unsigned requests = 0;
    Loaded loaded; // what the engine's preview channel holds
    QTimer shortest;
    int soundingKey = -1;
    bool held = false;
};
