#pragma once
// The whole program on the offscreen platform: the application with its real
// document on the emulated card, its main frame and bank view, scripted
// answers instead of message boxes and file choosers, and recording MIDI
// devices. Each test starts from an empty profile.

#include "FakeMidiDevices.h"
#include "QtPrinters.h"
#include "app/TamberlyApp.h"
#include "app/UserPrompts.h"
#include "bank/PatchItemListGuard.h"
#include "bank/TamberlyDoc.h"
#include "support/RiffBuilder.h"
#include "support/SoundFontBuilder.h"
#include "synth/AweSession.h"
#include "ui/ItemRoles.h"
#include "ui/PatchMimeData.h"
#include "ui/Profile.h"
#include "ui/frame/BankViewModel.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/ReportList.h"
#include "ui/frame/TamberlyView.h"
#include "ui/keyboard/MidiKeyboardDlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QSettings>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

class FakePrompts final : public IUserPrompts
{
public:
    struct Script
    {
        std::vector<QString> errors;
        std::vector<QString> questions;
        std::deque<Answer> answers;    // Cancel when none is left
        std::deque<QString> openFiles; // empty (Cancel) when none is left
        std::deque<QString> saveFiles;
        std::vector<QString> openFilters;
        int missingFilesShown = 0; // times the "Missing Sound Files" window would have opened
    };
    explicit FakePrompts(std::shared_ptr<Script> script) : script(std::move(script)) {}

    void ShowError(QWidget*, const QString& text) override { script->errors.push_back(text); }
    Answer AskYesNoCancel(QWidget*, const QString& text) override
    {
        script->questions.push_back(text);
        if (script->answers.empty())
            return Answer::Cancel;
        const Answer answer = script->answers.front();
        script->answers.pop_front();
        return answer;
    }
    QString ChooseOpenFile(QWidget*, const QString&, const QString& filter) override
    {
        script->openFilters.push_back(filter);
        return Take(script->openFiles);
    }
    QString ChooseSaveFile(QWidget*, const QString&, const QString&, const QString&) override
    {
        return Take(script->saveFiles);
    }
    void ShowMissingFiles(QWidget*, CTamberlyDoc&) override { ++script->missingFilesShown; }

private:
    static QString Take(std::deque<QString>& files)
    {
        if (files.empty())
            return {};
        QString file = files.front();
        files.pop_front();
        return file;
    }
    std::shared_ptr<Script> script;
};

struct PresetSpec
{
    std::string name;
    std::uint16_t number;
    std::uint32_t points = 256; // sample points; the preset takes twice as many bytes
};

class AppTest : public ::testing::Test
{
protected:
    AppTest()
    {
        Profile::Settings().clear();
        QApplication::clipboard()->clear();
    }
    ~AppTest() override
    {
        if (app && app->GetDocument())
        {
            EXPECT_EQ(app->GetDocument()->CheckConsistency(), "");
        }
        app.reset();
    }

    // Starts the program (a new document, or the file of commandLine); the
    // window is shown and laid out.
    bool Start(CCommandLineInfo commandLine = {})
    {
        commandLine.showSplash = false; // no splash or start-up tip waiting for a click
        app = std::make_unique<CTamberlyApp>();
        app->SetPrompts(std::make_unique<FakePrompts>(prompts));
        app->SetMidiDeviceFactory([this](bool) { return std::make_unique<CFakeMidiDevices>(midi); });
        if (!app->InitInstance(commandLine))
            return false;
        // Focus follows only in the active window.
        Frame()->activateWindow();
        if (!QTest::qWaitForWindowActive(Frame(), 2000))
            ADD_FAILURE() << "the main window did not become active";
        QApplication::processEvents();
        return true;
    }
    // Ends the program as its window's close box does, then drops it.
    void Restart(const CCommandLineInfo& commandLine = {})
    {
        Frame()->close();
        app.reset();
        ASSERT_TRUE(Start(commandLine));
    }

    CTamberlyDoc& Doc() const { return *app->GetDocument(); }
    CMainFrame* Frame() const { return app->GetMainFrame(); }
    CTamberlyView* View() const { return Frame()->GetBankView(); }
    CCommandRouter& Router() const { return Frame()->GetRouter(); }

    // The command's state after an idle pass.
    bool Enabled(int id) const
    {
        app->OnIdle();
        return Router().GetAction(id)->isEnabled();
    }
    void Run(int id) const { ASSERT_TRUE(Router().Execute(id)) << "command " << id << " did not run"; }

