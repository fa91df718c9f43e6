#include "app/TamberlyApp.h"

#include "app/DocumentTarget.h"
#include "app/IdleProcessor.h"
#include "app/UserPrompts.h"
#include "bank/CommandIds.h"
#include "bank/TamberlyDoc.h"
#include "engine/SoundEngineLoader.h"
#include "media/MediaServices.h"
#include "platform/StringTable.h"
#include "synth/AweSession.h"
#include "ui/Profile.h"
#include "ui/UiText.h"
#include "ui/WaitCursor.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/SongBar.h"
#include "ui/keyboard/KeyboardDevices.h"
#include "ui/keyboard/MidiKeyboardDlg.h"
#include "ui/keyboard/RtMidiDevices.h"
#include "ui/panes/PatchView.h"
#include "ui/panes/PresetPreview.h"
#include "ui/sheets/Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <utility>

namespace
{
// Calls done once, from the event loop, after widget first painted: the
// frame paints before its panes in one pass, so done runs after that pass.
void AfterFirstPaint(QWidget* widget, std::function<void()> done)
{
    class CFirstPaint final : public QObject
    {
    public:
        CFirstPaint(QObject* parent, std::function<void()> then) : QObject(parent), after(std::move(then)) {}
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && after)
            {
                watched->removeEventFilter(this);
                QTimer::singleShot(0, watched, std::exchange(after, nullptr));
            }
            return false;
        }

    private:
        std::function<void()> after;
    };
    widget->installEventFilter(new CFirstPaint(widget, std::move(done)));
}

std::string FilePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString FromFilePath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}
} // namespace

CTamberlyApp::CTamberlyApp() : prompts(std::make_unique<CDialogPrompts>()) {}

CTamberlyApp::~CTamberlyApp()
{
    CloseDocument();
    if (document)
        document->SetKeyboard(nullptr);
    keyboard = nullptr;
    frame.reset();
    documentTarget.reset();
    document.reset();
}

void CTamberlyApp::SetPrompts(std::unique_ptr<IUserPrompts> value)
{
    prompts = std::move(value);
}

void CTamberlyApp::SetMidiDeviceFactory(MidiDeviceFactory factory)
{
    midiDeviceFactory = std::move(factory);
}

std::unique_ptr<IMidiDevices> CTamberlyApp::CreateMidiDevices(bool emulatedCard,
                                                              std::shared_ptr<CLazySoundEngine>* engineOut,
                                                              SoundAnnouncer announce)
{
    // With the emulated card the keyboard plays its sound engine in-process
    // (unless the profile names another output port); a real card's MIDI
    // port is reached through the sequencer. The engine is not loaded here:
    // FluidSynth and its drivers would hold up the window's first frame.
    std::shared_ptr<CLazySoundEngine> engine;
    SoundEngineSource source;
    if (emulatedCard)
    {
        engine = std::make_shared<CLazySoundEngine>(
            CSettingsApplier::StartingEngineOptions(),
            [announce = std::move(announce)](const std::shared_ptr<ISoundEngine>& loaded,
                                             const std::string& error)
            {
                if (loaded)
                    loaded->StartFollowing();
                if (announce)
                    announce(loaded ? loaded->StatusText() : error);
            });
        source = [engine] { return engine->Get(); };
    }
    if (engineOut)
        *engineOut = engine;
    return MakeKeyboardDevices(CRtMidiDevices::ProfilePreference(emulatedCard), std::move(source));
}

QWidget* CTamberlyApp::MainWindow() const
{
    return frame.get();
}

// Start-up ------------------------------------------------------------------------

