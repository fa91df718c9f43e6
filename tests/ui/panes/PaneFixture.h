#pragma once
// What the pane tests share: a document on the emulated card in a home of its
// own, an empty profile, and sound files written into a temporary folder.

#include "bank/PatchItemList.h"
#include "bank/TamberlyDoc.h"
#include "platform/RegistryStore.h"
#include "support/RiffBuilder.h"
#include "support/ScopedCardHome.h"
#include "support/SoundFontBuilder.h"
#include "support/WaveBuilder.h"
#include "synth/AweSession.h"
#include "ui/Profile.h"

#include <QAbstractItemModelTester>
#include <QModelIndex>
#include <QSettings>
#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct FixturePreset
{
    std::string name;
    std::uint16_t number;
    std::uint16_t bank = 0;
};

// A small valid bank: one sample, one instrument, the given presets in file order.
inline Bytes BankBytes(const std::vector<FixturePreset>& presets,
                       const std::string& bankName = "Fixture Bank")
{
    SoundFontBuilder bank;
    bank.Info("INAM", bankName).SampleData(4096);
    const int sample = bank.AddSample(0, 100);
    const int instrument = bank.AddInstrument("Instrument", {sample});
    for (const FixturePreset& preset : presets)
        bank.AddPreset(preset.name, preset.number, preset.bank, {instrument});
    return bank.Build();
}

inline Bytes StereoWaveBytes()
{
    return WaveBuilder()
        .Channels(2)
        .Rate(44100)
        .Bits(16)
        .Frames(64, [](std::size_t, unsigned) { return 0; })
        .Build();
}

// Records the hints the document sends.
class HintRecorder : public IDocumentObserver
{
public:
    void OnUpdate(IDocumentObserver*, unsigned hint, const CPatchItemList*) override
    {
        hints.push_back(hint);
    }
    int Count(unsigned hint) const
    {
        int n = 0;
        for (unsigned h : hints)
            n += h == hint;
        return n;
    }
    std::vector<unsigned> hints;
};

class PaneTest : public ::testing::Test
{
protected:
    PaneTest()
    {
        Profile::Settings().clear();
        document = std::make_unique<CTamberlyDoc>(
            std::make_unique<CAweSession>(TAMBERLY_AWEMAN_PATH, CRegistryStore(cardHome.Path())));
        document->AddObserver(&recorder);
    }
    ~PaneTest() override
    {
        document->RemoveObserver(&recorder);
        document.reset();
        Profile::Settings().clear();
    }

    std::string Write(const std::string& name, const Bytes& bytes) const { return files.Write(name, bytes); }

    ScopedCardHome cardHome;
    TempDir files;
    std::unique_ptr<CTamberlyDoc> document;
    HintRecorder recorder;
};

// Qt's model checker on model while the result lives: a fault it finds ends
// the test program with the checker's message.
inline std::unique_ptr<QAbstractItemModelTester> CheckModel(QAbstractItemModel* model)
{
    using Mode = QAbstractItemModelTester::FailureReportingMode;
    return std::make_unique<QAbstractItemModelTester>(model, Mode::Fatal);
}

// The text a model shows in a cell.
inline std::string Cell(const QAbstractItemModel& model, int row, int column)
{
    return model.data(model.index(row, column), Qt::DisplayRole).toString().toStdString();
}

inline std::vector<std::string> ColumnTexts(const QAbstractItemModel& model, int column)
{
    std::vector<std::string> texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts.push_back(Cell(model, row, column));
    return texts;
}

inline std::string Heading(const QAbstractItemModel& model, int column)
{
    return model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toStdString();
}
