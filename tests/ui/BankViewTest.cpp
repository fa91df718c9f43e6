// The bank view with the real document on the emulated card: tabs, rows,
// sorting, renaming, the edit commands and the clipboard.

#include "AppFixture.h"
#include "bank/CommandIds.h"
#include "ui/frame/ReportList.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSplitter>
#include <QTest>
#include <QTimer>

TEST_F(AppTest, NewOnTheVirtualBankTab)
{
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Enabled(ID_EDIT_NEW));
    Run(ID_EDIT_NEW);
    ASSERT_EQ(Rows().rowCount(), 1);
    EXPECT_EQ(Column(0), std::vector<QString>{QStringLiteral("Empty Patch")});
    EXPECT_EQ(RowText(0, 1), QStringLiteral("None"));
    EXPECT_EQ(RowText(0, 2), QStringLiteral("0KB"));
    EXPECT_EQ(RowText(0, 3), QStringLiteral("None"));
    EXPECT_EQ(RowText(0, 4), QStringLiteral("None"));
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_FALSE(View()->GetTabs()->tabIcon(0).isNull()); // the document has patches now

    // New is greyed on a card bank's tab, and the list shows 128 slots there.
    ShowBank(5);
    EXPECT_FALSE(Enabled(ID_EDIT_NEW));
    EXPECT_FALSE(ShowsReport());
    EXPECT_EQ(Rows().rowCount(), 128);
    EXPECT_EQ(RowText(0), QStringLiteral("[000]"));
    EXPECT_EQ(RowText(127), QStringLiteral("[127]"));
}

TEST_F(AppTest, CardBankRowsShowTheCardsContentAndTheDocumentsPatches)
{
    ASSERT_TRUE(Start());
    ShowBank(0);
    // The synth bank: every slot names the card's preset there.
    EXPECT_EQ(View()->GetTabs()->tabText(1), QString::fromStdString(Doc().GetCard().GetBankName(0)));
    const std::string name = Doc().GetCard().GetPresetName(0, 0);
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(RowText(0), QStringLiteral("[000] ") + QString::fromStdString(name));

    const std::string bank = Bank("A.SBK", {{"Piano", 0}, {"Strings", 48}});
    ShowBank(4);
    EXPECT_TRUE(View()->GetTabs()->tabIcon(5).isNull());
    const auto data = Presets(bank, {{"Piano", 0}});
    ASSERT_EQ(Drop(*data, RowPoint(9)), Qt::CopyAction);
    EXPECT_EQ(RowText(9), QStringLiteral("[009] Piano"));
    EXPECT_EQ(View()->GetTabs()->tabText(5), QStringLiteral("[004] TMB"));
    EXPECT_FALSE(View()->GetTabs()->tabIcon(5).isNull());
    // The row of a loaded document patch carries it; the card's own slots carry nothing.
    EXPECT_EQ(Rows().GetPatch(9), Patch("Piano"));
    EXPECT_TRUE(Patch("Piano")->IsLoaded());
    EXPECT_EQ(Doc().GetCard().GetPresetName(4, 9), "Piano");

    // On the "Virtual Bank" tab the patch reads with its place and size.
    ShowBank(-1);
    ASSERT_EQ(Rows().rowCount(), 1);
    EXPECT_EQ(RowText(0, 1), QStringLiteral("004:009"));
    EXPECT_EQ(RowText(0, 2), QString::number(Patch("Piano")->GetLoadedKB()) + QStringLiteral("KB"));
    EXPECT_EQ(RowText(0, 3), QString::fromStdString(bank));
    EXPECT_EQ(RowText(0, 4), QStringLiteral("0"));
}

TEST_F(AppTest, SelectingARowMakesItTheCurrentPatch)
{
    ASSERT_TRUE(Start());
    const std::string bank = Bank("A.SBK", {{"Piano", 0}});
    ShowBank(2);
    const auto data = Presets(bank, {{"Piano", 0}});
    ASSERT_EQ(Drop(*data, RowPoint(3)), Qt::CopyAction);
    SelectRows({3});
    EXPECT_EQ(Doc().GetCurrentPatch(), 3);
    app->OnIdle();
    EXPECT_EQ(Frame()->GetStatusPane(ID_INDICATOR_PATCH)->text(), QStringLiteral("Piano"));
    EXPECT_EQ(app->GetKeyboard()->windowTitle(), QStringLiteral("Midi Keyboard: Piano [002:003]"));
    EXPECT_EQ(app->GetKeyboard()->GetBank(), 2);
    EXPECT_EQ(app->GetKeyboard()->GetProgram(), 3);
}

