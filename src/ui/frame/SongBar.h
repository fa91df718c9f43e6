#pragma once
// The transport bar of the song player: Play/Pause, Stop, a position slider
// that seeks, elapsed and total time, the song's name and Loop, over the
// sound engine's player (ISoundEngine's song calls). It polls the engine
// while a song is loaded, for the position and for the keys sounding on the
// keyboard's channel, which it announces (KeysChanged) for the keyboard
// window to light. "Save Song as Wave" renders the song on an offline
// engine of its own on a worker thread, behind a progress dialog with Cancel.
//
// Stop, a new song, and the bar's end send all notes off and all sounds off
// on every channel through the engine: no stuck notes.

#include "engine/SoundEngine.h"
#include "synth/MidiFile.h"

#include <QToolBar>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QSlider;
class QTimer;

class CSongBar : public QToolBar
{
    Q_OBJECT

public:
    // The playing engine (loaded when asked); null when the card has no sound.
    using EngineSource = std::function<std::shared_ptr<ISoundEngine>(std::string& error)>;
    // A new offline engine for a render; null with error set when none starts.
    using RenderEngineSource = std::function<std::unique_ptr<ISoundEngine>(std::string& error)>;

    explicit CSongBar(QWidget* parent = nullptr);
    ~CSongBar() override;

    void SetEngineSource(EngineSource source) { engineSource = std::move(source); }
    void SetRenderEngineSource(RenderEngineSource source) { renderSource = std::move(source); }

    // Reads the song, gives it to the engine and plays it; false with a reason.
    bool Open(const QString& path, QString& error);
    bool HasSong() const { return loaded; }
    const QString& SongPath() const { return songPath; }
    void PlayPause();
    void Stop();
    // Renders the song to target (.wav, or .flac), asking for the file when
    // target is empty, with a progress dialog; false when nothing was saved.
    bool SaveSongAsWave(QWidget* parent, QString target = {});

    // Brings the controls in step with the engine (the timer calls it).
    void Refresh();

    // For tests.
    QSlider* PositionSlider() const { return slider; }
    QLabel* TimeLabel() const { return timeLabel; }
    QLabel* NameLabel() const { return nameLabel; }
    QAction* PlayAction() const { return playAction; }
    QAction* LoopAction() const { return loopAction; }

Q_SIGNALS:
    // The keys now sounding on the keyboard's channel (bits of keys 0..63 and 64..127).
    void KeysChanged(quint64 low, quint64 high);
    void SongChanged();

private:
    void ShowState(const SongState& state);
    void Seek(int position);

    EngineSource engineSource;
    RenderEngineSource renderSource;
    std::shared_ptr<ISoundEngine> engine;
    MidiSong song;
    QString songPath;
    bool loaded = false;
    bool dragging = false;
    HeldKeys shownKeys;

    QAction* playAction = nullptr;
    QAction* stopAction = nullptr;
    QAction* loopAction = nullptr;
    QSlider* slider = nullptr;
    QLabel* timeLabel = nullptr;
    QLabel* nameLabel = nullptr;
    QTimer* timer = nullptr;
};
