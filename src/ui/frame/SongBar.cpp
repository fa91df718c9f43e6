#include "ui/frame/SongBar.h"

#include "engine/SoundEngineLoader.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "ui/UiText.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSlider>
#include <QStyle>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace
{
// Slider steps per second of song.
constexpr int kSliderScale = 10;
constexpr int kPollMs = 50;
// The keyboard window plays on channel 1.
constexpr int kKeyboardChannel = 0;

QString Clock(double seconds)
{
    const auto whole = static_cast<int>(std::max(0.0, std::floor(seconds)));
    return QString::fromStdString(FormatString(IDS_SONG_LENGTH_FORMAT, whole / 60, whole % 60));
}
} // namespace

CSongBar::CSongBar(QWidget* parent) : QToolBar(UiText(IDS_BAR_SONG), parent)
{
    setObjectName(QStringLiteral("Song"));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    playAction = addAction(style()->standardIcon(QStyle::SP_MediaPlay), UiText(IDS_SONG_PLAY));
    stopAction = addAction(style()->standardIcon(QStyle::SP_MediaStop), UiText(IDS_SONG_STOP));
    slider = new QSlider(Qt::Horizontal, this);
    slider->setMinimumWidth(160);
    slider->setTracking(false);
    addWidget(slider);
    timeLabel = new QLabel(this);
    timeLabel->setContentsMargins(6, 0, 6, 0);
    addWidget(timeLabel);
    nameLabel = new QLabel(this);
    nameLabel->setContentsMargins(6, 0, 6, 0);
    addWidget(nameLabel);
    loopAction = addAction(style()->standardIcon(QStyle::SP_BrowserReload), UiText(IDS_SONG_LOOP));
    loopAction->setCheckable(true);

    connect(playAction, &QAction::triggered, this, [this] { PlayPause(); });
    connect(stopAction, &QAction::triggered, this, [this] { Stop(); });
    connect(loopAction, &QAction::toggled, this,
            [this](bool on)
            {
                if (engine)
                    engine->SetSongLoop(on);
            });
    connect(slider, &QSlider::sliderPressed, this, [this] { dragging = true; });
    connect(slider, &QSlider::sliderReleased, this, [this] { dragging = false; });
    connect(slider, &QSlider::valueChanged, this,
            [this](int value)
            {
                // Only what the user does seeks; the timer's updates block the signal.
                Seek(value);
            });
    timer = new QTimer(this);
    timer->setInterval(kPollMs);
    connect(timer, &QTimer::timeout, this, [this] { Refresh(); });

    renderSource = [](std::string& error)
    {
        CardEngineOptions options;
        options.audioDevice = false;
        options.sequencerPort = false;
        return LoadSoundEngine(options, error);
    };
    ShowState({});
}

CSongBar::~CSongBar()
{
    if (engine)
        engine->UnloadSong();
}

bool CSongBar::Open(const QString& path, QString& error)
{
    MidiSong next;
    std::string reason;
    if (!CMidiFile::Read(path.toStdString(), next, reason))
    {
        error = QString::fromStdString(FormatString(
            IDS_SONG_CANNOT_PLAY, QFileInfo(path).fileName().toStdString().c_str(), reason.c_str()));
        return false;
    }
    if (!engine && engineSource)
        engine = engineSource(reason);
    if (!engine)
    {
        const std::string why = FormatString(IDS_SONG_NO_SOUND, reason.c_str());
        error = QString::fromStdString(FormatString(
            IDS_SONG_CANNOT_PLAY, QFileInfo(path).fileName().toStdString().c_str(), why.c_str()));
        return false;
    }
    if (!engine->LoadSong(next))
    {
        error = QString::fromStdString(FormatString(
            IDS_SONG_CANNOT_PLAY, QFileInfo(path).fileName().toStdString().c_str(), "the player refused it"));
        return false;
    }
    song = std::move(next);
    songPath = path;
    loaded = true;
    engine->SetSongLoop(loopAction->isChecked());
    engine->PlaySong();
    timer->start();
    Refresh();
    Q_EMIT SongChanged();
    return true;
}

