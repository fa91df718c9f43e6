#include "ui/frame/MainFrame.h"

#include "bank/CommandIds.h"
#include "bank/TamberlyDoc.h"
#include "platform/GeneralMidiFont.h"
#include "platform/StringTable.h"
#include "synth/MidiFile.h"
#include "ui/Profile.h"
#include "ui/UiText.h"
#include "ui/frame/Images.h"
#include "ui/frame/LockKeys.h"
#include "ui/frame/SongBar.h"
#include "ui/frame/TamberlyView.h"
#include "ui/panes/FileView.h"
#include "ui/panes/FolderView.h"
#include "ui/panes/PatchView.h"
#include "ui/sheets/ExportOptionsDialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWhatsThis>

#include <tuple>

namespace
{
constexpr int kPopupBankView = 129;
constexpr int kSeparator = 0;

// A command's menu text and keys (menu resource 128, accelerator table 128).
struct CommandEntry
{
    int id;
    unsigned text; // 0: the command is in no menu
    QList<QKeySequence> keys;
    bool checkable;
};

const std::vector<CommandEntry>& Commands()
{
    static const std::vector<CommandEntry> commands = {
        {ID_FILE_NEW, IDS_ITEM_FILE_NEW, {QKeySequence(Qt::CTRL | Qt::Key_N)}, false},
        {ID_FILE_OPEN, IDS_ITEM_FILE_OPEN, {QKeySequence(Qt::CTRL | Qt::Key_O)}, false},
        {ID_FILE_SAVE, IDS_ITEM_FILE_SAVE, {QKeySequence(Qt::CTRL | Qt::Key_S)}, false},
        {ID_FILE_SAVE_AS, IDS_ITEM_FILE_SAVE_AS, {}, false},
        {ID_FILE_IMPORT_SHB, IDS_ITEM_IMPORT_SHB, {}, false},
        {ID_EDIT_SETTINGS, IDS_ITEM_SETTINGS, {}, false},
        {ID_FILE_INFO, IDS_ITEM_INFO, {}, false},
        // Ctrl+P prints; M for MIDI.
        {ID_FILE_PLAY_MIDI, IDS_ITEM_PLAY_MIDI, {QKeySequence(Qt::CTRL | Qt::Key_M)}, false},
        {ID_FILE_SAVE_SONG_WAVE, IDS_ITEM_SAVE_SONG_WAVE, {}, false},
        {ID_FILE_EXPORT_SOUNDFONT, IDS_ITEM_EXPORT_SOUNDFONT, {}, false},
        {ID_FILE_PRINT, IDS_ITEM_PRINT, {QKeySequence(Qt::CTRL | Qt::Key_P)}, false},
        {ID_FILE_PRINT_PREVIEW, IDS_ITEM_PRINT_PREVIEW, {}, false},
        {ID_FILE_PRINT_SETUP, IDS_ITEM_PRINT_SETUP, {}, false},
        {ID_APP_EXIT, IDS_ITEM_EXIT, {}, false},
        {ID_EDIT_NEW, IDS_ITEM_EDIT_NEW, {}, false},
        {ID_EDIT_CUT,
         IDS_ITEM_CUT,
         {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)},
         false},
        {ID_EDIT_COPY,
         IDS_ITEM_COPY,
         {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)},
         false},
        {ID_EDIT_PASTE,
         IDS_ITEM_PASTE,
         {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
         false},
        {ID_EDIT_DELETE, IDS_ITEM_DELETE, {QKeySequence(Qt::Key_Delete)}, false},
        {ID_EDIT_PROPERTIES, IDS_ITEM_PROPERTIES, {}, false},
        {ID_EDIT_UNDO,
         IDS_ITEM_CANT_UNDO,
         {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)},
         false},
        {ID_EDIT_REDO,
         IDS_ITEM_CANT_REDO,
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
         false},
        {ID_SYNTH_GM, IDS_ITEM_SYNTH_GM, {}, true},
        {ID_SYNTH_GS, IDS_ITEM_SYNTH_GS, {}, true},
        {ID_SYNTH_MT32, IDS_ITEM_SYNTH_MT32, {}, true},
        {ID_SELECT_FX, IDS_ITEM_SELECT_FX, {}, false},
        {ID_LOAD_FILE_IN_BANK, IDS_ITEM_LOAD_FILE_IN_BANK, {}, false},
        {ID_CLEAR_CURRENT_BANK, IDS_ITEM_CLEAR_CURRENT_BANK, {}, false},
        {ID_CLEAR_ALL_BANKS, IDS_ITEM_CLEAR_ALL_BANKS, {}, false},
        {ID_VIEW_GENERAL_BAR, IDS_ITEM_BAR_GENERAL, {}, true},
        {ID_VIEW_SONG_BAR, IDS_ITEM_BAR_SONG, {}, true},
        {ID_VIEW_AWE32_BAR, IDS_ITEM_BAR_AWE32, {}, true},
        {ID_VIEW_STATUS_BAR, IDS_ITEM_STATUS_BAR, {}, true},
        {ID_VIEW_KEYBOARD, IDS_ITEM_KEYBOARD, {}, true},
        {ID_VIEW_REFRESH_TREE, IDS_ITEM_REFRESH_TREE, {QKeySequence(Qt::Key_F5)}, false},
        {ID_HELP_FINDER, IDS_ITEM_HELP_TOPICS, {}, false},
        {ID_TIP_OF_THE_DAY, IDS_ITEM_TIP_OF_THE_DAY, {}, false},
        {ID_APP_ABOUT, IDS_ITEM_ABOUT, {}, false},
        {ID_HELP, 0, {QKeySequence(Qt::Key_F1)}, false},
        {ID_CONTEXT_HELP, 0, {QKeySequence(Qt::SHIFT | Qt::Key_F1)}, false},
        {ID_DEFAULT_HELP, 0, {}, false},
        {ID_NEXT_PANE, 0, {QKeySequence(Qt::Key_F6)}, false},
        {ID_PREV_PANE, 0, {QKeySequence(Qt::SHIFT | Qt::Key_F6)}, false},
    };
    return commands;
}

