#pragma once
// The main window: menu bar, the toolbars "General" and "Awe32", the status
// bar, and four panes over the one document - the bank view above, the folder
// tree, file list and preset list below, in two nested splitters. The frame
// owns the layout, the bars, the command actions and the window's settings in
// the profile; it does no document work itself.
//
// Commands: every command number has one QAction in the frame's router. A
// triggered command goes to the active pane, then the document, the frame
// and the application (the chain the application sets on GetRouter()).

#include "bank/SoundFontExport.h"
#include "ui/CommandRouter.h"
#include "ui/CommandTarget.h"
#include "ui/sheets/HelpWindow.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <map>
#include <memory>

class CLockKeys;
class CSongBar;
class CTamberlyDoc;
class CTamberlyView;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

class CMainFrame final : public QMainWindow, public ICommandTarget
{
    Q_OBJECT

public:
    // The columns of the lower row.
    enum LowerPane
    {
        FolderPane = 0,
        FilePane = 1,
        PresetPane = 2,
    };
    // The first start's window: about 80% of the screen's available area,
    // at least 1024x700 where the screen has room, centred on it.
    static QRect DefaultGeometry(const QRect& available);
    // The first start's splitters for the given heights and widths of the
    // two splitters: the bank view about 40% of the height, the folder tree
    // and the file list about a quarter and a third of the width.
    static std::array<int, 3> DefaultSplitterSizes(int height, int width);

    // Builds everything and reads the window's settings; shown by the caller.
    explicit CMainFrame(CTamberlyDoc& document, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CTamberlyDoc& GetDocument() const { return document; }
    CCommandRouter& GetRouter() { return *router; }
    CTamberlyView* GetBankView() const { return bankView; }
    QSplitter* GetMainSplitter() const { return mainSplitter; }
    QSplitter* GetPaneSplitter() const { return paneSplitter; }
    QToolBar* GetGeneralBar() const { return generalBar; }
    QToolBar* GetAwe32Bar() const { return awe32Bar; }
    CSongBar* GetSongBar() const { return songBar; }
    // Plays a MIDI file through the card (the File menu, a drop, the file
    // list); a file that cannot be played is said so in a message box.
    bool PlaySongFile(const QString& path);
    // File > Export as SoundFont: asks for a file unless given one, shows a
    // progress bar with Cancel (a cancel leaves no file), then says what was
    // left out. True when the file was written.
    bool ExportSoundFont(QString target = QString(), const SoundFontExportOptions& options = {});
    QMenu* GetFileMenu() const { return fileMenu; }
    // The status bar pane of an id: 37 current patch, 512 free memory, and
    // the lock indicators 59137 to 59139. Null for other ids.
    QLabel* GetStatusPane(int id) const;
    // The text the message pane shows when no prompt is up.
    QString GetIdleMessage() const;

    // Puts widget into the lower row's column (LowerPane), in place of what
    // is there (which is deleted). The frame owns widget from then on; target
    // (may be null) gets the commands while the pane is the active one.
    void SetLowerPane(int column, QWidget* widget, ICommandTarget* target);
    QWidget* GetLowerPane(int column) const;
    // The command target of the active pane: the one that has, or last had,
    // the keyboard focus (the bank view at first). Null for a pane without one.
    ICommandTarget* GetActivePane() const;
    // 0 the bank view, 1 + LowerPane for the lower row.
    int GetActivePaneIndex() const { return activePane; }

    // After a new or opened document: the panes show it from scratch.
    void OnInitialUpdate();
    // The idle pass: command states, the status panes and the lock indicators.
    void OnIdleUpdate();
    // The application was activated or deactivated: the keyboard holds the
    // MIDI devices only while the application is active.
    void OnActivateApp(bool active);
    // A popup menu (129: the bank view's) at a screen position; the chosen
    // command takes the normal route.
    void ShowPopupMenu(int menuId, QPoint globalPos);

    // Writes the rectangle, the splitter sizes and the bar state to the profile.
    void SaveFrameSettings();
    // Gives the splitters the sizes of the profile (done once when first shown).
    void ApplySplitterSizes();
    // Asked on a close request after the settings are saved: false keeps the
    // window open (the save prompt was cancelled).
    void SetCloseHandler(std::function<bool()> handler) { closeHandler = std::move(handler); }

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;
    // The help window last opened, null before the first.
    CHelpWindow* GetHelpWindow() const { return helpWindow; }

Q_SIGNALS:
    // The window accepted a close request.
    void Closed();
    // A .tmb file was dropped on the window from the file manager.
    void FileDropped(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct Pane
    {
        QWidget* widget = nullptr;
        ICommandTarget* target = nullptr;
    };

    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void OnCreateClient();
    // The folder tree, file list and preset list.
    void CreateLowerPanes();
    void LoadFrameSettings();
    QAction* Action(int id) const;
    QMenu* AddMenu(QMenu* parent, unsigned textId, std::initializer_list<int> ids);
    void OnFocusChanged(QWidget* old, QWidget* now);
    void ActivateNextPane(int step);
    void SetPaneText(int id, const QString& text);
    void UpdateLockIndicators();
    // Opens the manual at topic (its start when empty) in a help window
    // belonging to owner (the frame, or the dialog F1 was pressed in).
    void LaunchHelp(QWidget* owner, const QString& topic);

    CTamberlyDoc& document;
    CCommandRouter* router = nullptr;
    QSplitter* mainSplitter = nullptr;
    QSplitter* paneSplitter = nullptr;
    QToolBar* generalBar = nullptr;
    QToolBar* awe32Bar = nullptr;
    CSongBar* songBar = nullptr;
    QMenu* fileMenu = nullptr;
    QLabel* idleMessage = nullptr;
    std::map<int, QLabel*> statusPanes;
    CTamberlyView* bankView = nullptr;
    std::array<Pane, 4> panes{};
    int activePane = 0;
    std::function<bool()> closeHandler;
    std::unique_ptr<CLockKeys> lockKeys;
    QPointer<CHelpWindow> helpWindow;
    bool splittersApplied = false;
    // Negative: none stored, the first start's proportions apply.
    int idealSizes[3] = {-1, -1, -1};
};
