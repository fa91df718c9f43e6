// Start-up, the main frame's layout and settings, command routing, the idle
// pass and the documents' framework side, with the real program.

#include "AppFixture.h"
#include "MouseDrive.h"
#include "app/IdleProcessor.h"
#include "bank/CommandIds.h"
#include "platform/StringTable.h"
#include "ui/frame/ReportList.h"
#include "ui/keyboard/MidiKeyboardDlg.h"

#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <cstdlib>

namespace
{
// A pane of the lower row that records the commands it gets.
class RecordingPane : public QWidget, public ICommandTarget
{
public:
    RecordingPane() { setFocusPolicy(Qt::StrongFocus); }
    bool OnCommand(int id) override
    {
        ran.push_back(id);
        return id == ID_EDIT_DELETE;
    }
    bool OnUpdateCommand(CCmdUI& ui) override { return ui.GetId() == ID_EDIT_DELETE; }
    std::vector<int> ran;
};

int Number(unsigned section, unsigned value)
{
    return Profile::GetProfileNumber(section, value, -1);
}
} // namespace

TEST_F(AppTest, FirstStartWithAnEmptyProfile)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("Untitled - Tamberly 96"));
    // As large as the first start makes it on this screen.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(Frame()->size(), CMainFrame::DefaultGeometry(available).size());
    EXPECT_TRUE(available.adjusted(-8, -8, 8, 8).contains(Frame()->geometry()));

    // The bank view about 40% of the height, folder tree and file list a
    // quarter and a third of the width; the preset list takes the rest.
    const QList<int> rows = Frame()->GetMainSplitter()->sizes();
    EXPECT_NEAR(rows.value(0), (rows.value(0) + rows.value(1)) * 2 / 5, 8);
    const QList<int> columns = Frame()->GetPaneSplitter()->sizes();
    const int width = columns.value(0) + columns.value(1) + columns.value(2);
    EXPECT_NEAR(columns.value(0), width / 4, 8);
    EXPECT_NEAR(columns.value(1), width / 3, 8);
    EXPECT_GT(columns.value(2), width / 3);

    // Both toolbars docked on one row at the top, "General" first.
    QToolBar* general = Frame()->GetGeneralBar();
    QToolBar* awe32 = Frame()->GetAwe32Bar();
    EXPECT_EQ(Frame()->toolBarArea(general), Qt::TopToolBarArea);
    EXPECT_EQ(Frame()->toolBarArea(awe32), Qt::TopToolBarArea);
    EXPECT_EQ(general->y(), awe32->y());
    EXPECT_LT(general->x(), awe32->x());
    EXPECT_EQ(general->windowTitle(), QStringLiteral("General"));
    EXPECT_EQ(awe32->windowTitle(), QStringLiteral("Awe32"));
    EXPECT_EQ(general->iconSize(), QSize(16, 15));

    // 129 tabs with "Virtual Bank" selected and an empty five-column report.
    EXPECT_EQ(View()->GetTabs()->count(), 129);
    EXPECT_EQ(View()->GetTabs()->currentIndex(), 0);
    EXPECT_EQ(View()->GetTabs()->tabText(0), QStringLiteral("Virtual Bank"));
    EXPECT_EQ(View()->GetTabs()->tabText(5), QStringLiteral("[004]"));
    EXPECT_TRUE(ShowsReport());
    EXPECT_EQ(Rows().rowCount(), 0);
    CBankViewModel* model = View()->GetModel();
    ASSERT_EQ(model->columnCount(), 5);
    const char* headings[] = {"Patch", "Location", "Size", "Source File", "Source Patch"};
    for (int column = 0; column < 5; ++column)
    {
        EXPECT_EQ(model->headerData(column, Qt::Horizontal).toString(), QLatin1String(headings[column]));
        // Every heading whole: wide enough for its text.
        EXPECT_GE(Report()->header()->sectionSize(column), Report()->header()->sectionSizeHint(column))
            << headings[column];
    }

    // The status bar after the first idle pass.
    app->OnIdle();
    EXPECT_EQ(Frame()->GetIdleMessage(), QStringLiteral("For Help, press F1"));
    EXPECT_EQ(Frame()->GetStatusPane(ID_INDICATOR_PATCH)->text(), QStringLiteral("None"));
    EXPECT_TRUE(Frame()->GetStatusPane(ID_INDICATOR_FREE_MEMORY)->text().endsWith(QLatin1String("KB free")));
    EXPECT_NE(Frame()->GetStatusPane(ID_INDICATOR_FREE_MEMORY)->text(), QStringLiteral("00000KB free"));

    // The keyboard window exists hidden, its devices opened.
    ASSERT_NE(app->GetKeyboard(), nullptr);
    EXPECT_FALSE(app->GetKeyboard()->isVisible());
    EXPECT_TRUE(app->GetKeyboard()->IsMidiOpen());
}