// The bank view's popup menu (resource 129): command and text, 0 a separator.
constexpr std::pair<int, unsigned> kBankViewPopup[] = {
    {ID_EDIT_NEW, IDS_POPUP_NEW},
    {kSeparator, 0},
    {ID_EDIT_CUT, IDS_POPUP_CUT},
    {ID_EDIT_COPY, IDS_POPUP_COPY},
    {ID_EDIT_PASTE, IDS_POPUP_PASTE},
    {kSeparator, 0},
    {ID_EDIT_DELETE, IDS_POPUP_DELETE},
    {kSeparator, 0},
    {ID_EDIT_PROPERTIES, IDS_POPUP_PROPERTIES},
};

// A .tmb file among the dropped URLs; empty when none.
// A song dropped on the window: the first MIDI file of the drop.
QString DroppedSong(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && CMidiFile::HasSongExtension(url.toLocalFile().toStdString()))
            return url.toLocalFile();
    return {};
}

QString DroppedDocument(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() &&
            QFileInfo(url.toLocalFile()).suffix().compare(QLatin1String("tmb"), Qt::CaseInsensitive) == 0)
            return url.toLocalFile();
    return {};
}

// Sized by the text of its width string, as the status bar's panes are.
QLabel* MakePane(QWidget* parent, const QString& widthText)
{
    auto* label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widthText) + 8);
    label->setContentsMargins(3, 0, 3, 0);
    return label;
}
} // namespace