int CTamberlyApp::Main(int argc, char** argv)
{
    // Waves of any rate and the other sample files convert wherever the
    // window loads a patch.
    InstallMediaServices();
    // The usage and the version need no display: answered before Qt starts.
    auto answer = [](const CCommandLineInfo& commandLine)
    {
        switch (commandLine.action)
        {
        case CCommandLineInfo::Action::Help:
            Print(stdout, UiText(IDS_USAGE));
            return 0;
        case CCommandLineInfo::Action::Version:
            // Qt as this process runs it; FluidSynth as the sound plug-in was built
            // with (loading it only to ask would cost more than the answer).
            Print(stdout, QString::fromStdString(
                              FormatString(IDS_VERSION, TAMBERLY_VERSION) +
                              FormatString(IDS_VERSION_LIBRARIES, qVersion(), TAMBERLY_FLUIDSYNTH_VERSION)));
            return 0;
        case CCommandLineInfo::Action::Error:
            Print(stderr, commandLine.errorText);
            return 2;
        case CCommandLineInfo::Action::Run:
            break;
        }
        return -1;
    };
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    if (const CCommandLineInfo early = CCommandLineInfo::Parse(raw);
        early.action == CCommandLineInfo::Action::Help || early.action == CCommandLineInfo::Action::Version)
        return answer(early);

    QApplication qt(argc, argv); // takes Qt's own options out of the arguments
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const CCommandLineInfo commandLine = CCommandLineInfo::Parse(arguments);
    if (const int status = answer(commandLine); status >= 0)
        return status;

    CTamberlyApp app;
    if (!app.InitInstance(commandLine))
        return 1;
    app.quitWhenClosed = true;

    int status = 0;
    if (!commandLine.screenshot.isEmpty())
    {
        // Once the window has painted its first frame: its picture, then the end.
        const QString file = commandLine.screenshot;
        auto shoot = [&app, &status, file]
        {
            app.OnIdle();
            if (!app.GetMainFrame()->grab().save(file, "PNG"))
            {
                Print(stderr, QString::fromStdString(
                                  FormatString(IDS_SCREENSHOT_FAILED, file.toLocal8Bit().constData())));
                status = 1;
            }
            app.GetMainFrame()->close();
            if (app.GetMainFrame()->isVisible())
                QCoreApplication::exit(status);
        };
        AfterFirstPaint(app.GetMainFrame(), shoot);
    }
    const int loopStatus = QApplication::exec();
    return status != 0 ? status : loopStatus;
}

bool CTamberlyApp::InitInstance(const CCommandLineInfo& commandLine)
{
    // The profile: QSettings("Ravell Software", "Tamberly").
    QCoreApplication::setOrganizationName(UiText(IDS_PROFILE_COMPANY));
    QCoreApplication::setApplicationName(UiText(IDS_PROFILE_APPLICATION));
    // The private clipboard format needs no registration: it is its own MIME type.
    const bool interactive = commandLine.showSplash;

    recentFiles.Load();

    // The document, its frame and bank view, on the card the profile names
    // with the sound memory it names.
    CSettingsApplier::ChooseCardLibrary();
    document = std::make_unique<CTamberlyDoc>();
    CSettingsApplier::ApplyCardMemory(document->GetCard());
    documentTarget = std::make_unique<CDocumentTarget>(*document, *prompts);
    frame = std::make_unique<CMainFrame>(*document);
    documentTarget->SetParentWindow(frame.get());
    frame->GetRouter().SetChain(
        [this] {
            return std::vector<ICommandTarget*>{frame->GetActivePane(), documentTarget.get(), frame.get(),
                                                this};
        });
    frame->SetCloseHandler([this] { return SaveModified(); });
    connect(frame.get(), &CMainFrame::Closed, this, &CTamberlyApp::OnFrameClosed);
    connect(frame.get(), &CMainFrame::FileDropped, this,
            [this](const QString& path) { OpenDocumentFile(path); });
    CreateKeyboard();

    // The first document: the file of the command line, or a new one.
    const bool made = commandLine.fileName.isEmpty() ? OnFileNew() : OpenDocumentFile(commandLine.fileName);
    if (!made)
        return false;

    if (interactive)
        ShowSplash(frame.get());
    frame->show();
    // Whether the emulated card is heard, and through what, once the window
    // has painted its first frame (the engine and its General MIDI set take
    // longer to load than the window to show): a person without a sound
    // device learns why the keyboard stays silent, and the card's sequencer
    // port opens for other programs. A run with nobody at it (a screenshot,
    // a test) loads the engine only if a note is played.
    if (soundEngine && interactive)
        AfterFirstPaint(frame.get(), [this] { soundEngine->StartLoading(); });
    connect(qApp, &QGuiApplication::applicationStateChanged, frame.get(),
            [this](Qt::ApplicationState state) { frame->OnActivateApp(state == Qt::ApplicationActive); });

    idle = new CIdleProcessor([this] { OnIdle(); }, this);
    OnIdle();
    if (interactive)
        ShowTipAtStartUp(frame.get());
    return true;
}