TEST_F(AppTest, MenusPromptsTooltipsAndKeys)
{
    ASSERT_TRUE(Start());
    QAction* cut = Router().GetAction(ID_EDIT_CUT);
    EXPECT_EQ(cut->text(), QStringLiteral("Cu&t\tCtrl+X"));
    EXPECT_EQ(cut->shortcuts(), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+X")),
                                                     QKeySequence(QStringLiteral("Shift+Del"))}));
    EXPECT_EQ(cut->statusTip(), QStringLiteral("Cut the selection and put it on the Clipboard"));

    QAction* gs = Router().GetAction(ID_SYNTH_GS);
    EXPECT_EQ(gs->statusTip(), QStringLiteral("Select General Sounf Mode"));
    EXPECT_EQ(gs->toolTip(), QStringLiteral("General Sound"));
    EXPECT_EQ(Router().GetAction(ID_VIEW_KEYBOARD)->toolTip(), QStringLiteral("MIDI-Keyboard"));
    EXPECT_EQ(Router().GetAction(ID_FILE_IMPORT_SHB)->text(), QStringLiteral("&Import SHB ..."));
    EXPECT_EQ(Router().GetAction(ID_EDIT_DELETE)->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(Router().GetAction(ID_EDIT_UNDO)->shortcuts().size(), 2);

    // Buttons of the toolbars in their order, with their separators (0).
    auto ids = [this](QToolBar* bar)
    {
        std::vector<int> found;
        for (QAction* action : bar->actions())
        {
            int id = 0;
            for (int candidate : {57600, 57601, 57603, 57635, 57634, 57637, 32792, 32788, 32789, 57607, 57664,
                                  57669, 32786, 32787, 32784, 32797, 32785, 32799, 32803})
                if (Router().GetAction(candidate) == action)
                    id = candidate;
            found.push_back(action->isSeparator() ? 0 : id);
        }
        return found;
    };
    EXPECT_EQ(ids(Frame()->GetGeneralBar()), (std::vector<int>{57600, 57601, 57603, 0, 57635, 57634, 57637, 0,
                                                               32792, 32788, 32789, 0, 57607, 57664, 57669}));
    EXPECT_EQ(ids(Frame()->GetAwe32Bar()),
              (std::vector<int>{32786, 32787, 32784, 0, 32797, 32785, 0, 32799, 0, 32803}));
    for (QAction* action : Frame()->GetGeneralBar()->actions())
        EXPECT_TRUE(action->isSeparator() || !action->icon().isNull());

    // Nobody handles printing or undo: greyed. Synth mode GM is checked on a fresh card.
    EXPECT_FALSE(Enabled(ID_FILE_PRINT));
    EXPECT_FALSE(Enabled(ID_FILE_PRINT_PREVIEW));
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
    EXPECT_TRUE(Enabled(ID_SYNTH_GM));
    EXPECT_TRUE(Router().GetAction(ID_SYNTH_GM)->isChecked());
    EXPECT_FALSE(Router().GetAction(ID_SYNTH_MT32)->isChecked());
}

