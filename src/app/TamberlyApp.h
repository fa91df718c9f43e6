#pragma once
// The application: starts the program in its fixed order (profile, command
// line, the one document with its main frame and bank view, the MIDI
// keyboard, the first document), keeps the recent-file list, runs the idle
// pass, and does the framework's part of documents - New, Open, Save, Save As
// with their prompts and error messages.
//
// Ownership: the application owns the document and the main frame; the frame
// owns its panes and the keyboard window. They go in that order: the frame
// (which unhooks the keyboard from the document first), then the document.

#include "app/CommandLineInfo.h"
#include "app/DocTemplate.h"
#include "app/RecentFileList.h"
#include "app/SettingsApplier.h"
#include "synth/MidiPortChoice.h"
#include "ui/CommandTarget.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class CDocumentTarget;
class CIdleProcessor;
class CLazySoundEngine;
class CMainFrame;
class CMidiKeyboardDlg;
class CTamberlyDoc;
class IMidiDevices;
class IUserPrompts;

class CTamberlyApp final : public QObject, public ICommandTarget
{
    Q_OBJECT

public:
    CTamberlyApp();
    // Closes the document (which empties the card) if it is still open.
    ~CTamberlyApp() override;

    // The program: Qt, the command line, start-up, the event loop. Returns the exit status.
    static int Main(int argc, char** argv);

    // Start-up. False when the program is to end at once; a message was
    // shown (no card for the first document, a file that does not open).
    bool InitInstance(const CCommandLineInfo& commandLine);

    // Replaceable pieces, set before InitInstance (tests) ------------------
    void SetPrompts(std::unique_ptr<IUserPrompts> prompts);
    // Makes the keyboard's MIDI devices; emulatedCard says whether the
    // emulated card is the card manager.
    using MidiDeviceFactory = std::function<std::unique_ptr<IMidiDevices>(bool emulatedCard)>;
    void SetMidiDeviceFactory(MidiDeviceFactory factory);
    // The devices the keyboard plays through unless a factory was set.
    // engine, when given, receives the emulated card's sound engine the
    // devices play (null for another card), not loaded yet: it loads when
    // the keyboard first sounds, or when StartLoading is called.
    // announce, when given, receives the engine's status line (or why it
    // did not load) on the loading thread.
    using SoundAnnouncer = std::function<void(const std::string& status)>;
    static std::unique_ptr<IMidiDevices>
    CreateMidiDevices(bool emulatedCard, std::shared_ptr<CLazySoundEngine>* engine = nullptr,
                      SoundAnnouncer announce = {});

    CTamberlyDoc* GetDocument() const { return document.get(); }
    CMainFrame* GetMainFrame() const { return frame.get(); }
    CMidiKeyboardDlg* GetKeyboard() const { return keyboard; }
    CRecentFileList& GetRecentFiles() { return recentFiles; }
    CIdleProcessor* GetIdleProcessor() const { return idle; }

    // Documents (the framework's part) ------------------------------------
    bool OnFileNew();
    void OnFileOpen();
    // Opens path in place of the current document (after the save prompt).
    // A failure is shown; an entry of the recent-file list that does not
    // open leaves the list.
    bool OpenDocumentFile(const QString& path);
    bool DoFileSave();
    bool DoSaveAs();
    // The save prompt for a modified document: false when the user cancelled
    // or saving failed.
    bool SaveModified();
    // "Untitled" or the file's name.
    QString GetDocumentTitle() const;

    // The idle pass: frees the document's temporary slot descriptions, then
    // brings commands, status panes and the recent-file entries up to date.
    void OnIdle();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // Edit > Settings...: applies the settings, as the dialog's Apply does.
    CSettingsApplier Settings();
    // The keyboard window's devices made anew from the profile's ports.
    void ReconnectKeyboard();

private:
    // The one place the keyboard window and its devices are made.
    void CreateKeyboard();
    // Reconnects the keyboard when the input port the user named comes back.
    void WatchMidiInput();
    void OnFrameClosed();
    void CloseDocument();
    void UpdateFrameTitle();
    void UpdateRecentFileMenu();
    QWidget* MainWindow() const;

    CDocTemplate docTemplate;
    std::unique_ptr<IUserPrompts> prompts;
    MidiDeviceFactory midiDeviceFactory;
    std::shared_ptr<CLazySoundEngine> soundEngine; // the emulated card's sound, when the keyboard plays it
    std::unique_ptr<CTamberlyDoc> document;
    std::unique_ptr<CDocumentTarget> documentTarget;
    std::unique_ptr<CMainFrame> frame;
    CMidiKeyboardDlg* keyboard = nullptr; // owned by the frame
    CIdleProcessor* idle = nullptr;       // owned by this object
    CRecentFileList recentFiles;
    CMidiPortReturn inputReturn;
    bool documentOpen = false;
    bool quitWhenClosed = false;
};