void CTamberlyApp::CreateKeyboard()
{
    const bool emulatedCard = document->GetCard().IsEmulatedCard();
    std::unique_ptr<IMidiDevices> devices =
        midiDeviceFactory ? midiDeviceFactory(emulatedCard)
                          : CreateMidiDevices(emulatedCard, &soundEngine,
                                              [this](const std::string& status)
                                              {
                                                  // From the loading thread; shown by the window's own.
                                                  QMetaObject::invokeMethod(
                                                      this,
                                                      [this, text = QString::fromStdString(status)]
                                                      {
                                                          if (frame)
                                                              frame->statusBar()->showMessage(text, 15000);
                                                      },
                                                      Qt::QueuedConnection);
                                              });
    keyboard = new CMidiKeyboardDlg(std::move(devices), frame.get());
    // Songs play on the emulated card's engine, the keyboard's own.
    if (CSongBar* songs = frame->GetSongBar())
    {
        songs->SetEngineSource(
            [this](std::string& error) -> std::shared_ptr<ISoundEngine>
            {
                if (!soundEngine)
                {
                    error = LoadString(IDS_AWE_NOT_AVAILABLE);
                    return nullptr;
                }
                std::shared_ptr<ISoundEngine> engine = soundEngine->Get();
                if (!engine)
                    error = soundEngine->Error();
                return engine;
            });
        connect(songs, &CSongBar::KeysChanged, keyboard, &CMidiKeyboardDlg::ShowSoundingKeys);
    }
    // Presets are heard on the same engine, beside the card; the keyboard
    // plays the one heard last until a slot is chosen. Another card has no
    // engine here, and a preview then stays silent.
    if (auto* presets = dynamic_cast<CPatchView*>(frame->GetLowerPane(CMainFrame::PresetPane)))
    {
        presets->GetPreview().SetEngineSource([engine = soundEngine]() -> std::shared_ptr<ISoundEngine>
                                              { return engine ? engine->Get() : nullptr; });
        keyboard->FollowPreview(&presets->GetPreview());
    }
    document->SetKeyboard(keyboard);
    documentTarget->SetKeyboard(keyboard);
    keyboard->OpenMidi();
    WatchMidiInput();
}

void CTamberlyApp::ReconnectKeyboard()
{
    if (!keyboard)
        return;
    const bool emulatedCard = document->GetCard().IsEmulatedCard();
    SoundEngineSource source;
    if (soundEngine)
        source = [engine = soundEngine] { return engine->Get(); };
    keyboard->ReplaceDevices(
        midiDeviceFactory
            ? midiDeviceFactory(emulatedCard)
            : MakeKeyboardDevices(CRtMidiDevices::ProfilePreference(emulatedCard), std::move(source)));
    inputReturn = CMidiPortReturn(Profile::GetProgramSettings().midiInput);
}

void CTamberlyApp::WatchMidiInput()
{
    inputReturn = CMidiPortReturn(Profile::GetProgramSettings().midiInput);
    // A keyboard plugged in again gets a new port that nothing connects to;
    // a look every two seconds costs one sequencer query. Without a
    // sequencer there is nothing to watch.
    if (!CRtMidiDevices::SequencerPresent())
        return;
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this,
            [this]
            {
                if (inputReturn.Returned(CRtMidiDevices::InputPorts()))
                    ReconnectKeyboard();
            });
    timer->start(2000);
}

