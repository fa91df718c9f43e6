#include "ui/panes/PresetPreview.h"

#include "engine/SoundEngine.h"
#include "soundfont/PresetImage.h"

#include <QMetaObject>

namespace
{
constexpr int kVelocity = 100;
} // namespace

CPresetPreview::CPresetPreview(QObject* parent)
    : QObject(parent), latest(std::make_shared<std::atomic<unsigned>>(0))
{
    builder.setMaxThreadCount(1);
    shortest.setSingleShot(true);
    connect(&shortest, &QTimer::timeout, this, &CPresetPreview::MaybeEndNote);
}

CPresetPreview::~CPresetPreview()
{
    // The builder posts its result to this object: it must be done first.
    latest->store(++requests);
    builder.clear();
    builder.waitForDone();
    NoteOff();
}

void CPresetPreview::SetEngineSource(EngineSource source)
{
    engineSource = std::move(source);
}

void CPresetPreview::Press(const std::string& path, int sourcePreset, const QString& name)
{
    NoteOff();
    held = true;
    const unsigned request = ++requests;
    latest->store(request);

    Identity identity{path, sourcePreset, {}};
    std::error_code error;
    identity.written = std::filesystem::last_write_time(path, error);
    // The preset heard last again: the engine holds it, only the note is new
    // (unless the file was written since).
    if (loaded.engine && !error && loaded.identity == identity)
    {
        NoteOn(loaded.key);
        Q_EMIT Started(name);
        return;
    }
    if (!engineSource)
        return;

    builder.start(
        [this, source = engineSource, current = latest, request, identity, name]
        {
            if (current->load() != request)
                return;
            PresetImage image;
            if (!MakePresetImage(identity.path, identity.sourcePreset, image))
                return;
            std::shared_ptr<ISoundEngine> engine = source();
            // Loading replaces the preview the engine holds: a stale image
            // would only be thrown out again by the newer one.
            if (!engine || current->load() != request)
                return;
            Loaded result{identity, engine, PreviewKey(image)};
            if (!engine->LoadPreview(std::move(image.bytes)))
                result = {}; // the engine dropped its previous preview too
            QMetaObject::invokeMethod(
                this, [this, request, result = std::move(result), name] { OnBuilt(request, result, name); },
                Qt::QueuedConnection);
        });
}

void CPresetPreview::OnBuilt(unsigned request, Loaded result, const QString& name)
{
    loaded = std::move(result);
    if (request != requests || !loaded.engine)
        return;
    NoteOn(loaded.key);
    Q_EMIT Started(name);
}

void CPresetPreview::Release()
{
    held = false;
    MaybeEndNote();
}

void CPresetPreview::Cancel()
{
    latest->store(++requests);
    held = false;
    NoteOff();
}

void CPresetPreview::Note(int key, int velocity)
{
    if (loaded.engine)
        loaded.engine->PreviewNote(key, velocity);
}

void CPresetPreview::NoteOn(int key)
{
    loaded.engine->PreviewNote(key, kVelocity);
    soundingKey = key;
    shortest.start(shortestNote);
}

void CPresetPreview::NoteOff()
{
    shortest.stop();
    if (soundingKey >= 0 && loaded.engine)
        loaded.engine->PreviewNote(soundingKey, 0);
    soundingKey = -1;
}

void CPresetPreview::MaybeEndNote()
{
    if (!held && !shortest.isActive())
        NoteOff();
}
