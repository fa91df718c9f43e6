// SoundFont 2 and 3 banks in the panes: listed beside .sbk files with their
// own type, their presets with bank numbers, and their later INFO texts.

#include "ui/panes/PaneFixture.h"

#include "bank/CommandIds.h"
#include "ui/panes/FileListModel.h"
#include "ui/panes/FileView.h"
#include "ui/panes/PatchListModel.h"
#include "ui/panes/PatchView.h"
#include "ui/panes/SoundFontInfoDialog.h"

#include <QLineEdit>

namespace
{
using SoundFont2PanesTest = PaneTest;

// A version 2 bank: a piano in banks 0 and 8 and a drum kit, all program 0.
Bytes Version2Bank()
{
    SoundFontBuilder bank;
    bank.Version(2, 4).Info("INAM", "Two").Info("isng", "EMU8000").Info("ISFT", "Polyphone");
    bank.Insert("INFO", "irom", TextZ("1MGM")).Insert("INFO", "iver", {1, 0, 2, 0});
    bank.SampleData(1000);
    const int piano = bank.AddInstrument("Piano", {bank.AddSample(0, 100)});
    bank.AddPreset("Piano", 0, 0, {piano});
    bank.AddPreset("Kit", 0, 128, {piano});
    bank.AddPreset("Piano Var", 0, 8, {piano});
    return bank.Build();
}
} // namespace

TEST_F(SoundFont2PanesTest, FileListShowsEveryVersionWithItsOwnType)
{
    Write("A.SBK", BankBytes({{"Piano", 0}}));
    Write("b.sf2", Version2Bank());
    Write("c.SF3", Version2Bank());
    Write("d.dls", {'R', 'I', 'F', 'F'});
    CFileView view(*document);
    const auto check = CheckModel(view.GetModel());
    document->SetCurrentFolder(nullptr, files.Path());
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 0), (std::vector<std::string>{"A.SBK", "b.sf2", "c.SF3"}));
    const auto type = [&](int row) {
        return view.GetModel()
            ->data(view.GetModel()->index(row, 0), Qt::ToolTipRole)
            .toString()
            .toStdString();
    };
    EXPECT_EQ(type(0), "SoundFont 1 bank");
    EXPECT_EQ(type(1), "SoundFont 2 bank");
    EXPECT_EQ(type(2), "SoundFont 3 bank (compressed samples)");

    // A SoundFont 2 is a bank file for a user bank like any other.
    document->SetCurrentBank(nullptr, 3);
    view.selectionModel()->select(view.GetModel()->index(1, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    CCmdUI load(ID_FILE_LOAD);
    ASSERT_TRUE(view.OnUpdateCommand(load));
    EXPECT_TRUE(load.IsEnabled());
}

TEST_F(SoundFont2PanesTest, PresetListShowsBankNumbersAndTheDialogTheLaterTexts)
{
    const std::string path = Write("b.sf2", Version2Bank());
    Write("A.SBK", BankBytes({{"Piano", 0}}));
    CPatchView patches(*document);
    const auto check = CheckModel(patches.GetModel());
    document->SetCurrentFile(nullptr, path);
    // Sorted by number: bank 0 first, the bank in the high half after.
    EXPECT_EQ(ColumnTexts(*patches.GetModel(), 1), (std::vector<std::string>{"0", "8:0", "128:0"}));
    EXPECT_EQ(ColumnTexts(*patches.GetModel(), 0),
              (std::vector<std::string>{"Piano", "Piano Var", "Drum Patch 1"}));
    EXPECT_EQ(Cell(*patches.GetModel(), 0, 3), "200");

    CFileView view(*document);
    std::vector<std::string> later;
    view.SetInfoDialogRunner(
        [&](CSoundFontInfoDialog& dialog)
        {
            dialog.show();
            for (QLineEdit* field : {dialog.GetVersionEdit(), dialog.GetEngineEdit(), dialog.GetRomEdit(),
                                     dialog.GetSoftwareEdit()})
            {
                later.push_back(field->text().toStdString());
                EXPECT_TRUE(field->isVisible());
            }
            dialog.close();
        });
    document->SetCurrentFolder(nullptr, files.Path());
    ASSERT_EQ(ColumnTexts(*view.GetModel(), 0), (std::vector<std::string>{"A.SBK", "b.sf2"}));
    view.selectionModel()->select(view.GetModel()->index(1, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view.OnCommand(ID_EDIT_PROPERTIES);
    EXPECT_EQ(later, (std::vector<std::string>{"2.04", "EMU8000", "1MGM 1.02", "Polyphone"}));

    // A SoundFont 1 bank's dialog keeps its six fields only.
    bool shown = false;
    view.SetInfoDialogRunner(
        [&](CSoundFontInfoDialog& dialog)
        {
            dialog.show();
            shown = true;
            EXPECT_FALSE(dialog.GetVersionEdit()->isVisible());
            EXPECT_FALSE(dialog.GetSoftwareEdit()->isVisible());
            dialog.close();
        });
    view.selectionModel()->select(view.GetModel()->index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view.OnCommand(ID_EDIT_PROPERTIES);
    EXPECT_TRUE(shown);
}