CSettingsApplier CTamberlyApp::Settings()
{
    CSettingsApplier::Parts parts;
    if (soundEngine)
        parts.engine = [engine = soundEngine] { return engine->Get(); };
    parts.card = &document->GetCard();
    parts.reconnectMidi = [this] { ReconnectKeyboard(); };
    parts.soundFilesChanged = [this](const PathResolverSettings&)
    { document->SetResolverSettings(Profile::GetResolverSettings(true)); };
    return CSettingsApplier(std::move(parts));
}

// Documents ------------------------------------------------------------------------

bool CTamberlyApp::OnFileNew()
{
    if (documentOpen && !SaveModified())
        return false;
    const CWaitCursor wait;
    const bool made = document->OnNewDocument();
    documentOpen = true;
    frame->OnInitialUpdate();
    UpdateFrameTitle();
    if (!made)
        prompts->ShowError(MainWindow(), QString::fromStdString(document->GetErrorMessage()));
    return made;
}

void CTamberlyApp::OnFileOpen()
{
    const QString path =
        prompts->ChooseOpenFile(MainWindow(), UiText(IDS_OPEN_FILE_TITLE), docTemplate.GetFileFilter());
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

bool CTamberlyApp::OpenDocumentFile(const QString& path)
{
    if (documentOpen && !SaveModified())
        return false;
    bool opened = false;
    {
        const CWaitCursor wait;
        document->SetResolverSettings(Profile::GetResolverSettings(true));
        opened = document->OnOpenDocument(FilePath(path));
        documentOpen = true;
        frame->OnInitialUpdate();
        UpdateFrameTitle();
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!opened)
    {
        prompts->ShowError(MainWindow(), QString::fromStdString(document->GetErrorMessage()));
        for (int i = 0; i < recentFiles.GetSize(); ++i)
            if (recentFiles.GetPath(i) == absolute)
            {
                recentFiles.Remove(i);
                break;
            }
        UpdateRecentFileMenu();
        return false;
    }
    recentFiles.Add(absolute);
    UpdateRecentFileMenu();
    if (!document->GetMissingFiles().empty())
        prompts->ShowMissingFiles(MainWindow(), *document);
    return true;
}

bool CTamberlyApp::DoFileSave()
{
    if (document->GetPathName().empty())
        return DoSaveAs();
    const CWaitCursor wait;
    if (!document->OnSaveDocument(document->GetPathName()))
    {
        prompts->ShowError(MainWindow(), QString::fromStdString(document->GetErrorMessage()));
        return false;
    }
    return true;
}

bool CTamberlyApp::DoSaveAs()
{
    const QString current = FromFilePath(document->GetPathName());
    const QString proposed =
        current.isEmpty() ? docTemplate.WithDefaultExtension(docTemplate.GetNewFileName()) : current;
    QString path = prompts->ChooseSaveFile(MainWindow(), UiText(IDS_SAVE_FILE_TITLE),
                                           docTemplate.GetFileFilter(), proposed);
    if (path.isEmpty())
        return false;
    path = docTemplate.WithDefaultExtension(path);
    bool saved = false;
    {
        const CWaitCursor wait;
        saved = document->OnSaveDocument(FilePath(path));
    }
    if (!saved)
    {
        prompts->ShowError(MainWindow(), QString::fromStdString(document->GetErrorMessage()));
        return false;
    }
    recentFiles.Add(path);
    UpdateRecentFileMenu();
    UpdateFrameTitle();
    return true;
}

bool CTamberlyApp::SaveModified()
{
    if (!document || !document->IsModified())
        return true;
    QString question = UiText(IDS_ASK_TO_SAVE);
    question.replace(QStringLiteral("%1"), GetDocumentTitle());
    switch (prompts->AskYesNoCancel(MainWindow(), question))
    {
    case IUserPrompts::Answer::Yes:
        return DoFileSave();
    case IUserPrompts::Answer::No:
        return true;
    case IUserPrompts::Answer::Cancel:
        break;
    }
    return false;
}

QString CTamberlyApp::GetDocumentTitle() const
{
    return CDocTemplate::GetDocumentTitle(document ? FromFilePath(document->GetPathName()) : QString());
}

void CTamberlyApp::UpdateFrameTitle()
{
    if (frame)
        frame->setWindowTitle(GetDocumentTitle() + QStringLiteral(" - ") + docTemplate.GetWindowTitle());
}

void CTamberlyApp::CloseDocument()
{
    if (!documentOpen || !document)
        return;
    documentOpen = false;
    // Empties the card's user banks and selects the synth bank again.
    const CWaitCursor wait;
    document->OnCloseDocument();
}

void CTamberlyApp::OnFrameClosed()
{
    if (keyboard)
        keyboard->hide();
    CloseDocument();
    if (quitWhenClosed)
        QCoreApplication::quit();
}

// Idle ---------------------------------------------------------------------------

void CTamberlyApp::OnIdle()
{
    if (!document || !frame)
        return;
    document->ReleaseTemporaryPatches();
    frame->OnIdleUpdate();
    UpdateRecentFileMenu();
}

void CTamberlyApp::UpdateRecentFileMenu()
{
    if (!frame)
        return;
    const int count = recentFiles.GetSize();
    for (int i = 0; i < CRecentFileList::kMaxFiles; ++i)
    {
        QAction* action = frame->GetRouter().GetAction(ID_FILE_MRU_FIRST + i);
        if (!action)
            continue;
        const QString text = i < count ? recentFiles.GetMenuText(i) : UiText(IDS_ITEM_RECENT_FILE);
        if (action->text() != text)
            action->setText(text);
        const bool visible = i == 0 || i < count;
        if (action->isVisible() != visible)
            action->setVisible(visible);
    }
}

// Commands of the application ----------------------------------------------------------

bool CTamberlyApp::OnUpdateCommand(CCmdUI& ui)
{
    const int id = ui.GetId();
    if (id >= ID_FILE_MRU_FIRST && id < ID_FILE_MRU_FIRST + CRecentFileList::kMaxFiles)
    {
        ui.Enable(id - ID_FILE_MRU_FIRST < recentFiles.GetSize());
        return true;
    }
    switch (id)
    {
    case ID_FILE_NEW:
    case ID_FILE_OPEN:
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
    case ID_APP_ABOUT:
    case ID_TIP_OF_THE_DAY:
    case ID_EDIT_SETTINGS:
        return true;
    default:
        // Printing has no counterpart here: nobody claims it, so it is greyed.
        return false;
    }
}

bool CTamberlyApp::OnCommand(int id)
{
    if (id >= ID_FILE_MRU_FIRST && id < ID_FILE_MRU_FIRST + CRecentFileList::kMaxFiles)
    {
        const QString path = recentFiles.GetPath(id - ID_FILE_MRU_FIRST);
        if (!path.isEmpty())
            OpenDocumentFile(path);
        return true;
    }
    switch (id)
    {
    case ID_FILE_NEW:
        OnFileNew();
        return true;
    case ID_FILE_OPEN:
        OnFileOpen();
        return true;
    case ID_FILE_SAVE:
        DoFileSave();
        return true;
    case ID_FILE_SAVE_AS:
        DoSaveAs();
        return true;
    case ID_APP_ABOUT:
        RunAboutBox(MainWindow());
        return true;
    case ID_TIP_OF_THE_DAY:
        RunTipDialog(MainWindow());
        return true;
    case ID_EDIT_SETTINGS:
    {
        const CSettingsApplier settings = Settings();
        SettingsChoices choices = CSettingsApplier::Choices(soundEngine ? soundEngine->IfLoaded() : nullptr);
        choices.apply = [&settings](ProgramSettings& chosen) { return settings.Apply(chosen); };
        RunSettingsDialog(MainWindow(), settings.Current(), std::move(choices));
        return true;
    }
    default:
        return false;
    }
}
