// The window on a desktop: its first size, which pane a click makes active,
// right-button drags, the help window and What's This, and the keyboard
// window's piano, driven with real mouse and key events.

#include "AppFixture.h"
#include "DarkPalette.h"
#include "FakeMidiDevices.h"
#include "bank/CommandIds.h"
#include "ui/RightButtonDrag.h"
#include "ui/keyboard/PianoCtrl.h"
#include "ui/panes/FolderView.h"
#include "ui/panes/PatchView.h"
#include "ui/sheets/HelpWindow.h"
#include "ui/sheets/SettingsDialog.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QStandardItemModel>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QWhatsThis>

TEST(MainFrameGeometry, TheFirstStartTakesMostOfTheScreenButNeverMore)
{
    // 1280x800 with a 30-pixel panel: 80% would be 1024x616, below the least height.
    EXPECT_EQ(CMainFrame::DefaultGeometry(QRect(0, 30, 1280, 770)), QRect(128, 65, 1024, 700));
    // 1920x1080: 80% each way, centred.
    EXPECT_EQ(CMainFrame::DefaultGeometry(QRect(0, 0, 1920, 1080)), QRect(192, 108, 1536, 864));
    // A screen smaller than the least size gets all of its room.
    EXPECT_EQ(CMainFrame::DefaultGeometry(QRect(0, 0, 800, 600)), QRect(0, 0, 800, 600));
    // A second screen to the right keeps the window on it.
    EXPECT_EQ(CMainFrame::DefaultGeometry(QRect(1920, 0, 1920, 1080)), QRect(1920 + 192, 108, 1536, 864));

    const std::array<int, 3> sizes = CMainFrame::DefaultSplitterSizes(500, 1200);
    EXPECT_EQ(sizes[0], 200); // the bank view: 40% of the height
    EXPECT_EQ(sizes[1], 300); // the folder tree: a quarter of the width
    EXPECT_EQ(sizes[2], 400); // the file list: a third
}

TEST_F(AppTest, AClickAnywhereInAPaneMakesItTheActivePane)
{
    ASSERT_TRUE(Start());
    auto* folders = static_cast<CFolderView*>(Frame()->GetLowerPane(CMainFrame::FolderPane));
    int folderPicks = 0;
    int folderQuestions = 0;
    folders->SetFolderPicker(
        [&](QWidget*, const QString&, const QString&)
        {
            ++folderPicks;
            return QString();
        });
    folders->SetConfirmer(
        [&](QWidget*, const QString&)
        {
            ++folderQuestions;
            return false;
        });

    // A folder chosen with the mouse: the folder tree is active.
    QTreeWidgetItem* root = folders->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, folders->visualItemRect(root).center());
    EXPECT_EQ(Frame()->GetActivePaneIndex(), 1 + CMainFrame::FolderPane);

    // A click on the "Virtual Bank" tab, which takes no focus: New adds a
    // patch instead of asking for a folder.
    QTabBar* tabs = View()->GetTabs();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    EXPECT_EQ(Frame()->GetActivePaneIndex(), 0);
    Run(ID_EDIT_NEW);
    EXPECT_EQ(folderPicks, 0);
    EXPECT_EQ(Doc().GetPatches().GetSize(), 1);

    // Back to the folder tree, then a click on a column heading of the
    // report: the Delete key deletes the selected patch, and no folder.
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, folders->visualItemRect(root).center());
    ASSERT_EQ(Frame()->GetActivePaneIndex(), 1 + CMainFrame::FolderPane);
    SelectRows({0});
    QHeaderView* header = Report()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
    EXPECT_EQ(Frame()->GetActivePaneIndex(), 0);
    app->OnIdle();
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    EXPECT_EQ(folderQuestions, 0);
    EXPECT_EQ(Doc().GetPatches().GetSize(), 0);

    // The empty space below the preset list's rows.
    auto* presets = static_cast<CPatchView*>(Frame()->GetLowerPane(CMainFrame::PresetPane));
    QTest::mouseClick(presets->viewport(), Qt::LeftButton, {}, QPoint(10, presets->viewport()->height() - 5));
    EXPECT_EQ(Frame()->GetActivePaneIndex(), 1 + CMainFrame::PresetPane);
}