TEST_F(AppTest, SortingTheReportByItsHeaders)
{
    ASSERT_TRUE(Start());
    const std::string bank = Bank("A.SBK", {{"Big", 0, 16384}, {"Small", 1, 1024}, {"Middle", 2, 4096}});
    ShowBank(1);
    // Names unlike their sizes, so that the two orders differ.
    const auto data = Presets(bank, {{"Zed", 0}, {"Alpha", 1}, {"Mid", 2}});
    ASSERT_EQ(Drop(*data, RowPoint(10)), Qt::CopyAction);
    ShowBank(-1);
    // By location at first: slots 10, 11, 12.
    EXPECT_EQ(Column(0),
              (std::vector<QString>{QStringLiteral("Zed"), QStringLiteral("Alpha"), QStringLiteral("Mid")}));

    QHeaderView* header = Report()->header();
    auto click = [&](int column)
    {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    };
    click(2);
    EXPECT_EQ(Column(0),
              (std::vector<QString>{QStringLiteral("Alpha"), QStringLiteral("Mid"), QStringLiteral("Zed")}));
    click(2);
    EXPECT_EQ(Column(0),
              (std::vector<QString>{QStringLiteral("Zed"), QStringLiteral("Mid"), QStringLiteral("Alpha")}));
    EXPECT_FALSE(View()->GetSortState().IsAscending());

    // By name (ascending, a new column), the selection travelling with its row.
    SelectRows({2});
    click(0);
    EXPECT_EQ(Column(0),
              (std::vector<QString>{QStringLiteral("Alpha"), QStringLiteral("Mid"), QStringLiteral("Zed")}));
    EXPECT_TRUE(IsSelected(0));
    EXPECT_FALSE(IsSelected(2));
}

TEST_F(AppTest, RenamingInPlaceMarksTheDocumentModified)
{
    ASSERT_TRUE(Start());
    Run(ID_EDIT_NEW);
    Doc().SetModifiedFlag(false);
    CReportList* report = Report();
    const QModelIndex first = Rows().index(0, 0);
    report->setCurrentIndex(first);
    report->edit(first);
    auto* editor = report->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Grand Piano"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents(); // the editor's commit is queued
    EXPECT_EQ(Doc().GetPatches().GetItem(0)->GetName(), "Grand Piano");
    EXPECT_EQ(RowText(0), QStringLiteral("Grand Piano"));
    EXPECT_TRUE(Doc().IsModified());
}

TEST_F(AppTest, CopyAndPasteBetweenTwoDocumentsThroughTheClipboard)
{
    ASSERT_TRUE(Start());
    const std::string bank = Bank("A.SBK", {{"Piano", 0}, {"Organ", 16}, {"Strings", 48}});
    ShowBank(1);
    const auto data = Presets(bank, {{"Piano", 0}, {"Organ", 16}, {"Strings", 48}});
    ASSERT_EQ(Drop(*data, RowPoint(20)), Qt::CopyAction);
    ShowBank(-1);
    SelectRows({0, 2});
    EXPECT_TRUE(Enabled(ID_EDIT_COPY));
    Run(ID_EDIT_COPY);
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(clip->hasFormat(PatchMime::MimeType()));
    EXPECT_EQ(clip->text(), QStringLiteral("Tamberly Clipboard Object"));

    // A second document: the pasted patches come to the slots they were copied from.
    prompts->answers = {IUserPrompts::Answer::No};
    Run(ID_FILE_NEW);
    ASSERT_EQ(Doc().GetPatches().GetSize(), 0);
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    Run(ID_EDIT_PASTE);
    ASSERT_EQ(Rows().rowCount(), 2);
    EXPECT_EQ(Column(0), (std::vector<QString>{QStringLiteral("Piano"), QStringLiteral("Strings")}));
    EXPECT_EQ(Column(1), (std::vector<QString>{QStringLiteral("001:020"), QStringLiteral("001:022")}));
    EXPECT_EQ(Doc().GetCard().GetPresetName(1, 22), "Strings");
}

TEST_F(AppTest, PastingOnSelectedSlotsFillsThemInOrder)
{
    ASSERT_TRUE(Start());
    const std::string bank = Bank("A.SBK", {{"P0", 0}, {"P1", 1}, {"P2", 2}, {"P3", 3}, {"P4", 4}});
    {
        CPatchItemList five;
        CPatchItemListGuard guard(five);
        for (int i = 0; i < 5; ++i)
        {
            CPatchItem* item = five.AddNew();
            item->SetName(std::string("P").append(std::to_string(i))); // not "P" + ...: GCC 12 -O3 -Wrestrict
            item->SetSourceFile(bank);
            item->SetSourcePatch(i);
        }
        PatchMime::PutOnClipboard(five);
    }
    ShowBank(7);
    EXPECT_FALSE(Enabled(ID_EDIT_PASTE)); // a card bank with nothing selected
    SelectRows({30, 40, 50});
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    Run(ID_EDIT_PASTE);
    // The three slots take the first three; the other two are not kept anywhere.
    EXPECT_EQ(RowText(30), QStringLiteral("[030] P0"));
    EXPECT_EQ(RowText(40), QStringLiteral("[040] P1"));
    EXPECT_EQ(RowText(50), QStringLiteral("[050] P2"));
    EXPECT_EQ(Doc().GetPatches().GetSize(), 3);

    // Text from another program is no paste.
    QApplication::clipboard()->setText(QStringLiteral("Tamberly Clipboard Object"));
    EXPECT_FALSE(Enabled(ID_EDIT_PASTE));
}