TEST_F(AppTest, SettingsAreKeptAcrossARestart)
{
    ASSERT_TRUE(Start());
    Frame()->setGeometry(QRect(40, 50, 700, 500));
    QApplication::processEvents();
    Frame()->GetMainSplitter()->setSizes({150, Frame()->GetMainSplitter()->height() - 150});
    const int width = Frame()->GetPaneSplitter()->width();
    Frame()->GetPaneSplitter()->setSizes({100, 200, width - 300});
    DragColumnDivider(Report()->header(), 3, 300);
    Run(ID_VIEW_AWE32_BAR);
    app->OnIdle();
    EXPECT_FALSE(Router().GetAction(ID_VIEW_AWE32_BAR)->isChecked());
    ShowBank(2); // widths are the report's whichever tab shows at exit

    Restart();
    EXPECT_EQ(Frame()->geometry(), QRect(40, 50, 700, 500));
    EXPECT_EQ(Number(IDS_PROFILE_DISPLAY, IDS_PROFILE_SPLITTER1), 150);
    EXPECT_EQ(Frame()->GetMainSplitter()->sizes().value(0), 150);
    EXPECT_EQ(Frame()->GetPaneSplitter()->sizes().value(0), 100);
    EXPECT_EQ(Frame()->GetPaneSplitter()->sizes().value(1), 200);
    EXPECT_EQ(Report()->header()->sectionSize(3), 300);
    EXPECT_EQ(Profile::GetProfileNumber(IDS_PROFILE_DISPLAY, QStringLiteral("BankView.ColumnWidth3"), 0),
              300);
    EXPECT_FALSE(Frame()->GetAwe32Bar()->isVisible());
    EXPECT_TRUE(Frame()->GetGeneralBar()->isVisible());
    app->OnIdle();
    EXPECT_FALSE(Router().GetAction(ID_VIEW_AWE32_BAR)->isChecked());
    EXPECT_EQ(Profile::Settings().value(QStringLiteral("Display/MainWindow.Right")).toInt(), 740);
}

TEST_F(AppTest, AMaximisedWindowReopensAtItsNormalRectangle)
{
    ASSERT_TRUE(Start());
    Frame()->setGeometry(QRect(30, 30, 600, 450));
    QApplication::processEvents();
    Frame()->showMaximized();
    QApplication::processEvents();
    Restart();
    EXPECT_FALSE(Frame()->isMaximized());
    EXPECT_EQ(Frame()->geometry(), QRect(30, 30, 600, 450));
}

TEST_F(AppTest, CancellingTheSavePromptKeepsTheWindowButStoresItsSettings)
{
    ASSERT_TRUE(Start());
    Run(ID_EDIT_NEW);
    ASSERT_TRUE(Doc().IsModified());
    Frame()->setGeometry(QRect(20, 25, 640, 480));
    QApplication::processEvents();

    prompts->answers = {IUserPrompts::Answer::Cancel};
    EXPECT_FALSE(Frame()->close());
    EXPECT_TRUE(Frame()->isVisible());
    ASSERT_EQ(prompts->questions.size(), 1u);
    EXPECT_EQ(prompts->questions[0], QStringLiteral("Save changes to Untitled?"));
    EXPECT_EQ(Profile::Settings().value(QStringLiteral("Display/MainWindow.Left")).toInt(), 20);
    EXPECT_EQ(Profile::Settings().value(QStringLiteral("Display/MainWindow.Bottom")).toInt(), 505);
    EXPECT_EQ(Doc().GetPatches().GetSize(), 1); // the document is still there

    // "No" closes without saving; the card is emptied with the document.
    prompts->answers = {IUserPrompts::Answer::No};
    EXPECT_TRUE(Frame()->close());
    EXPECT_EQ(Doc().GetPatches().GetSize(), 0);
}

