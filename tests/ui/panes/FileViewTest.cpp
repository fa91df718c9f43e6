#include "ui/panes/PaneFixture.h"

#include "ui/MouseDrive.h"

#include "bank/CommandIds.h"
#include "platform/StringTable.h"
#include "support/MidiFileBuilder.h"
#include "ui/panes/FileListModel.h"
#include "ui/panes/FileView.h"
#include "ui/panes/PaneMenu.h"
#include "ui/panes/PatchListModel.h"
#include "ui/panes/PatchView.h"
#include "ui/panes/SoundFontInfoDialog.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

#include <filesystem>

namespace
{
class FileViewTest : public PaneTest
{
protected:
    // Selects a row as a click would.
    void Select(CFileView& view, int row)
    {
        view.selectionModel()->select(view.GetModel()->index(row, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    int RowOf(const CFileView& view, const std::string& name)
    {
        for (int row = 0; row < view.GetModel()->rowCount(); ++row)
            if (view.GetModel()->GetEntry(row)->fileName == name)
                return row;
        return -1;
    }
    struct State
    {
        bool enabled;
    };
    State StateOf(CFileView& view, int id)
    {
        CCmdUI ui(id);
        EXPECT_TRUE(view.OnUpdateCommand(ui));
        return {ui.IsEnabled()};
    }
};

TEST_F(FileViewTest, ListsTheUsableFilesOfTheCurrentFolderSortedByName)
{
    Write("A.SBK", BankBytes({{"Piano", 0}}));
    Write("b.wav", StereoWaveBytes());
    Write("C.TMB", {});
    Write("D.TXT", {'x'});
    std::filesystem::create_directory(files.File("E.SBK")); // a folder, not a bank
    CFileView view(*document);
    const auto check = CheckModel(view.GetModel());
    EXPECT_EQ(view.GetModel()->rowCount(), 0);
    EXPECT_EQ(Heading(*view.GetModel(), 0), "Files");

    document->SetCurrentFolder(nullptr, files.Path());
    // Byte order: capitals before small letters.
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 0), (std::vector<std::string>{"A.SBK", "C.TMB", "b.wav"}));
    const std::string folderName = std::filesystem::path(files.Path()).filename().string();
    EXPECT_EQ(Heading(*view.GetModel(), 0), "'" + folderName + "'");
    EXPECT_EQ(view.GetModel()->GetEntry(0)->folder, files.Path() + "/");
    EXPECT_FALSE(view.GetModel()->data(view.GetModel()->index(0, 0), Qt::DecorationRole).isNull());

    // The same folder with a trailing separator lists the same files.
    document->SetCurrentFolder(nullptr, files.Path() + "/");
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 0), (std::vector<std::string>{"A.SBK", "C.TMB", "b.wav"}));
    EXPECT_EQ(view.GetModel()->GetEntry(2)->folder, files.Path() + "/");

    // Other hints leave the list alone; a vanished folder lists nothing.
    document->SetCurrentFile(nullptr, files.File("A.SBK"));
    EXPECT_EQ(view.GetModel()->rowCount(), 3);
    document->SetCurrentFolder(nullptr, files.File("gone"));
    EXPECT_EQ(view.GetModel()->rowCount(), 0);
    EXPECT_EQ(Heading(*view.GetModel(), 0), "'gone'");
}

TEST_F(FileViewTest, SizesAreWholeKilobytesAndSortAsNumbers)
{
    Write("a.wav", Bytes(1023));
    Write("b.wav", Bytes(1536));
    Write("c.wav", Bytes(10 * 1024 + 5));
    Write("d.wav", Bytes(9 * 1024 + 1023));
    CFileView view(*document);
    document->SetCurrentFolder(nullptr, files.Path());
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 1), (std::vector<std::string>{"0 KB", "1 KB", "10 KB", "9 KB"}));
    EXPECT_EQ(view.GetModel()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Size"));

    Q_EMIT view.header()->sectionClicked(1);
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 1), (std::vector<std::string>{"0 KB", "1 KB", "9 KB", "10 KB"}));
    Q_EMIT view.header()->sectionClicked(1);
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 1), (std::vector<std::string>{"10 KB", "9 KB", "1 KB", "0 KB"}));
    EXPECT_FALSE(view.GetSortState().IsAscending());
    Q_EMIT view.header()->sectionClicked(0);
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 0),
              (std::vector<std::string>{"a.wav", "b.wav", "c.wav", "d.wav"}));

    // The selection stays on its file through a sort.
    Select(view, RowOf(view, "c.wav"));
    Q_EMIT view.header()->sectionClicked(0);
    const QModelIndexList selected = view.selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(view.GetModel()->GetEntry(selected.first().row())->fileName, "c.wav");

    // A new folder sorts by name, ascending, whatever was sorted before.
    Q_EMIT view.header()->sectionClicked(1);
    document->SetCurrentFolder(nullptr, files.Path() + "/");
    EXPECT_EQ(view.GetSortState().GetColumn(), 0);
    EXPECT_TRUE(view.GetSortState().IsAscending());
    EXPECT_EQ(Cell(*view.GetModel(), 0, 0), "a.wav");
}