TEST(RightButtonDrag, AMovingPressDragsAStillClickOpensTheMenuOnRelease)
{
    QStandardItemModel model(5, 1);
    QTreeView view;
    view.setModel(&model);
    view.resize(200, 200);
    view.setContextMenuPolicy(Qt::CustomContextMenu);
    view.show();
    int menus = 0;
    QObject::connect(&view, &QWidget::customContextMenuRequested, [&] { ++menus; });
    std::vector<bool> drags; // whether each drag knew it was the right button's
    CRightButtonDrag watcher(&view, [&] { drags.push_back(CRightButtonDrag::IsRightDragRunning()); });
    QWidget* viewport = view.viewport();
    const QPoint row = view.visualRect(model.index(1, 0)).center();

    // The press brings the platform's menu request at once: held back until the release.
    QTest::mousePress(viewport, Qt::RightButton, {}, row);
    QContextMenuEvent onPress(QContextMenuEvent::Mouse, row, viewport->mapToGlobal(row));
    QApplication::sendEvent(viewport, &onPress);
    EXPECT_EQ(menus, 0);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, row);
    EXPECT_EQ(menus, 1);
    EXPECT_TRUE(drags.empty());
    EXPECT_TRUE(view.selectionModel()->isSelected(model.index(1, 0)));

    // A press that moves past the drag distance drags, and opens no menu.
    QTest::mousePress(viewport, Qt::RightButton, {}, row);
    QTest::mouseMove(viewport, row + QPoint(2, 0)); // within the distance: nothing yet
    EXPECT_TRUE(drags.empty());
    QTest::mouseMove(viewport, row + QPoint(0, 3 * QApplication::startDragDistance()));
    ASSERT_EQ(drags.size(), 1u);
    EXPECT_TRUE(drags[0]);
    EXPECT_FALSE(CRightButtonDrag::IsRightDragRunning());
    QTest::mouseRelease(viewport, Qt::RightButton, {}, row);
    EXPECT_EQ(menus, 1);

    // The keyboard's menu goes straight through.
    QContextMenuEvent fromKeys(QContextMenuEvent::Keyboard, row, viewport->mapToGlobal(row));
    QApplication::sendEvent(viewport, &fromKeys);
    EXPECT_EQ(menus, 2);
}

TEST_F(AppTest, ARightButtonDragInTheBankViewPlacesByPresetNumber)
{
    ASSERT_TRUE(Start());
    const std::string bank = Bank("A.SBK", {{"Strings", 48}});
    ShowBank(3);
    ASSERT_EQ(Drop(*Presets(bank, {{"Strings", 48}}), RowPoint(5)), Qt::CopyAction);
    ASSERT_EQ(RowText(5), QStringLiteral("[005] Strings"));

    // The drag is dropped on slot 90 by a drop event that carries no button,
    // as some platforms send it: the right button's drag still goes by number.
    View()->SetDragRunner([&](std::unique_ptr<QMimeData> dragged)
                          { return Drop(*dragged, RowPoint(90), Qt::NoButton); });
    QWidget* viewport = View()->GetCurrentList()->viewport();
    const QPoint from = RowPoint(5);
    QTest::mousePress(viewport, Qt::RightButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(0, 3 * QApplication::startDragDistance()));
    QTest::mouseRelease(viewport, Qt::RightButton, {}, from);

    EXPECT_EQ(RowText(48), QStringLiteral("[048] Strings"));
    EXPECT_EQ(RowText(90), QStringLiteral("[090]"));
    EXPECT_EQ(RowText(5), QStringLiteral("[005]")); // moved within the bank
    EXPECT_EQ(Doc().GetCard().GetPresetName(3, 48), "Strings");
}

TEST_F(AppTest, HelpOpensTheManualAtThePartOfThePaneOrDialog)
{
    ASSERT_TRUE(Start());
    ASSERT_FALSE(CHelpWindow::FindManual().isEmpty()) << "the manual is not beside the program";

    // F1 after a click in the file list: the file list's part.
    QWidget* files = Frame()->GetLowerPane(CMainFrame::FilePane);
    QTest::mouseClick(static_cast<QAbstractScrollArea*>(files)->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    app->OnIdle();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    CHelpWindow* help = Frame()->GetHelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->GetShownTopic(), QStringLiteral("The file list"));
    EXPECT_TRUE(help->GetBrowser()->toPlainText().contains(QLatin1String("Where files live")));

    // Help Topics: the manual from its start.
    Run(ID_HELP_FINDER);
    EXPECT_EQ(Frame()->GetHelpWindow()->GetShownTopic(), QString());

    // F1 in a dialog: its part, in a window the dialog does not block.
    CSettingsDialog settings(
        PathResolverSettings{}, [] { return QString(); }, Frame());
    settings.show();
    settings.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&settings, 2000));
    // The key goes where the dialog's keys go: its focus widget, else the dialog.
    QWidget* inDialog = settings.focusWidget() ? settings.focusWidget() : &settings;
    QTest::keyClick(inDialog, Qt::Key_F1);
    help = Frame()->GetHelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->parentWidget(), &settings);
    EXPECT_EQ(help->GetShownTopic(), QStringLiteral("Dialogs"));
    settings.close();
}

TEST(HelpWindow, AManualThatDoesNotReadSaysSoAndShowsNoTopic)
{
    CHelpWindow help;
    EXPECT_FALSE(help.Load(QString()));
    EXPECT_FALSE(help.Load(QStringLiteral("/no/such/manual.md")));
    EXPECT_FALSE(help.GetBrowser()->toPlainText().isEmpty());
    EXPECT_FALSE(help.ShowTopic(QStringLiteral("The file list")));
    // Headings only count as parts: the same words in a paragraph do not.
    TempDir dir;
    const std::string path = dir.Write("m.md", Bytes{});
    {
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("# Manual\n\nThe file list is below.\n\n## The file list\n\nText.\n");
    }
    ASSERT_TRUE(help.Load(QString::fromStdString(path)));
    EXPECT_TRUE(help.ShowTopic(QStringLiteral("The file list")));
    EXPECT_FALSE(help.ShowTopic(QStringLiteral("The preset list")));
}