CMainFrame::CMainFrame(CTamberlyDoc& doc, QWidget* parent) : QMainWindow(parent), document(doc)
{
    setObjectName(QStringLiteral("MainFrame"));
    setWindowIcon(Images::ApplicationIcon());
    router = new CCommandRouter(this);
    lockKeys = std::make_unique<CLockKeys>();

    CreateActions();
    CreateMenus();
    OnCreateClient();
    CreateToolBars();
    CreateStatusBar();
    LoadFrameSettings();

    setAcceptDrops(true); // documents dropped from the file manager
    connect(qApp, &QApplication::focusChanged, this, &CMainFrame::OnFocusChanged);
    // Clicks on what takes no focus (a bank tab, a column heading, the
    // empty space below the rows) still say which pane the user means.
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame()
{
    // Focus moves while the panes go; this object is no frame by then.
    disconnect(qApp, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
}

// Creation ------------------------------------------------------------------------

void CMainFrame::CreateActions()
{
    for (const CommandEntry& entry : Commands())
    {
        auto* action = new QAction(this);
        const QStringList prompt = UiText(static_cast<unsigned>(entry.id)).split(QLatin1Char('\n'));
        action->setText(entry.text ? UiText(entry.text) : prompt.value(1));
        action->setStatusTip(prompt.value(0));
        action->setWhatsThis(prompt.value(0));
        if (prompt.size() > 1)
            action->setToolTip(prompt.value(1));
        action->setShortcuts(entry.keys);
        action->setIcon(Images::CommandIcon(entry.id));
        action->setIconVisibleInMenu(false);
        action->setCheckable(entry.checkable);
        // Keys work whichever pane has the focus, menu or not.
        addAction(action);
        router->AddAction(entry.id, action);
    }
    for (int i = 0; i < 6; ++i)
    {
        auto* action = new QAction(UiText(IDS_ITEM_RECENT_FILE), this);
        action->setStatusTip(UiText(IDS_PROMPT_RECENT_FILE));
        action->setVisible(i == 0);
        router->AddAction(ID_FILE_MRU_FIRST + i, action);
    }
}

QAction* CMainFrame::Action(int id) const
{
    return router->GetAction(id);
}

QMenu* CMainFrame::AddMenu(QMenu* parent, unsigned textId, std::initializer_list<int> ids)
{
    QMenu* menu = parent ? parent->addMenu(UiText(textId)) : menuBar()->addMenu(UiText(textId));
    // States are fresh whenever a menu opens, not only on idle.
    connect(menu, &QMenu::aboutToShow, router, &CCommandRouter::UpdateAll);
    for (int id : ids)
    {
        if (id == kSeparator)
            menu->addSeparator();
        else
            menu->addAction(Action(id));
    }
    return menu;
}

void CMainFrame::CreateMenus()
{
    fileMenu = AddMenu(nullptr, IDS_MENU_FILE,
                       {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, kSeparator,
                        ID_FILE_IMPORT_SHB, ID_FILE_EXPORT_SOUNDFONT, kSeparator, ID_FILE_INFO, kSeparator,
                        ID_FILE_PLAY_MIDI, ID_FILE_SAVE_SONG_WAVE, kSeparator, ID_FILE_PRINT,
                        ID_FILE_PRINT_PREVIEW, ID_FILE_PRINT_SETUP, kSeparator});
    for (int i = 0; i < 6; ++i)
        fileMenu->addAction(Action(ID_FILE_MRU_FIRST + i));
    fileMenu->addSeparator();
    fileMenu->addAction(Action(ID_APP_EXIT));

    AddMenu(nullptr, IDS_MENU_EDIT,
            {ID_EDIT_UNDO, ID_EDIT_REDO, kSeparator, ID_EDIT_NEW, kSeparator, ID_EDIT_CUT, ID_EDIT_COPY,
             ID_EDIT_PASTE, kSeparator, ID_EDIT_DELETE, kSeparator, ID_EDIT_PROPERTIES, kSeparator,
             ID_EDIT_SETTINGS});

    QMenu* awe32 = AddMenu(nullptr, IDS_MENU_AWE32, {});
    AddMenu(awe32, IDS_MENU_SELECT_SYNTH, {ID_SYNTH_GM, ID_SYNTH_GS, ID_SYNTH_MT32});
    awe32->addAction(Action(ID_SELECT_FX));
    awe32->addSeparator();
    awe32->addAction(Action(ID_LOAD_FILE_IN_BANK));
    awe32->addAction(Action(ID_CLEAR_CURRENT_BANK));
    awe32->addSeparator();
    awe32->addAction(Action(ID_CLEAR_ALL_BANKS));

    QMenu* view = AddMenu(nullptr, IDS_MENU_VIEW, {});
    AddMenu(view, IDS_MENU_TOOLBARS, {ID_VIEW_GENERAL_BAR, ID_VIEW_AWE32_BAR, ID_VIEW_SONG_BAR});
    view->addAction(Action(ID_VIEW_STATUS_BAR));
    view->addSeparator();
    view->addAction(Action(ID_VIEW_KEYBOARD));
    view->addSeparator();
    view->addAction(Action(ID_VIEW_REFRESH_TREE));

    AddMenu(nullptr, IDS_MENU_HELP,
            {ID_HELP_FINDER, kSeparator, ID_TIP_OF_THE_DAY, kSeparator, ID_APP_ABOUT});
}

void CMainFrame::CreateToolBars()
{
    auto makeBar = [this](const QString& name, unsigned caption, std::initializer_list<int> ids)
    {
        auto* bar = new QToolBar(UiText(caption), this);
        bar->setObjectName(name);
        bar->setIconSize(QSize(Images::kButtonWidth, Images::kButtonHeight));
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        bar->setAllowedAreas(Qt::AllToolBarAreas);
        bar->setMovable(true);
        bar->setFloatable(true);
        for (int id : ids)
        {
            if (id == kSeparator)
                bar->addSeparator();
            else
                bar->addAction(Action(id));
        }
        // Both go to the top, the second on the same row right of the first.
        addToolBar(Qt::TopToolBarArea, bar);
        return bar;
    };
    generalBar = makeBar(QStringLiteral("General"), IDS_BAR_GENERAL,
                         {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, kSeparator, ID_EDIT_CUT, ID_EDIT_COPY,
                          ID_EDIT_PASTE, kSeparator, ID_EDIT_NEW, ID_EDIT_DELETE, ID_EDIT_PROPERTIES,
                          kSeparator, ID_FILE_PRINT, ID_APP_ABOUT, ID_CONTEXT_HELP});
    awe32Bar = makeBar(QStringLiteral("Awe32"), IDS_BAR_AWE32,
                       {ID_SYNTH_GM, ID_SYNTH_GS, ID_SYNTH_MT32, kSeparator, ID_LOAD_FILE_IN_BANK,
                        ID_CLEAR_CURRENT_BANK, kSeparator, ID_SELECT_FX, kSeparator, ID_VIEW_KEYBOARD});
    // The song's transport on a row of its own below the other two.
    addToolBarBreak(Qt::TopToolBarArea);
    songBar = new CSongBar(this);
    songBar->setAllowedAreas(Qt::AllToolBarAreas);
    addToolBar(Qt::TopToolBarArea, songBar);
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    idleMessage = new QLabel(UiText(IDS_IDLE_MESSAGE), bar);
    idleMessage->setContentsMargins(3, 0, 3, 0);
    bar->addWidget(idleMessage, 1);
    // A prompt or message shows in the idle text's place, not over it.
    connect(bar, &QStatusBar::messageChanged, idleMessage,
            [this](const QString& message) { idleMessage->setVisible(message.isEmpty()); });
    // The card's trouble, when it has some, before the other panes; the
    // whole line stays readable in its tool tip.
    QLabel* cardStatus = MakePane(bar, QString());
    cardStatus->setObjectName(QStringLiteral("CardStatus"));
    cardStatus->setVisible(false);
    bar->addPermanentWidget(cardStatus);
    statusPanes[ID_INDICATOR_CARD_STATUS] = cardStatus;
    const std::pair<int, unsigned> panesInOrder[] = {
        {ID_INDICATOR_PATCH, IDS_PANE_CURRENT_PATCH}, {ID_INDICATOR_FREE_MEMORY, IDS_PANE_FREE_MEMORY},
        {IDS_INDICATOR_CAPS, IDS_INDICATOR_CAPS},     {IDS_INDICATOR_NUM, IDS_INDICATOR_NUM},
        {IDS_INDICATOR_SCRL, IDS_INDICATOR_SCRL},
    };
    for (const auto& [id, widthText] : panesInOrder)
    {
        QLabel* pane = MakePane(bar, UiText(widthText));
        if (id == IDS_INDICATOR_CAPS || id == IDS_INDICATOR_NUM || id == IDS_INDICATOR_SCRL)
            pane->setAlignment(Qt::AlignCenter);
        bar->addPermanentWidget(pane);
        statusPanes[id] = pane;
    }
    SetPaneText(ID_INDICATOR_PATCH, UiText(IDS_NONE));
}

void CMainFrame::OnCreateClient()
{
    mainSplitter = new QSplitter(Qt::Vertical, this);
    mainSplitter->setObjectName(QStringLiteral("MainSplitter"));
    mainSplitter->setChildrenCollapsible(true);
    bankView = new CTamberlyView(document, mainSplitter);
    mainSplitter->addWidget(bankView);
    paneSplitter = new QSplitter(Qt::Horizontal, mainSplitter);
    paneSplitter->setObjectName(QStringLiteral("PaneSplitter"));
    paneSplitter->setChildrenCollapsible(true);
    mainSplitter->addWidget(paneSplitter);
    // The bank view keeps its height and the folder tree and file list their
    // widths when the window grows; the last pane of each takes the rest.
    mainSplitter->setStretchFactor(0, 0);
    mainSplitter->setStretchFactor(1, 1);
    panes[0] = {bankView, bankView};
    bankView->setProperty("helpTopic", QStringLiteral("The bank view"));
    bankView->setWhatsThis(UiText(IDS_WHATSTHIS_BANK_VIEW));
    CreateLowerPanes();
    paneSplitter->setStretchFactor(FolderPane, 0);
    paneSplitter->setStretchFactor(FilePane, 0);
    paneSplitter->setStretchFactor(PresetPane, 1);
    setCentralWidget(mainSplitter);
    connect(bankView, &CTamberlyView::ContextMenuRequested, this,
            [this](QPoint at) { ShowPopupMenu(kPopupBankView, at); });
}

void CMainFrame::CreateLowerPanes()
{
    // Folder tree -> current folder -> file list -> current file -> preset
    // list: each pane talks only to the document, which tells the others.
    auto* folders = new CFolderView(document);
    auto* files = new CFileView(document);
    files->SetSongPlayer([this](const QString& path) { PlaySongFile(path); });
    auto* presets = new CPatchView(document);
    SetLowerPane(FolderPane, folders, folders);
    SetLowerPane(FilePane, files, files);
    SetLowerPane(PresetPane, presets, presets);
    // F1 opens the manual at the pane's part; Shift+F1 and a click tell what it is.
    const std::tuple<QWidget*, const char*, unsigned> help[] = {
        {folders, "The folder tree", IDS_WHATSTHIS_FOLDER_VIEW},
        {files, "The file list", IDS_WHATSTHIS_FILE_VIEW},
        {presets, "The preset list", IDS_WHATSTHIS_PATCH_VIEW},
    };
    for (const auto& [pane, topic, text] : help)
    {
        pane->setProperty("helpTopic", QString::fromLatin1(topic));
        pane->setWhatsThis(UiText(text));
    }
}

void CMainFrame::SetLowerPane(int column, QWidget* widget, ICommandTarget* target)
{
    if (column < FolderPane || column > PresetPane || !widget)
        return;
    if (column < paneSplitter->count())
    {
        QWidget* old = paneSplitter->replaceWidget(column, widget);
        if (old && old != widget)
            delete old;
    }
    else
    {
        paneSplitter->insertWidget(column, widget);
    }
    panes[static_cast<std::size_t>(column) + 1] = {widget, target};
}

QWidget* CMainFrame::GetLowerPane(int column) const
{
    return column >= FolderPane && column <= PresetPane ? panes[static_cast<std::size_t>(column) + 1].widget
                                                        : nullptr;
}

// Settings ------------------------------------------------------------------------

void CMainFrame::LoadFrameSettings()
{
    QRect rect;
    if (Profile::LoadWindowRect(IDS_PROFILE_DISPLAY, IDS_PROFILE_MAIN_WINDOW, rect))
    {
        setGeometry(rect);
    }
    else
    {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        setGeometry(DefaultGeometry(available));
    }

    idealSizes[0] = Profile::GetProfileNumber(IDS_PROFILE_DISPLAY, IDS_PROFILE_SPLITTER1, -1);
    idealSizes[1] = Profile::GetProfileNumber(IDS_PROFILE_DISPLAY, IDS_PROFILE_SPLITTER2, -1);
    idealSizes[2] = Profile::GetProfileNumber(IDS_PROFILE_DISPLAY, IDS_PROFILE_SPLITTER3, -1);

    const QByteArray barState = Profile::GetProfileBinary(IDS_PROFILE_BAR_STATE, IDS_PROFILE_BAR_LAYOUT);
    if (!barState.isEmpty())
        restoreState(barState);
    statusBar()->setVisible(Profile::GetProfileNumber(IDS_PROFILE_BAR_STATE, IDS_PROFILE_STATUS_BAR, 1) != 0);
}

void CMainFrame::SaveFrameSettings()
{
    // The normal rectangle: a maximised window reopens restored at it.
    QRect rect = geometry();
    if ((isMaximized() || isMinimized() || isFullScreen()) && normalGeometry().isValid())
        rect = normalGeometry();
    Profile::SaveWindowRect(IDS_PROFILE_DISPLAY, IDS_PROFILE_MAIN_WINDOW, rect);

    if (splittersApplied)
    {
        const QList<int> rows = mainSplitter->sizes();
        const QList<int> columns = paneSplitter->sizes();
        idealSizes[0] = rows.value(0);
        idealSizes[1] = columns.value(0);
        idealSizes[2] = columns.value(1);
    }
    Profile::WriteProfileNumber(IDS_PROFILE_DISPLAY, IDS_PROFILE_SPLITTER1, idealSizes[0]);
    Profile::WriteProfileNumber(IDS_PROFILE_DISPLAY, IDS_PROFILE_SPLITTER2, idealSizes[1]);
    Profile::WriteProfileNumber(IDS_PROFILE_DISPLAY, IDS_PROFILE_SPLITTER3, idealSizes[2]);

    Profile::WriteProfileBinary(IDS_PROFILE_BAR_STATE, IDS_PROFILE_BAR_LAYOUT, saveState());
    Profile::WriteProfileNumber(IDS_PROFILE_BAR_STATE, IDS_PROFILE_STATUS_BAR,
                                statusBar()->isVisibleTo(this) ? 1 : 0);
    Profile::Settings().sync();
}

void CMainFrame::ApplySplitterSizes()
{
    if (QLayout* frameLayout = layout())
        frameLayout->activate();
    const int height = mainSplitter->height() - mainSplitter->handleWidth();
    const int width = paneSplitter->width() - 2 * paneSplitter->handleWidth();
    const std::array<int, 3> proportional = DefaultSplitterSizes(height, width);
    for (std::size_t i = 0; i < proportional.size(); ++i)
        if (idealSizes[i] < 0)
            idealSizes[i] = proportional[i];
    const int top = idealSizes[0];
    mainSplitter->setSizes({top, std::max(0, height - top)});
    const int left = idealSizes[1];
    const int middle = idealSizes[2];
    paneSplitter->setSizes({left, middle, std::max(0, width - left - middle)});
    splittersApplied = true;
}

QRect CMainFrame::DefaultGeometry(const QRect& available)
{
    constexpr int kMinimumWidth = 1024;
    constexpr int kMinimumHeight = 700;
    const QSize wanted(std::max(available.width() * 4 / 5, kMinimumWidth),
                       std::max(available.height() * 4 / 5, kMinimumHeight));
    // A screen smaller than the minimum gets all of its room, no more.
    const QSize size = wanted.boundedTo(available.size());
    QRect rect(QPoint(0, 0), size);
    rect.moveCenter(available.center());
    return rect;
}

std::array<int, 3> CMainFrame::DefaultSplitterSizes(int height, int width)
{
    return {std::max(0, height * 2 / 5), std::max(0, width / 4), std::max(0, width / 3)};
}

void CMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!splittersApplied)
        ApplySplitterSizes();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // Written first: they are kept even when the save prompt is cancelled.
    SaveFrameSettings();
    if (closeHandler && !closeHandler())
    {
        event->ignore();
        return;
    }
    event->accept();
    // No note left sounding once the window is gone.
    songBar->Stop();
    Q_EMIT Closed();
}

