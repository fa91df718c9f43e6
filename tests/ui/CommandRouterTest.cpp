#include "ui/CommandRouter.h"
#include "bank/CommandIds.h"
#include "platform/StringTable.h"
#include "ui/Profile.h"

#include <QAction>
#include <QHeaderView>
#include <QSettings>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace
{
// A target that handles a fixed set of commands and records what it ran.
class FakeTarget : public ICommandTarget
{
public:
    FakeTarget(std::vector<int> handled, bool enabled = true) : handled(std::move(handled)), enabled(enabled)
    {
    }

    bool OnCommand(int id) override
    {
        if (!Handles(id))
            return false;
        ran.push_back(id);
        return true;
    }
    bool OnUpdateCommand(CCmdUI& ui) override
    {
        if (!Handles(ui.GetId()))
            return false;
        ui.Enable(enabled);
        if (ui.GetId() == ID_SYNTH_GM)
            ui.SetCheck(true);
        return true;
    }

    std::vector<int> ran;

private:
    bool Handles(int id) const { return std::find(handled.begin(), handled.end(), id) != handled.end(); }
    std::vector<int> handled;
    bool enabled;
};
} // namespace

TEST(CommandRouter, FirstTargetInTheChainWinsAndUnclaimedCommandsAreGreyed)
{
    FakeTarget pane({ID_EDIT_DELETE});
    FakeTarget document({ID_EDIT_DELETE, ID_SYNTH_GM});
    FakeTarget frame({ID_VIEW_GENERAL_BAR}, false);
    CCommandRouter router;
    router.SetChain([&] { return std::vector<ICommandTarget*>{&pane, &document, &frame}; });

    QAction del, gm, bar, print;
    router.AddAction(ID_EDIT_DELETE, &del);
    router.AddAction(ID_SYNTH_GM, &gm);
    router.AddAction(ID_VIEW_GENERAL_BAR, &bar);
    router.AddAction(ID_FILE_PRINT, &print);

    del.trigger();
    EXPECT_EQ(pane.ran, std::vector<int>{ID_EDIT_DELETE});
    EXPECT_TRUE(document.ran.empty());

    gm.trigger();
    EXPECT_EQ(document.ran, std::vector<int>{ID_SYNTH_GM});

    router.UpdateAll();
    EXPECT_TRUE(del.isEnabled());
    EXPECT_TRUE(gm.isChecked());
    EXPECT_FALSE(bar.isEnabled());
    EXPECT_FALSE(print.isEnabled()); // nobody handles printing

    // A disabled command does not run, even when its shortcut fires before the next update.
    EXPECT_FALSE(router.Execute(ID_VIEW_GENERAL_BAR));
    EXPECT_TRUE(frame.ran.empty());
}

TEST(Profile, RectanglesAndColumnWidthsUseTheTableNames)
{
    Profile::Settings().clear();
    QRect rect(10, 20, 554, 424);
    EXPECT_FALSE(Profile::LoadWindowRect(IDS_PROFILE_DISPLAY, IDS_PROFILE_MAIN_WINDOW, rect));
    EXPECT_EQ(rect, QRect(10, 20, 554, 424));

    Profile::SaveWindowRect(IDS_PROFILE_DISPLAY, IDS_PROFILE_MAIN_WINDOW, QRect(5, 6, 100, 50));
    EXPECT_EQ(Profile::Settings().value(QStringLiteral("Display/MainWindow.Right")).toInt(), 105);
    EXPECT_EQ(Profile::Settings().value(QStringLiteral("Display/MainWindow.Bottom")).toInt(), 56);
    QRect loaded;
    EXPECT_TRUE(Profile::LoadWindowRect(IDS_PROFILE_DISPLAY, IDS_PROFILE_MAIN_WINDOW, loaded));
    EXPECT_EQ(loaded, QRect(5, 6, 100, 50));

    QTableWidget table(1, 3);
    table.horizontalHeader()->resizeSection(0, 70);
    table.horizontalHeader()->resizeSection(2, 33);
    Profile::SaveColumnWidths(IDS_PROFILE_DISPLAY, IDS_PROFILE_BANK_VIEW, table.horizontalHeader(), 3);
    EXPECT_EQ(Profile::Settings().value(QStringLiteral("Display/BankView.ColumnWidth2")).toInt(), 33);

    QTableWidget other(1, 3);
    other.horizontalHeader()->resizeSection(1, 44);
    Profile::Settings().remove(QStringLiteral("Display/BankView.ColumnWidth1"));
    Profile::LoadColumnWidths(IDS_PROFILE_DISPLAY, IDS_PROFILE_BANK_VIEW, other.horizontalHeader(), 3);
    EXPECT_EQ(other.horizontalHeader()->sectionSize(0), 70);
    EXPECT_EQ(other.horizontalHeader()->sectionSize(1), 44); // missing entry keeps the present width
    EXPECT_EQ(other.horizontalHeader()->sectionSize(2), 33);
}
