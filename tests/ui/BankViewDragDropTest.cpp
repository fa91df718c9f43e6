// Dragging patches into, out of and within the bank view, with the real
// document on the emulated card.

#include "AppFixture.h"
#include "bank/CommandIds.h"

#include <QScrollBar>

TEST_F(AppTest, DroppingWithTheLeftButtonFillsSlotsFromTheDropRowOn)
{
    ASSERT_TRUE(Start());
    const std::string bank = Bank("A.SBK", {{"P0", 0}, {"P1", 1}});
    ShowBank(3);

    // While two presets are over slot 126, slots 126 and 127 are highlighted.
    const auto two = Presets(bank, {{"P0", 0}, {"P1", 1}});
    QWidget* viewport = View()->GetCurrentList()->viewport();
    QDragEnterEvent enter(RowPoint(126), Qt::CopyAction, two.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    ASSERT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    EXPECT_TRUE(IsHighlighted(126));
    EXPECT_TRUE(IsHighlighted(127));
    EXPECT_FALSE(IsHighlighted(125));
    QDragLeaveEvent leave;
    QApplication::sendEvent(viewport, &leave);
    EXPECT_FALSE(IsHighlighted(126));

    ASSERT_EQ(Drop(*two, RowPoint(126)), Qt::CopyAction);
    EXPECT_EQ(RowText(126), QStringLiteral("[126] P0"));
    EXPECT_EQ(RowText(127), QStringLiteral("[127] P1"));
    EXPECT_EQ(Doc().GetCard().GetPresetName(3, 127), "P1");
    EXPECT_FALSE(IsHighlighted(126));
}

TEST_F(AppTest, TheRightButtonOrShiftPutsEachPresetOnTheSlotOfItsNumber)
{
    ASSERT_TRUE(Start());
    const std::string bank = Bank("A.SBK", {{"Piano", 0}, {"Strings", 48}});
    ShowBank(5);
    // Listed as a preset list sorted by name shows them: 48 before 0, and 48 twice.
    const auto data = Presets(bank, {{"Strings", 48}, {"Piano", 0}, {"Strings again", 48}});
    ASSERT_EQ(Drop(*data, RowPoint(90), Qt::RightButton), Qt::CopyAction);
    EXPECT_EQ(RowText(0), QStringLiteral("[000] Piano"));
    EXPECT_EQ(RowText(48), QStringLiteral("[048] Strings"));
    EXPECT_EQ(RowText(90), QStringLiteral("[090]"));
    EXPECT_EQ(Doc().GetPatches().GetSize(), 2);
    EXPECT_EQ(Doc().GetCard().GetPresetName(5, 48), "Strings");

    ShowBank(6);
    ASSERT_EQ(Drop(*data, RowPoint(90), Qt::LeftButton, Qt::ShiftModifier), Qt::CopyAction);
    EXPECT_EQ(RowText(0), QStringLiteral("[000] Piano"));
    EXPECT_EQ(RowText(48), QStringLiteral("[048] Strings"));
    EXPECT_EQ(RowText(90), QStringLiteral("[090]"));
}

TEST_F(AppTest, BelowTheRowsTheVirtualBankAdds)
{
    ASSERT_TRUE(Start());
    const std::string bank = Bank("A.SBK", {{"Piano", 0}, {"Organ", 16}});
    const auto data = Presets(bank, {{"Piano", 0}, {"Organ", 16}});
    const QPoint below(20, View()->GetCurrentList()->viewport()->height() - 5);
    ASSERT_EQ(Drop(*data, below), Qt::CopyAction);
    EXPECT_EQ(Rows().rowCount(), 2);
    // Added without a place: nothing on the card.
    EXPECT_EQ(RowText(0, 1), QStringLiteral("None"));

    // Dropped on a row of the report, they take the place of the patches there.
    const auto organ = Presets(bank, {{"Organ again", 16}});
    ASSERT_EQ(Drop(*organ, RowPoint(1)), Qt::CopyAction);
    EXPECT_EQ(Rows().rowCount(), 2);
    EXPECT_NE(Patch("Organ again"), nullptr);
}

TEST_F(AppTest, APayloadThatDoesNotDecodeIsRefused)
{
    ASSERT_TRUE(Start());
    ShowBank(1);
    QMimeData broken;
    // One element announced, then a class record naming a class of nobody's.
    broken.setData(PatchMime::MimeType(), QByteArray("\x01\x00\xFF\xFF\x01\x00\x05\x00"
                                                     "CNone",
                                                     13));
    EXPECT_EQ(Drop(broken, RowPoint(3)), Qt::IgnoreAction);
    QMimeData truncated;
    truncated.setData(PatchMime::MimeType(), QByteArray("\x02\x00\xFF\xFF", 4));
    EXPECT_EQ(Drop(truncated, RowPoint(3)), Qt::IgnoreAction);
    QMimeData empty;
    empty.setData(PatchMime::MimeType(), QByteArray("\x00\x00", 2));
    EXPECT_EQ(Drop(empty, RowPoint(3)), Qt::IgnoreAction);
    EXPECT_EQ(Doc().GetPatches().GetSize(), 0);
    EXPECT_EQ(RowText(3), QStringLiteral("[003]"));

    // Nor does it paste.
    auto* onClipboard = new QMimeData;
    onClipboard->setData(PatchMime::MimeType(), QByteArray("\x02\x00\xFF\xFF", 4));
    QApplication::clipboard()->setMimeData(onClipboard);
    ShowBank(-1);
    ASSERT_TRUE(Enabled(ID_EDIT_PASTE)); // the format is there, its content is judged on paste
    Run(ID_EDIT_PASTE);
    EXPECT_EQ(Doc().GetPatches().GetSize(), 0);
}

TEST_F(AppTest, DraggingWithinABankMovesAndTheControlKeyCopies)
{
    ASSERT_TRUE(Start());
    const std::string bank = Bank("A.SBK", {{"Piano", 0}});
    ShowBank(6);
    const auto data = Presets(bank, {{"Piano", 0}});
    ASSERT_EQ(Drop(*data, RowPoint(10)), Qt::CopyAction);

    // The drag ends on slot 20 of the same bank, as the user drops it there.
    Qt::KeyboardModifiers keys = Qt::NoModifier;
    int target = 20;
    View()->SetDragRunner([&](std::unique_ptr<QMimeData> dragged)
                          { return Drop(*dragged, RowPoint(target), Qt::LeftButton, keys); });
    SelectRows({10});
    View()->BeginDrag();
    EXPECT_EQ(RowText(10), QStringLiteral("[010]"));
    EXPECT_EQ(RowText(20), QStringLiteral("[020] Piano"));
    EXPECT_EQ(Doc().GetPatches().GetSize(), 1);
    EXPECT_EQ(Doc().GetCard().GetPresetName(6, 10), "");
    EXPECT_EQ(Doc().GetCard().GetPresetName(6, 20), "Piano");

    // With the control key held the patch is copied.
    keys = Qt::ControlModifier;
    target = 10;
    SelectRows({20});
    View()->BeginDrag();
    EXPECT_EQ(RowText(20), QStringLiteral("[020] Piano"));
    EXPECT_EQ(RowText(10), QStringLiteral("[010] Piano"));
    EXPECT_EQ(Doc().GetPatches().GetSize(), 2);
    EXPECT_EQ(Doc().GetCard().GetPresetName(6, 10), "Piano");
}

TEST_F(AppTest, DraggingASlotOfTheCardsOwnPlacesItsPresetAndLeavesTheSource)
{
    ASSERT_TRUE(Start());
    const std::string drums = Bank("DRUMS.SBK", {{"Kick", 0}, {"Snare", 7}});
    ShowBank(2);
    prompts->openFiles = {QString::fromStdString(drums)};
    Run(ID_LOAD_FILE_IN_BANK);
    ASSERT_EQ(RowText(7), QStringLiteral("[007] Snare"));

    View()->SetDragRunner([&](std::unique_ptr<QMimeData> dragged) { return Drop(*dragged, RowPoint(100)); });
    SelectRows({7});
    View()->BeginDrag(); // a move: the description is no document patch, nothing is removed
    EXPECT_EQ(RowText(7), QStringLiteral("[007] Snare"));
    EXPECT_EQ(RowText(100), QStringLiteral("[100] Snare"));
    ASSERT_EQ(Doc().GetPatches().GetSize(), 1);
    const CPatchItem* placed = Doc().GetPatches().GetItem(0);
    EXPECT_EQ(placed->GetSourceFile(), drums);
    EXPECT_EQ(placed->GetSourcePatch(), 7);
    EXPECT_TRUE(placed->IsLoaded());

    // A bank without a file of its own has nothing to place from an empty slot.
    ShowBank(9);
    SelectRows({4});
    View()->SetDragRunner([&](std::unique_ptr<QMimeData> dragged) { return Drop(*dragged, RowPoint(5)); });
    View()->BeginDrag();
    EXPECT_EQ(Doc().GetPatches().GetSize(), 1);
    EXPECT_EQ(RowText(5), QStringLiteral("[005]"));
}

TEST_F(AppTest, NothingIsDraggedOutOfTheVirtualBank)
{
    ASSERT_TRUE(Start());
    Run(ID_EDIT_NEW);
    bool ran = false;
    View()->SetDragRunner(
        [&](std::unique_ptr<QMimeData>)
        {
            ran = true;
            return Qt::MoveAction;
        });
    SelectRows({0});
    View()->BeginDrag();
    EXPECT_FALSE(ran);
    EXPECT_EQ(Doc().GetPatches().GetSize(), 1);
}

TEST_F(AppTest, ADragNearTheEdgesScrollsTheList)
{
    ASSERT_TRUE(Start());
    for (int i = 0; i < 40; ++i)
        Run(ID_EDIT_NEW);
    QApplication::processEvents();
    QAbstractItemView* list = View()->GetCurrentList();
    QScrollBar* bar = list->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 100);
    bar->setValue(60);
    const int x = list->viewport()->width() / 2;
    const int height = list->viewport()->height();
    const auto data = Presets(files.File("A.SBK"), {{"Piano", 0}});
    QDragEnterEvent enter(QPoint(x, height / 2), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    // Each move of the drag scrolls the list by a step near an edge, not in the middle.
    for (const auto& [y, value] : {std::pair{5, 40}, {height - 5, 60}, {height / 2, 60}})
    {
        QDragMoveEvent move(QPoint(x, y), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &move);
        EXPECT_EQ(bar->value(), value) << "at y " << y;
    }
}