bool CMainFrame::PlaySongFile(const QString& path)
{
    QString error;
    if (songBar->Open(path, error))
        return true;
    QMessageBox::warning(this, UiText(IDS_PROFILE_APPLICATION), error);
    return false;
}

// Updates -------------------------------------------------------------------------

void CMainFrame::OnInitialUpdate()
{
    bankView->OnInitialUpdate();
}

void CMainFrame::OnIdleUpdate()
{
    router->UpdateAll();
    for (int id : {ID_INDICATOR_PATCH, ID_INDICATOR_FREE_MEMORY, ID_INDICATOR_CARD_STATUS})
    {
        CCmdUI ui(id);
        if (router->Update(ui) && ui.HasText())
            SetPaneText(id, ui.GetText());
    }
    if (QLabel* cardStatus = GetStatusPane(ID_INDICATOR_CARD_STATUS))
    {
        cardStatus->setToolTip(cardStatus->text());
        cardStatus->setVisible(!cardStatus->text().isEmpty());
    }
    UpdateLockIndicators();
}

void CMainFrame::SetPaneText(int id, const QString& text)
{
    QLabel* pane = GetStatusPane(id);
    if (pane && pane->text() != text)
        pane->setText(text);
}

QLabel* CMainFrame::GetStatusPane(int id) const
{
    const auto it = statusPanes.find(id);
    return it == statusPanes.end() ? nullptr : it->second;
}