TEST_F(FileViewTest, SelectingAFileMakesItCurrentOnce)
{
    Write("A.SBK", BankBytes({{"Piano", 0}, {"Organ", 16}}));
    Write("b.wav", StereoWaveBytes());
    CFileView view(*document);
    CPatchView presets(*document);
    document->SetCurrentFolder(nullptr, files.Path());

    Select(view, RowOf(view, "A.SBK"));
    EXPECT_EQ(document->GetCurrentFile(), files.File("A.SBK"));
    EXPECT_EQ(recorder.Count(HintFile), 1);
    EXPECT_EQ(presets.GetModel()->rowCount(), 2);

    // Selecting the row of the file already current refills nothing.
    view.selectionModel()->clearSelection();
    Select(view, RowOf(view, "A.SBK"));
    EXPECT_EQ(recorder.Count(HintFile), 1);

    // A new folder keeps the current file (and the preset list) until a row is selected.
    std::filesystem::create_directory(files.File("sub"));
    Write("sub/x.wav", {});
    document->SetCurrentFolder(nullptr, files.File("sub"));
    EXPECT_EQ(document->GetCurrentFile(), files.File("A.SBK"));
    EXPECT_EQ(presets.GetModel()->rowCount(), 2);
}

TEST_F(FileViewTest, CommandsFollowTheSelectionTheFileTypeAndTheCurrentBank)
{
    const std::string bank = Write("A.SBK", BankBytes({{"Piano", 0}}, "Loaded Bank"));
    Write("b.wav", StereoWaveBytes());
    Write("C.TMB", {});
    CFileView view(*document);
    std::vector<QString> opened;
    view.SetFileOpener([&](const QString& path) { opened.push_back(path); });
    document->SetCurrentFolder(nullptr, files.Path());
    CCmdUI other(ID_EDIT_COPY);
    EXPECT_FALSE(view.OnUpdateCommand(other));

    // Nothing selected: Edit and Properties are off.
    EXPECT_FALSE(StateOf(view, ID_FILE_EDIT).enabled);
    EXPECT_FALSE(StateOf(view, ID_EDIT_PROPERTIES).enabled);

    Select(view, RowOf(view, "A.SBK"));
    EXPECT_TRUE(StateOf(view, ID_FILE_EDIT).enabled);
    EXPECT_TRUE(StateOf(view, ID_EDIT_PROPERTIES).enabled);
    // Load needs a user bank: not the document's list, not the synth bank.
    EXPECT_FALSE(StateOf(view, ID_FILE_LOAD).enabled);
    document->SetCurrentBank(nullptr, 0);
    EXPECT_FALSE(StateOf(view, ID_FILE_LOAD).enabled);
    document->SetCurrentBank(nullptr, 1);
    EXPECT_TRUE(StateOf(view, ID_FILE_LOAD).enabled);

    ASSERT_TRUE(document->GetCard().IsAvailable());
    recorder.hints.clear();
    EXPECT_TRUE(view.OnCommand(ID_FILE_LOAD));
    EXPECT_EQ(document->GetCard().GetBankFile(1), bank);
    EXPECT_EQ(recorder.hints, (std::vector<unsigned>{HintBankContent}));
    EXPECT_TRUE(document->IsModified());

    EXPECT_TRUE(view.OnCommand(ID_FILE_EDIT));
    EXPECT_EQ(opened, (std::vector<QString>{QString::fromStdString(bank)}));

    Select(view, RowOf(view, "b.wav"));
    EXPECT_FALSE(StateOf(view, ID_FILE_LOAD).enabled);
    EXPECT_TRUE(StateOf(view, ID_FILE_EDIT).enabled);
    // A double-click opens the file as Edit does.
    Q_EMIT view.doubleClicked(view.GetModel()->index(RowOf(view, "b.wav"), 0));
    EXPECT_EQ(opened.size(), 2u);

    // A bank document is neither opened nor shown.
    Select(view, RowOf(view, "C.TMB"));
    EXPECT_FALSE(StateOf(view, ID_FILE_EDIT).enabled);
    EXPECT_FALSE(StateOf(view, ID_EDIT_PROPERTIES).enabled);
    view.OnCommand(ID_FILE_EDIT);
    EXPECT_EQ(opened.size(), 2u);

    // The context menu: Load, Edit (default), a separator, Properties.
    QMenu* menu = view.GetContextMenu().Prepare();
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("&Load"));
    EXPECT_TRUE(menu->actions()[2]->isSeparator());
    EXPECT_EQ(menu->actions()[3]->text(), QStringLiteral("&Properties ..."));
    EXPECT_EQ(menu->defaultAction(), view.GetContextMenu().GetAction(ID_FILE_EDIT));
    EXPECT_FALSE(menu->actions()[1]->isEnabled());
    Select(view, RowOf(view, "A.SBK"));
    view.GetContextMenu().Prepare();
    EXPECT_TRUE(menu->actions()[1]->isEnabled());
    menu->actions()[1]->trigger();
    EXPECT_EQ(opened.size(), 3u);
}

