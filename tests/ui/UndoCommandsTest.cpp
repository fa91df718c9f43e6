// Edit > Undo and Redo in the window: keys, menu texts, and the bank view and
// card after each step.

#include "AppFixture.h"
#include "bank/CommandIds.h"

TEST_F(AppTest, CtrlZUndoesADropAndCtrlShiftZDoesItAgain)
{
    ASSERT_TRUE(Start());
    const std::string bank = Bank("A.SBK", {{"P0", 0}, {"P1", 1}});
    ShowBank(3);
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
    EXPECT_EQ(Router().GetAction(ID_EDIT_UNDO)->text(), QStringLiteral("Can't &Undo\tCtrl+Z"));

    const auto two = Presets(bank, {{"P0", 0}, {"P1", 1}});
    ASSERT_EQ(Drop(*two, RowPoint(10)), Qt::CopyAction);
    ASSERT_EQ(Doc().GetCard().GetPresetName(3, 11), "P1");
    ASSERT_TRUE(Enabled(ID_EDIT_UNDO));
    EXPECT_EQ(Router().GetAction(ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Place 2 Patches\tCtrl+Z"));
    EXPECT_FALSE(Enabled(ID_EDIT_REDO));

    View()->GetCurrentList()->setFocus();
    QTest::keyClick(View()->GetCurrentList(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Doc().GetCard().GetPresetName(3, 10), "");
    EXPECT_EQ(Doc().GetCard().GetPresetName(3, 11), "");
    EXPECT_NE(RowText(10), QStringLiteral("[010] P0"));
    EXPECT_TRUE(Doc().GetPatches().IsEmpty());
    EXPECT_FALSE(Doc().IsModified());
    ASSERT_TRUE(Enabled(ID_EDIT_REDO));
    EXPECT_EQ(Router().GetAction(ID_EDIT_REDO)->text(),
              QStringLiteral("&Redo Place 2 Patches\tCtrl+Shift+Z"));
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO));

    QTest::keyClick(View()->GetCurrentList(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(RowText(10), QStringLiteral("[010] P0"));
    EXPECT_EQ(RowText(11), QStringLiteral("[011] P1"));
    EXPECT_EQ(Doc().GetCard().GetPresetName(3, 11), "P1");
    EXPECT_TRUE(Doc().IsModified());

    // Delete in the bank view, then Edit > Undo from the menu's action.
    SelectRows({10});
    Run(ID_EDIT_DELETE);
    EXPECT_EQ(Doc().GetCard().GetPresetName(3, 10), "");
    ASSERT_TRUE(Enabled(ID_EDIT_UNDO));
    EXPECT_EQ(Router().GetAction(ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Remove Patch\tCtrl+Z"));
    Router().GetAction(ID_EDIT_UNDO)->trigger();
    EXPECT_EQ(RowText(10), QStringLiteral("[010] P0"));
    EXPECT_EQ(Doc().GetCard().GetPresetName(3, 10), "P0");
}