QString CMainFrame::GetIdleMessage() const
{
    return idleMessage->text();
}

void CMainFrame::UpdateLockIndicators()
{
    SetPaneText(IDS_INDICATOR_CAPS,
                lockKeys->IsOn(CLockKeys::CapsLock) ? UiText(IDS_INDICATOR_CAPS) : QString());
    SetPaneText(IDS_INDICATOR_NUM,
                lockKeys->IsOn(CLockKeys::NumLock) ? UiText(IDS_INDICATOR_NUM) : QString());
    SetPaneText(IDS_INDICATOR_SCRL,
                lockKeys->IsOn(CLockKeys::ScrollLock) ? UiText(IDS_INDICATOR_SCRL) : QString());
}

void CMainFrame::OnActivateApp(bool active)
{
    document.EnableMidi(active);
}

// Panes ---------------------------------------------------------------------------

void CMainFrame::OnFocusChanged(QWidget*, QWidget* now)
{
    if (!now)
        return;
    for (std::size_t i = 0; i < panes.size(); ++i)
    {
        QWidget* pane = panes[i].widget;
        if (pane && (pane == now || pane->isAncestorOf(now)))
        {
            activePane = static_cast<int>(i);
            return;
        }
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)
    {
        // F1 in a dialog (the frame's own F1 is its Help command): the
        // manual at the dialog's part, in a window the dialog does not block.
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        QWidget* window = widget ? widget->window() : nullptr;
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier || !window || window == this ||
            window == helpWindow || !qobject_cast<QDialog*>(window))
            return false;
        // The key is the dialog's: no shortcut of the frame takes it first.
        event->accept();
        if (event->type() == QEvent::KeyPress)
            LaunchHelp(window, CHelpWindow::TopicFor(window));
        return true;
    }
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false;
    for (std::size_t i = 0; i < panes.size(); ++i)
    {
        QWidget* pane = panes[i].widget;
        if (!pane || (pane != widget && !pane->isAncestorOf(widget)))
            continue;
        activePane = static_cast<int>(i);
        // The keyboard follows, so that keys act where the user clicked too.
        QWidget* focused = QApplication::focusWidget();
        if (!focused || (focused != pane && !pane->isAncestorOf(focused)))
            pane->setFocus(Qt::MouseFocusReason);
        break;
    }
    return false;
}