TEST_F(FileViewTest, PropertiesShowsTheTextsOfAValidBankOnly)
{
    SoundFontBuilder described;
    described.Info("INAM", "Synth Bank").Info("IPRD", "AWE32").Info("ICRD", "1996").Info("IENG", "R. Avell");
    described.Info("ICOP", "(c) Ravell").Info("ICMT", "First line\r\nSecond line").SampleData(512);
    described.AddPreset("Piano", 0, 0, {described.AddInstrument("I", {described.AddSample(0, 10)})});
    const std::string synth = Write("SYNTH.SBK", described.Build());
    Bytes plain = BankBytes({{"Piano", 0}});
    SoundFontBuilder noInfo;
    noInfo.SampleData(512).Drop("INFO");
    noInfo.AddPreset("Piano", 0, 0, {noInfo.AddInstrument("I", {noInfo.AddSample(0, 10)})});
    Write("NOINFO.SBK", noInfo.Build());
    Write("BROKEN.SBK", Bytes(plain.begin(), plain.begin() + 200));
    Write("w.wav", StereoWaveBytes());

    CFileView view(*document);
    int runs = 0;
    std::vector<std::string> fields;
    std::string caption;
    int commentLines = 0;
    view.SetInfoDialogRunner(
        [&](CSoundFontInfoDialog& dialog)
        {
            ++runs;
            dialog.show();
            fields = {dialog.GetNameEdit()->text().toStdString(),
                      dialog.GetProductEdit()->text().toStdString(),
                      dialog.GetDateEdit()->text().toStdString(),
                      dialog.GetEngineerEdit()->text().toStdString(),
                      dialog.GetCopyrightEdit()->text().toStdString(),
                      dialog.GetCommentEdit()->toPlainText().toStdString()};
            commentLines = dialog.GetCommentEdit()->document()->blockCount();
            caption = dialog.windowTitle().toStdString();
            EXPECT_TRUE(dialog.GetNameEdit()->isReadOnly());
            EXPECT_TRUE(dialog.GetCommentEdit()->isReadOnly());
            dialog.close();
        });
    document->SetCurrentFolder(nullptr, files.Path());

    Select(view, RowOf(view, "SYNTH.SBK"));
    view.OnCommand(ID_EDIT_PROPERTIES);
    ASSERT_EQ(runs, 1);
    EXPECT_EQ(fields, (std::vector<std::string>{"Synth Bank", "AWE32", "1996", "R. Avell", "(c) Ravell",
                                                "First line\nSecond line"}));
    EXPECT_EQ(commentLines, 2);
    EXPECT_EQ(caption, "Info on 'SYNTH'");

    Select(view, RowOf(view, "NOINFO.SBK"));
    view.OnCommand(ID_EDIT_PROPERTIES);
    ASSERT_EQ(runs, 2);
    EXPECT_EQ(fields, std::vector<std::string>(6));

    // A wave file and a bank that does not read show nothing.
    Select(view, RowOf(view, "w.wav"));
    view.OnCommand(ID_EDIT_PROPERTIES);
    Select(view, RowOf(view, "BROKEN.SBK"));
    view.OnCommand(ID_EDIT_PROPERTIES);
    EXPECT_EQ(runs, 2);
}