void CSongBar::PlayPause()
{
    if (!engine || !loaded)
        return;
    if (engine->Song().playing)
        engine->PauseSong();
    else
        engine->PlaySong();
    Refresh();
}

void CSongBar::Stop()
{
    if (!engine || !loaded)
        return;
    engine->StopSong();
    Refresh();
}

void CSongBar::Seek(int position)
{
    if (engine && loaded)
        engine->SeekSong(static_cast<double>(position) / kSliderScale);
}

void CSongBar::Refresh()
{
    if (!engine || !loaded)
    {
        ShowState({});
        return;
    }
    ShowState(engine->Song());
    const HeldKeys keys = engine->KeysHeld(kKeyboardChannel);
    if (keys.low != shownKeys.low || keys.high != shownKeys.high)
    {
        shownKeys = keys;
        Q_EMIT KeysChanged(keys.low, keys.high);
    }
}

void CSongBar::ShowState(const SongState& state)
{
    playAction->setEnabled(state.loaded);
    stopAction->setEnabled(state.loaded);
    slider->setEnabled(state.loaded);
    const bool playing = state.playing;
    playAction->setText(UiText(playing ? IDS_SONG_PAUSE : IDS_SONG_PLAY));
    playAction->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    if (!state.loaded)
    {
        timeLabel->setText(Clock(0) + QStringLiteral(" / ") + Clock(0));
        nameLabel->setText(UiText(IDS_SONG_NONE));
        const QSignalBlocker quiet(slider);
        slider->setRange(0, 0);
        return;
    }
    timeLabel->setText(Clock(state.position) + QStringLiteral(" / ") + Clock(state.length));
    nameLabel->setText(state.name.empty() ? QFileInfo(songPath).fileName()
                                          : QString::fromStdString(StoredTextToDisplay(state.name)));
    if (!dragging)
    {
        const QSignalBlocker quiet(slider);
        slider->setRange(0, static_cast<int>(std::ceil(state.length * kSliderScale)));
        slider->setValue(static_cast<int>(std::lround(state.position * kSliderScale)));
    }
}

bool CSongBar::SaveSongAsWave(QWidget* parent, QString target)
{
    if (!loaded)
        return false;
    if (target.isEmpty())
    {
        const QString suggested = QFileInfo(songPath).path() + QLatin1Char('/') +
                                  QFileInfo(songPath).completeBaseName() + QStringLiteral(".wav");
        target = QFileDialog::getSaveFileName(parent, UiText(IDS_SONG_SAVE_TITLE), suggested,
                                              UiText(IDS_SONG_SAVE_FILTER));
        if (target.isEmpty())
            return false;
    }
    const std::string name = QFileInfo(target).fileName().toStdString();
    std::string error;
    std::unique_ptr<ISoundEngine> renderer = renderSource ? renderSource(error) : nullptr;
    bool saved = false;
    if (renderer)
    {
        QProgressDialog progress(QString::fromStdString(FormatString(IDS_SONG_RENDERING, name.c_str())),
                                 UiText(IDS_SONG_CANCEL), 0, 1000, parent);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(300);
        std::atomic<int> done{0};
        std::atomic<bool> cancelled{false};
        std::atomic<bool> finished{false};
        SongRenderPlan plan;
        plan.progress = [&](double part)
        {
            done = static_cast<int>(part * 1000);
            return !cancelled.load();
        };
        double seconds = 0;
        const std::string path = target.toStdString();
        // The window keeps painting and Cancel answers while the song renders.
        std::thread worker(
            [&]
            {
                saved = renderer->RenderSongToFile(song, plan, path, seconds, error);
                finished = true;
            });
        while (!finished)
        {
            progress.setValue(done);
            QApplication::processEvents(QEventLoop::AllEvents, 30);
            if (progress.wasCanceled())
                cancelled = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        worker.join();
        progress.setValue(1000);
        if (cancelled)
            return false;
    }
    if (!saved && parent)
        QMessageBox::warning(
            parent, UiText(IDS_PROFILE_APPLICATION),
            QString::fromStdString(FormatString(IDS_SONG_CANNOT_SAVE, name.c_str(), error.c_str())));
    return saved;
}