TEST_F(AppTest, SaveAsWritesTheFileAndTheRecentFileList)
{
    ASSERT_TRUE(Start());
    Run(ID_EDIT_NEW);
    const std::string path = files.File("mine");
    prompts->saveFiles = {QString::fromStdString(path)};
    Run(ID_FILE_SAVE);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_EQ(Doc().GetPathName(), path + ".tmb");
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("mine.tmb - Tamberly 96"));
    ASSERT_EQ(app->GetRecentFiles().GetSize(), 1);
    EXPECT_EQ(Profile::GetProfileString(IDS_PROFILE_RECENT_FILES, QStringLiteral("File1")),
              QString::fromStdString(path + ".tmb"));
    app->OnIdle();
    QAction* first = Router().GetAction(ID_FILE_MRU_FIRST);
    EXPECT_TRUE(first->isEnabled());
    EXPECT_TRUE(first->text().startsWith(QLatin1String("&1 ")));
    EXPECT_FALSE(Router().GetAction(ID_FILE_MRU_FIRST + 1)->isVisible());

    // New, then the recent entry opens the saved document again.
    Run(ID_FILE_NEW);
    EXPECT_EQ(Doc().GetPatches().GetSize(), 0);
    Run(ID_FILE_MRU_FIRST);
    ASSERT_EQ(Doc().GetPatches().GetSize(), 1);
    EXPECT_EQ(Doc().GetPatches().GetItem(0)->GetName(), "Empty Patch");
    EXPECT_EQ(Rows().rowCount(), 1);
}

TEST_F(AppTest, ARecentFileThatNoLongerOpensLeavesTheList)
{
    ASSERT_TRUE(Start());
    const std::string good = files.Write("good.tmb", {});
    const std::string gone = files.File("gone.tmb");
    ASSERT_TRUE(app->OpenDocumentFile(QString::fromStdString(good)));
    app->GetRecentFiles().Add(QString::fromStdString(gone));
    ASSERT_EQ(app->GetRecentFiles().GetSize(), 2);

    Run(ID_FILE_MRU_FIRST); // the missing one, newest
    ASSERT_EQ(prompts->errors.size(), 1u);
    EXPECT_TRUE(prompts->errors[0].contains(QLatin1String("gone.tmb"))) << prompts->errors[0].toStdString();
    ASSERT_EQ(app->GetRecentFiles().GetSize(), 1);
    EXPECT_EQ(app->GetRecentFiles().GetPath(0), QString::fromStdString(good));
}

TEST_F(AppTest, ACommandLineFileOpensInsteadOfANewDocument)
{
    const std::string bank = Bank("A.SBK", {{"Piano", 0}});
    // Written by the program itself: a document with one patch on bank 1, slot 5.
    {
        ASSERT_TRUE(Start());
        const auto data = Presets(bank, {{"Piano", 0}});
        ShowBank(1);
        ASSERT_EQ(Drop(*data, RowPoint(5)), Qt::CopyAction);
        prompts->saveFiles = {QString::fromStdString(files.File("one.tmb"))};
        Run(ID_FILE_SAVE_AS);
        Frame()->close();
        app.reset();
    }
    CCommandLineInfo commandLine;
    commandLine.fileName = QString::fromStdString(files.File("one.tmb"));
    ASSERT_TRUE(Start(commandLine));
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("one.tmb - Tamberly 96"));
    ASSERT_EQ(Doc().GetPatches().GetSize(), 1);
    EXPECT_TRUE(Doc().GetPatches().GetItem(0)->IsLoaded());
    EXPECT_EQ(View()->GetTabs()->tabText(2), QStringLiteral("[001] TMB"));
    // It was saved showing bank 1, and opens so: the tab strip has its height there too.
    EXPECT_EQ(View()->GetTabs()->currentIndex(), 2);
    EXPECT_GT(View()->GetTabs()->height(), 0);
    EXPECT_EQ(View()->GetTabs()->height(), View()->GetTabs()->sizeHint().height());
    // Slot texts are whole, not cut to the width of the empty slots' texts.
    QAbstractItemView* list = View()->GetCurrentList();
    const QModelIndex piano = Rows().index(5, 0);
    EXPECT_GE(list->visualRect(piano).width(), list->fontMetrics().horizontalAdvance(RowText(5)));
    EXPECT_FALSE(View()->GetTabs()->tabIcon(2).isNull());
}