TEST_F(FileViewTest, ColumnsFitTheirNamesUntilTheUserSizesThem)
{
    const std::string longName = "A_RATHER_LONG_NAME_FOR_A_SOUNDFONT_BANK_OF_STRINGS.SBK";
    Write(longName, BankBytes({{"P", 0}}));
    {
        CFileView view(*document);
        view.resize(700, 300);
        view.show();
        view.FillFromFolder(files.Path());
        // The whole name shows; the size column takes what is left.
        const int nameWidth = view.fontMetrics().horizontalAdvance(QString::fromStdString(longName));
        EXPECT_GT(view.header()->sectionSize(0), nameWidth);
        EXPECT_GE(view.header()->sectionSize(1), view.header()->sectionSizeHint(1));
        // In a pane too narrow for both, the name gives way, not the size.
        view.resize(220, 300);
        QApplication::processEvents();
        EXPECT_LT(view.header()->sectionSize(0), nameWidth);
        EXPECT_LE(view.header()->sectionViewportPosition(1) + view.header()->sectionSizeHint(1),
                  view.viewport()->width());
    }
    // Widths the program chose are not the user's: nothing is kept.
    EXPECT_EQ(Profile::GetProfileNumber(IDS_PROFILE_DISPLAY, QStringLiteral("FileView.ColumnWidth0"), -1),
              -1);
    {
        CFileView view(*document);
        view.resize(700, 300);
        view.show();
        view.FillFromFolder(files.Path());
        DragColumnDivider(view.header(), 0, 150);
        EXPECT_EQ(view.header()->sectionSize(0), 150);
        // A fill after the user's choice keeps it.
        view.FillFromFolder(files.Path());
        EXPECT_EQ(view.header()->sectionSize(0), 150);
    }
    EXPECT_EQ(Profile::GetProfileNumber(IDS_PROFILE_DISPLAY, QStringLiteral("FileView.ColumnWidth0"), 0),
              150);
    CFileView again(*document);
    again.FillFromFolder(files.Path());
    EXPECT_EQ(again.header()->sectionSize(0), 150);
}
} // namespace

TEST_F(FileViewTest, SongsShowTheirLengthAndADoubleClickPlaysThem)
{
    // 90 seconds at 120 bpm; a damaged song shows its size instead.
    MidiTrackBuilder track;
    track.NoteOn(0, 60).Wait(96 * 180).NoteOff(0, 60);
    Write("song.mid", MidiFileBuilder().Format(0).Division(96).Track(track).Build());
    Write("karaoke.KAR",
          MidiFileBuilder().Format(0).Division(96).Track(MidiTrackBuilder().Wait(96 * 2)).Build());
    Write("broken.rmi", Bytes(2048, 'x'));
    Write("a.wav", Bytes(10));
    CFileView view(*document);
    std::vector<QString> played;
    view.SetSongPlayer([&](const QString& path) { played.push_back(path); });
    std::vector<QString> opened;
    view.SetFileOpener([&](const QString& path) { opened.push_back(path); });
    document->SetCurrentFolder(nullptr, files.Path());
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 0),
              (std::vector<std::string>{"a.wav", "broken.rmi", "karaoke.KAR", "song.mid"}));
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 1), (std::vector<std::string>{"0 KB", "2 KB", "0:01", "1:30"}));

    // The song is played, not handed to the desktop; a wave still is.
    Select(view, RowOf(view, "song.mid"));
    Q_EMIT view.doubleClicked(view.GetModel()->index(RowOf(view, "song.mid"), 0));
    ASSERT_EQ(played.size(), 1u);
    EXPECT_TRUE(played[0].endsWith(QStringLiteral("song.mid")));
    EXPECT_TRUE(opened.empty());
    Select(view, RowOf(view, "a.wav"));
    Q_EMIT view.doubleClicked(view.GetModel()->index(RowOf(view, "a.wav"), 0));
    EXPECT_EQ(played.size(), 1u);
    EXPECT_EQ(opened.size(), 1u);
}