TEST_F(AppTest, CutDeleteAndTheCardsOwnSlots)
{
    ASSERT_TRUE(Start());
    const std::string drums = Bank("DRUMS.SBK", {{"Kick", 0}, {"Snare", 7}});
    ShowBank(2);
    prompts->openFiles = {QString::fromStdString(drums)};
    Run(ID_LOAD_FILE_IN_BANK);
    const auto data = Presets(drums, {{"Kick", 0}});
    ASSERT_EQ(Drop(*data, RowPoint(60)), Qt::CopyAction);
    ASSERT_EQ(Doc().GetPatches().GetSize(), 1);

    // A slot of the card's own: copy and cut work (cut as copy), delete is greyed.
    SelectRows({7});
    EXPECT_TRUE(Enabled(ID_EDIT_CUT));
    EXPECT_FALSE(Enabled(ID_EDIT_DELETE));
    EXPECT_FALSE(Enabled(ID_EDIT_PROPERTIES));
    Run(ID_EDIT_CUT);
    EXPECT_EQ(RowText(7), QStringLiteral("[007] Snare"));
    CPatchItemList cut;
    CPatchItemListGuard guard(cut);
    ASSERT_TRUE(PatchMime::PasteFromClipboard(cut));
    ASSERT_EQ(cut.GetSize(), 1);
    EXPECT_EQ(cut.GetItem(0)->GetName(), "Snare");
    EXPECT_EQ(cut.GetItem(0)->GetSourceFile(), drums);
    EXPECT_EQ(cut.GetItem(0)->GetSourcePatch(), 7);

    // The document's patch: delete is there and takes it off the card.
    SelectRows({60});
    EXPECT_TRUE(Enabled(ID_EDIT_DELETE));
    EXPECT_TRUE(Enabled(ID_EDIT_PROPERTIES));
    Run(ID_EDIT_DELETE);
    EXPECT_EQ(Doc().GetPatches().GetSize(), 0);
    EXPECT_EQ(RowText(60), QStringLiteral("[060]"));
    EXPECT_EQ(Doc().GetCard().GetPresetName(2, 60), "");
}

TEST_F(AppTest, TheContextMenuAndTheLayoutOfTheView)
{
    ASSERT_TRUE(Start());
    // Right click: the popup menu with its items, Properties the default; the
    // chosen item runs along the normal route.
    QStringList texts;
    QList<bool> enabled;
    QString defaultItem;
    QTimer::singleShot(0,
                       [&]
                       {
                           auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                           if (!menu)
                               return;
                           for (QAction* action : menu->actions())
                           {
                               texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
                               enabled << action->isEnabled();
                           }
                           defaultItem = menu->defaultAction() ? menu->defaultAction()->text() : QString();
                           menu->setActiveAction(menu->actions().value(0));
                           QTest::keyClick(menu, Qt::Key_Return);
                       });
    QWidget* viewport = View()->GetCurrentList()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), viewport->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(viewport, &event);
    EXPECT_EQ(texts,
              (QStringList{QStringLiteral("&New ..."), QStringLiteral("-"), QStringLiteral("Cu&t\tCtrl-X"),
                           QStringLiteral("C&opy\tCtrl-C"), QStringLiteral("&Paste\tCtrl-V"),
                           QStringLiteral("-"), QStringLiteral("&Delete\tDel"), QStringLiteral("-"),
                           QStringLiteral("P&roperties ...")}));
    EXPECT_EQ(enabled, (QList<bool>{true, true, false, false, false, true, false, true, false}));
    EXPECT_EQ(defaultItem, QStringLiteral("P&roperties ..."));
    EXPECT_EQ(Doc().GetPatches().GetSize(), 1); // New was chosen

    // A taller window: the tab strip keeps its height, the list takes the rest.
    const int tabHeight = View()->GetTabs()->height();
    const int listHeight = View()->GetCurrentList()->height();
    Frame()->resize(Frame()->width(), Frame()->height() + 100);
    Frame()->GetMainSplitter()->setSizes({View()->height() + 100, 10});
    QApplication::processEvents();
    EXPECT_EQ(View()->GetTabs()->height(), tabHeight);
    EXPECT_EQ(View()->GetTabs()->y(), 0);
    EXPECT_GT(View()->GetCurrentList()->height(), listHeight);
}