    void ShowBank(int bank) const
    {
        View()->GetTabs()->setCurrentIndex(bank + 1);
        ASSERT_EQ(Doc().GetCurrentBank(), bank);
    }
    void SelectRows(std::initializer_list<int> rows) const
    {
        QItemSelectionModel* selection = View()->GetCurrentList()->selectionModel();
        selection->clearSelection();
        bool first = true;
        for (int row : rows)
        {
            const QModelIndex index = Rows().index(row, 0);
            if (first)
                selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
            selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            first = false;
        }
    }
    CBankViewModel& Rows() const { return *View()->GetModel(); }
    QString RowText(int row, int column = 0) const { return Rows().index(row, column).data().toString(); }
    std::vector<QString> Column(int column) const
    {
        std::vector<QString> texts;
        for (int row = 0; row < Rows().rowCount(); ++row)
            texts.push_back(RowText(row, column));
        return texts;
    }
    bool IsSelected(int row) const
    {
        return View()->GetCurrentList()->selectionModel()->isSelected(Rows().index(row, 0));
    }
    bool IsHighlighted(int row) const
    {
        return Rows().index(row, 0).data(ItemRoles::DropTargetRole).toBool();
    }
    // The "Virtual Bank" report, whichever tab shows.
    CReportList* Report() const { return View()->findChild<CReportList*>(); }
    bool ShowsReport() const { return View()->GetCurrentList() == Report(); }
    // The point of a row in its list's viewport (scrolled into view first).
    QPoint RowPoint(int row) const
    {
        QAbstractItemView* list = View()->GetCurrentList();
        const QModelIndex index = Rows().index(row, 0);
        list->scrollTo(index);
        return list->visualRect(index).center();
    }
    // A SoundFont bank written to the test's folder.
    std::string Bank(const std::string& name, const std::vector<PresetSpec>& presets)
    {
        SoundFontBuilder bank;
        std::uint32_t total = 0;
        for (const PresetSpec& preset : presets)
            total += preset.points;
        bank.Info("INAM", name).SampleData(2 * total + 1024);
        std::uint32_t start = 0;
        for (const PresetSpec& preset : presets)
        {
            const int sample = bank.AddSample(start, start + preset.points);
            start += preset.points;
            bank.AddPreset(preset.name, preset.number, 0, {bank.AddInstrument(preset.name, {sample})});
        }
        return files.Write(name, bank.Build());
    }
    // Drag data carrying presets of a bank file, as the preset list offers them.
    static std::unique_ptr<QMimeData> Presets(const std::string& file, const std::vector<PresetSpec>& presets)
    {
        CPatchItemList list;
        CPatchItemListGuard guard(list);
        for (const PresetSpec& preset : presets)
        {
            CPatchItem* item = list.AddNew();
            item->SetName(preset.name);
            item->SetSourceFile(file);
            item->SetSourcePatch(preset.number);
        }
        return std::unique_ptr<QMimeData>(PatchMime::CreateMimeData(list));
    }
    // A whole drag over the current list: enter and move at pos, then the
    // drop. The action the drop took, or IgnoreAction when it was refused.
    Qt::DropAction Drop(const QMimeData& data, QPoint pos, Qt::MouseButtons buttons = Qt::LeftButton,
                        Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                        Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction) const
    {
        QWidget* viewport = View()->GetCurrentList()->viewport();
        QDragEnterEvent enter(pos, offered, &data, buttons, modifiers);
        QApplication::sendEvent(viewport, &enter);
        if (!enter.isAccepted())
            return Qt::IgnoreAction;
        QDragMoveEvent move(pos, offered, &data, buttons, modifiers);
        QApplication::sendEvent(viewport, &move);
        if (!move.isAccepted())
        {
            QDragLeaveEvent leave;
            QApplication::sendEvent(viewport, &leave);
            return Qt::IgnoreAction;
        }
        QDropEvent drop(QPointF(pos), offered, &data, Qt::NoButton, modifiers);
        QApplication::sendEvent(viewport, &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }
    CPatchItem* Patch(const std::string& name) const
    {
        for (CPatchItem* item : Doc().GetPatches())
            if (item->GetName() == name)
                return item;
        return nullptr;
    }

    TempDir files;
    std::shared_ptr<FakePrompts::Script> prompts = std::make_shared<FakePrompts::Script>();
    std::shared_ptr<MidiLog> midi = std::make_shared<MidiLog>();
    std::unique_ptr<CTamberlyApp> app;
};