TEST_F(AppTest, AFirstDocumentThatCannotBeMadeEndsTheProgram)
{
    ::setenv("TAMBERLY_AWEMAN", "/nonexistent/libaweman32.so", 1);
    const bool started = Start();
    ::unsetenv("TAMBERLY_AWEMAN");
    EXPECT_FALSE(started);
    ASSERT_EQ(prompts->errors.size(), 1u);
    EXPECT_EQ(prompts->errors[0], QStringLiteral("Awe32 is not available !"));
    EXPECT_FALSE(Frame()->isVisible());

    // A command-line file that does not open ends it too, with the file's message.
    prompts->errors.clear();
    CCommandLineInfo commandLine;
    commandLine.fileName = QString::fromStdString(files.Write("bad.tmb", Bytes{1, 2, 3}));
    EXPECT_FALSE(Start(commandLine));
    ASSERT_EQ(prompts->errors.size(), 1u);
    EXPECT_EQ(prompts->errors[0], QStringLiteral("Unexpected file format."));
}

TEST_F(AppTest, ATmbFileDroppedFromTheFileManagerOpens)
{
    ASSERT_TRUE(Start());
    const std::string path = files.Write("dropped.TMB", {});
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    // Dropped on the bank view: not patches, so it goes on to the frame.
    QWidget* viewport = View()->GetCurrentList()->viewport();
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(Frame()->mapFromGlobal(viewport->mapToGlobal(at))), Qt::CopyAction, &data,
                    Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Frame(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    QApplication::processEvents();
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("dropped.TMB - Tamberly 96"));

    // Other files are not taken.
    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(QString::fromStdString(files.Write("x.sbk", {})))});
    QDragEnterEvent refused(at, Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Frame(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(AppTest, DeleteGoesToTheActivePane)
{
    ASSERT_TRUE(Start());
    Run(ID_EDIT_NEW);
    Run(ID_EDIT_NEW);
    ASSERT_EQ(Rows().rowCount(), 2);
    auto* pane = new RecordingPane;
    Frame()->SetLowerPane(CMainFrame::FilePane, pane, pane);

    SelectRows({0});
    pane->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(Frame()->GetActivePaneIndex(), 1 + CMainFrame::FilePane);
    app->OnIdle();
    Router().GetAction(ID_EDIT_DELETE)->trigger();
    EXPECT_EQ(pane->ran, std::vector<int>{ID_EDIT_DELETE});
    EXPECT_EQ(Doc().GetPatches().GetSize(), 2);

    // Copy is not the pane's: with the pane active it goes on along the chain and nobody takes it.
    EXPECT_FALSE(Enabled(ID_EDIT_COPY));

    // Back in the bank view the same key deletes the selected patch.
    View()->GetCurrentList()->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(Frame()->GetActivePaneIndex(), 0);
    app->OnIdle();
    Router().GetAction(ID_EDIT_DELETE)->trigger();
    EXPECT_EQ(Doc().GetPatches().GetSize(), 1);
    EXPECT_EQ(pane->ran.size(), 1u);

    // F6 moves to the next pane.
    Run(ID_NEXT_PANE);
    EXPECT_EQ(Frame()->GetActivePaneIndex(), 1 + CMainFrame::FolderPane);
}

TEST_F(AppTest, CardCommandsFromTheMenus)
{
    ASSERT_TRUE(Start());
    const std::string drums = Bank("DRUMS.SBK", {{"Kick", 0}, {"Snare", 7}});

    // Load file in current bank: only on a user bank, through the chooser with the bank filter.
    EXPECT_FALSE(Enabled(ID_LOAD_FILE_IN_BANK));
    ShowBank(3);
    EXPECT_TRUE(Enabled(ID_LOAD_FILE_IN_BANK));
    EXPECT_FALSE(Enabled(ID_CLEAR_CURRENT_BANK));
    prompts->openFiles = {QString::fromStdString(drums)};
    Run(ID_LOAD_FILE_IN_BANK);
    ASSERT_EQ(prompts->openFilters.size(), 1u);
    EXPECT_EQ(
        prompts->openFilters[0],
        QStringLiteral("Soundfont files (*.sbk *.SBK *.sf2 *.SF2 *.sf3 *.SF3);;Wave Files (*.wav *.WAV);;All "
                       "files (*)"));
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_EQ(View()->GetTabs()->tabText(4), QStringLiteral("[003] DRUMS.SBK"));
    EXPECT_EQ(RowText(7), QStringLiteral("[007] Snare"));
    EXPECT_TRUE(Enabled(ID_CLEAR_CURRENT_BANK));

    Run(ID_CLEAR_CURRENT_BANK);
    EXPECT_EQ(View()->GetTabs()->tabText(4), QStringLiteral("[003]"));
    EXPECT_EQ(RowText(7), QStringLiteral("[007]"));

    // A SoundFont 2 bank is chosen the same way and fills the slots.
    SoundFontBuilder harpBank;
    harpBank.Version(2, 4).SampleData(1000);
    harpBank.AddPreset("Harp", 0, 0, {harpBank.AddInstrument("Harp", {harpBank.AddSample(0, 100)})});
    prompts->openFiles = {QString::fromStdString(files.Write("HARP.SF2", harpBank.Build()))};
    Run(ID_LOAD_FILE_IN_BANK);
    EXPECT_EQ(View()->GetTabs()->tabText(4), QStringLiteral("[003] HARP"));
    EXPECT_EQ(RowText(0), QStringLiteral("[000] Harp"));
    Run(ID_CLEAR_CURRENT_BANK);

    // Synth modes with their check marks.
    Run(ID_SYNTH_MT32);
    app->OnIdle();
    EXPECT_TRUE(Router().GetAction(ID_SYNTH_MT32)->isChecked());
    EXPECT_FALSE(Router().GetAction(ID_SYNTH_GM)->isChecked());
    Run(ID_SYNTH_GM);

    // The keyboard command shows and hides the keyboard window, with its check mark.
    Run(ID_VIEW_KEYBOARD);
    EXPECT_TRUE(app->GetKeyboard()->isVisible());
    app->OnIdle();
    EXPECT_TRUE(Router().GetAction(ID_VIEW_KEYBOARD)->isChecked());
    Run(ID_VIEW_KEYBOARD);
    EXPECT_FALSE(app->GetKeyboard()->isVisible());
}

TEST_F(AppTest, ActivationOpensAndClosesTheKeyboardsDevices)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(app->GetKeyboard()->IsMidiOpen());
    midi->calls.clear();
    Frame()->OnActivateApp(false);
    EXPECT_FALSE(app->GetKeyboard()->IsMidiOpen());
    EXPECT_EQ(midi->calls, (std::vector<std::string>{"CloseInput", "CloseOutput"}));
    Frame()->OnActivateApp(true);
    EXPECT_TRUE(app->GetKeyboard()->IsMidiOpen());
}

TEST_F(AppTest, TheIdlePassRunsOnlyFromTheTopLevelLoop)
{
    ASSERT_TRUE(Start());
    ShowBank(1);
    // A slot description made outside any idle pass waits for the next one.
    ASSERT_NE(Rows().GetPatch(3), nullptr);
    ASSERT_GT(Doc().GetTemporaryPatchCount(), 0);

    // A nested loop, as a drag or a modal dialog runs, leaves it alone...
    CIdleProcessor* idle = app->GetIdleProcessor();
    const int before = idle->GetPassCount();
    int countInside = -1;
    int passesAtStart = -1;
    int passesInside = -1;
    QEventLoop outer;
    QTimer::singleShot(0, &outer,
                       [&]
                       {
                           QEventLoop inner;
                           QTimer::singleShot(50, &inner,
                                              [&]
                                              {
                                                  countInside = Doc().GetTemporaryPatchCount();
                                                  passesInside = idle->GetPassCount();
                                                  inner.quit();
                                              });
                           Rows().GetPatch(4); // another description, made inside the nested loop
                           passesAtStart = idle->GetPassCount();
                           inner.exec();
                           outer.quit();
                       });
    outer.exec();
    EXPECT_GT(countInside, 0);
    EXPECT_EQ(passesInside, passesAtStart);
    EXPECT_GE(passesAtStart, before);

    // Back at the top level, the next pass frees them.
    QEventLoop top;
    QTimer::singleShot(20, &top, &QEventLoop::quit);
    top.exec();
    EXPECT_GT(idle->GetPassCount(), passesInside);
    EXPECT_EQ(Doc().GetTemporaryPatchCount(), 0);
}