TEST_F(AppTest, WhatsThisExplainsEveryPane)
{
    ASSERT_TRUE(Start());
    for (QWidget* pane :
         {static_cast<QWidget*>(View()), Frame()->GetLowerPane(CMainFrame::FolderPane),
          Frame()->GetLowerPane(CMainFrame::FilePane), Frame()->GetLowerPane(CMainFrame::PresetPane)})
    {
        EXPECT_FALSE(pane->whatsThis().isEmpty()) << pane->metaObject()->className();
        EXPECT_FALSE(CHelpWindow::TopicFor(pane).isEmpty()) << pane->metaObject()->className();
    }
    // Shift+F1, then a click on the file list's empty space: its note shows.
    QWidget* files = Frame()->GetLowerPane(CMainFrame::FilePane);
    QWidget* viewport = static_cast<QAbstractScrollArea*>(files)->viewport();
    QTest::keyClick(Frame(), Qt::Key_F1, Qt::ShiftModifier);
    ASSERT_TRUE(QWhatsThis::inWhatsThisMode());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 5));
    EXPECT_FALSE(QWhatsThis::inWhatsThisMode());
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->inherits("QWhatsThat"));
    QWhatsThis::hideText();
}

TEST(MidiKeyboardWindow, ThePianoIsTallAndGrowsAndItsLettersStayOnTheirKeys)
{
    auto log = std::make_shared<MidiLog>();
    CMidiKeyboardDlg dialog(std::make_unique<CFakeMidiDevices>(log));
    dialog.show();
    QApplication::processEvents();
    CPianoCtrl* piano = dialog.GetPiano();
    EXPECT_GE(piano->height(), CPianoCtrl::kLeastHeight);
    EXPECT_FALSE(piano->toolTip().isEmpty()); // the hint, where it takes no room

    const int before = piano->height();
    dialog.resize(dialog.width() + 300, dialog.height() + 200);
    QApplication::processEvents();
    EXPECT_GE(piano->height(), before + 150);
    EXPECT_GT(piano->width(), 300);

    // At the least height and at a tall one, every letter inside its key's
    // part and clear of every other key.
    for (const int height : {CPianoCtrl::kLeastHeight, 300})
    {
        piano->resize(piano->width(), height);
        int letters = 0;
        const CPianoLayout& layout = piano->Layout();
        for (int note = layout.GetFirstNote(); note <= layout.GetLastNote(); ++note)
        {
            const QRect letter = piano->LetterRect(note);
            if (letter.isEmpty())
                continue;
            ++letters;
            const bool black = CPianoLayout::IsBlackKey(note);
            const PianoRect own = black ? layout.KeyRect(note) : layout.LowerPart(note);
            EXPECT_TRUE(QRect(own.left, own.top, own.right - own.left, own.bottom - own.top).contains(letter))
                << "note " << note << " at height " << height;
            for (int other = layout.GetFirstNote(); other <= layout.GetLastNote(); ++other)
            {
                if (other == note || !CPianoLayout::IsBlackKey(other))
                    continue;
                const PianoRect key = layout.KeyRect(other);
                EXPECT_FALSE(
                    QRect(key.left, key.top, key.right - key.left, key.bottom - key.top).intersects(letter))
                    << "note " << note << " runs over black key " << other << " at height " << height;
            }
        }
        EXPECT_GT(letters, 10) << "at height " << height;
    }
}

TEST_F(AppTest, UnderADarkPaletteTheToolbarAndThePianoStayReadable)
{
    const PaletteScope scope(DarkPalette());
    const QPalette dark = QApplication::palette();
    ASSERT_TRUE(Start());

    // Each toolbar button as the screen shows it: something on it differs
    // clearly from the bar (the scissors of Cut are lines alone).
    QToolBar* bar = Frame()->GetGeneralBar();
    for (int id : {ID_EDIT_CUT, ID_EDIT_DELETE, ID_FILE_NEW, ID_CONTEXT_HELP})
    {
        QWidget* button = bar->widgetForAction(Router().GetAction(id));
        ASSERT_NE(button, nullptr) << id;
        const QImage shot = button->grab().toImage();
        const int background = dark.color(QPalette::Window).lightness();
        int most = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                most = std::max(most, std::abs(shot.pixelColor(x, y).lightness() - background));
        EXPECT_GE(most, 85) << "command " << id;
    }

    // The piano's white keys stay white, its black keys black.
    CPianoCtrl* piano = app->GetKeyboard()->GetPiano();
    piano->resize(420, 96);
    const QImage keys = piano->grab().toImage();
    const CPianoLayout& layout = piano->Layout();
    const PianoRect white = layout.LowerPart(60);
    const PianoRect black = layout.KeyRect(61);
    EXPECT_GT(keys.pixelColor((white.left + white.right) / 2, white.bottom - 3).lightness(), 230);
    EXPECT_LT(keys.pixelColor((black.left + black.right) / 2, black.top + 3).lightness(), 30);
}