ICommandTarget* CMainFrame::GetActivePane() const
{
    return panes[static_cast<std::size_t>(activePane)].target;
}

void CMainFrame::ActivateNextPane(int step)
{
    const int count = static_cast<int>(panes.size());
    for (int i = 1; i <= count; ++i)
    {
        const int next = ((activePane + step * i) % count + count) % count;
        QWidget* pane = panes[static_cast<std::size_t>(next)].widget;
        if (pane && pane->isVisible() && pane->focusPolicy() != Qt::NoFocus)
        {
            pane->setFocus(Qt::OtherFocusReason);
            activePane = next;
            return;
        }
    }
}

void CMainFrame::ShowPopupMenu(int menuId, QPoint globalPos)
{
    if (menuId != kPopupBankView)
        return;
    QMenu menu(this);
    for (const auto& [id, textId] : kBankViewPopup)
    {
        if (id == kSeparator)
        {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(UiText(textId));
        action->setData(id);
        CCmdUI ui(id);
        action->setEnabled(router->Update(ui) && ui.IsEnabled());
        if (id == ID_EDIT_PROPERTIES)
            menu.setDefaultAction(action);
    }
    if (QAction* chosen = menu.exec(globalPos))
        router->Execute(chosen->data().toInt());
}

bool CMainFrame::ExportSoundFont(QString target, const SoundFontExportOptions& given)
{
    SoundFontExportOptions options = given;
    if (target.isEmpty())
    {
        // The GM set the card plays on bank 0 is the one the file gets.
        CExportOptionsDialog choice(
            EffectiveGeneralMidiFont(Profile::GetProgramSettings().sound.generalMidiFont), this);
        if (choice.exec() != QDialog::Accepted)
            return false;
        options = choice.GetOptions();
        const QString extension = options.compressed ? QStringLiteral(".sf3") : QStringLiteral(".sf2");
        const std::string& document = this->document.GetPathName();
        const QString suggested =
            document.empty() ? QStringLiteral("Untitled") + extension
                             : QFileInfo(QString::fromStdString(document)).path() + QLatin1Char('/') +
                                   QFileInfo(QString::fromStdString(document)).completeBaseName() + extension;
        target = QFileDialog::getSaveFileName(
            this, UiText(IDS_EXPORT_TITLE), suggested,
            UiText(options.compressed ? IDS_EXPORT_FILTER_SF3 : IDS_EXPORT_FILTER));
        if (target.isEmpty())
            return false;
    }
    const std::string name = QFileInfo(target).fileName().toStdString();
    QProgressDialog progress(QString::fromStdString(FormatString(IDS_EXPORT_PROGRESS, name.c_str())),
                             UiText(IDS_EXPORT_CANCEL), 0, 1000, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    // On this thread: the document and the card are the window's. The dialog
    // is modal, so nothing but Cancel reaches the window meanwhile.
    const SoundFontExportResult result = document.ExportSoundFont(
        target.toStdString(),
        [&](double share)
        {
            progress.setValue(static_cast<int>(share * 1000));
            QApplication::processEvents();
            return !progress.wasCanceled();
        },
        options);
    progress.setValue(1000);
    if (progress.wasCanceled())
        return false;
    if (!result.written)
    {
        QMessageBox::warning(
            this, UiText(IDS_PROFILE_APPLICATION),
            QString::fromStdString(FormatString(IDS_EXPORT_FAILED, name.c_str(), result.error.c_str())));
        return false;
    }
    std::string left;
    for (const std::string& stored : result.missing)
        left += stored + '\n';
    for (const std::string& line : result.skipped)
        left += line + '\n';
    if (!left.empty())
        QMessageBox::information(
            this, UiText(IDS_PROFILE_APPLICATION),
            QString::fromStdString(FormatString(IDS_EXPORT_INCOMPLETE, name.c_str(), left.c_str())));
    return true;
}

// Commands of the frame -------------------------------------------------------------

bool CMainFrame::OnUpdateCommand(CCmdUI& ui)
{
    switch (ui.GetId())
    {
    case ID_VIEW_GENERAL_BAR:
        ui.SetCheck(generalBar->isVisibleTo(this));
        return true;
    case ID_VIEW_AWE32_BAR:
        ui.SetCheck(awe32Bar->isVisibleTo(this));
        return true;
    case ID_VIEW_SONG_BAR:
        ui.SetCheck(songBar->isVisibleTo(this));
        return true;
    case ID_FILE_PLAY_MIDI:
        return true;
    case ID_FILE_SAVE_SONG_WAVE:
        ui.Enable(songBar->HasSong());
        return true;
    case ID_FILE_EXPORT_SOUNDFONT:
        return true;
    case ID_VIEW_STATUS_BAR:
        ui.SetCheck(statusBar()->isVisibleTo(this));
        return true;
    case ID_APP_EXIT:
    case ID_HELP_FINDER:
    case ID_HELP:
    case ID_CONTEXT_HELP:
    case ID_DEFAULT_HELP:
    case ID_NEXT_PANE:
    case ID_PREV_PANE:
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnCommand(int id)
{
    switch (id)
    {
    case ID_VIEW_GENERAL_BAR:
        generalBar->setVisible(!generalBar->isVisibleTo(this));
        return true;
    case ID_VIEW_AWE32_BAR:
        awe32Bar->setVisible(!awe32Bar->isVisibleTo(this));
        return true;
    case ID_VIEW_SONG_BAR:
        songBar->setVisible(!songBar->isVisibleTo(this));
        return true;
    case ID_FILE_PLAY_MIDI:
    {
        const QString path = QFileDialog::getOpenFileName(this, UiText(IDS_SONG_OPEN_TITLE), QString(),
                                                          UiText(IDS_SONG_FILTER));
        if (!path.isEmpty())
            PlaySongFile(path);
        return true;
    }
    case ID_FILE_SAVE_SONG_WAVE:
        songBar->SaveSongAsWave(this);
        return true;
    case ID_FILE_EXPORT_SOUNDFONT:
        ExportSoundFont();
        return true;
    case ID_VIEW_STATUS_BAR:
        statusBar()->setVisible(!statusBar()->isVisibleTo(this));
        return true;
    case ID_APP_EXIT:
        close();
        return true;
    case ID_HELP_FINDER:
        LaunchHelp(this, {});
        return true;
    case ID_HELP:
    case ID_DEFAULT_HELP:
        LaunchHelp(this, CHelpWindow::TopicFor(panes[static_cast<std::size_t>(activePane)].widget));
        return true;
    case ID_CONTEXT_HELP:
        QWhatsThis::enterWhatsThisMode();
        return true;
    case ID_NEXT_PANE:
        ActivateNextPane(1);
        return true;
    case ID_PREV_PANE:
        ActivateNextPane(-1);
        return true;
    default:
        return false;
    }
}

void CMainFrame::LaunchHelp(QWidget* owner, const QString& topic)
{
    const QString manual = CHelpWindow::FindManual();
    if (manual.isEmpty())
    {
        QMessageBox::information(owner, UiText(IDS_PROFILE_APPLICATION), UiText(IDS_FAILED_TO_LAUNCH_HELP));
        return;
    }
    // One help window per owner: a modal dialog blocks every window but its own.
    if (!helpWindow || helpWindow->parentWidget() != owner)
    {
        delete helpWindow;
        helpWindow = new CHelpWindow(owner);
        helpWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    helpWindow->Load(manual);
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
    helpWindow->ShowTopic(topic);
}

// Documents dropped from the file manager -------------------------------------------

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedDocument(event->mimeData()).isEmpty() || !DroppedSong(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void CMainFrame::dragMoveEvent(QDragMoveEvent* event)
{
    if (!DroppedDocument(event->mimeData()).isEmpty() || !DroppedSong(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QString path = DroppedDocument(event->mimeData());
    const QString song = DroppedSong(event->mimeData());
    if (path.isEmpty() && !song.isEmpty())
    {
        event->acceptProposedAction();
        QTimer::singleShot(0, this, [this, song] { PlaySongFile(song); });
        return;
    }
    if (path.isEmpty())
    {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Opened once the drop is over: the file manager is not kept waiting
    // through the card's set-up or a message box.
    QTimer::singleShot(0, this, [this, path] { Q_EMIT FileDropped(path); });
}
