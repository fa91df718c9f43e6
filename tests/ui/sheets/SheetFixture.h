#pragma once
// A real document on the emulated card (the card home is the test run's
// own), with SoundFont banks written in a temporary folder, for the sheets
// that carry their changes to the document and the card.

#include "bank/DocumentObserver.h"
#include "bank/PatchItem.h"
#include "bank/PatchItemList.h"
#include "bank/PatchItemListGuard.h"
#include "bank/TamberlyDoc.h"
#include "support/PatchFixtures.h"
#include "support/RiffBuilder.h"
#include "support/SoundFontBuilder.h"
#include "synth/AweSession.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CountingObserver : public IDocumentObserver
{
public:
    void OnUpdate(IDocumentObserver*, unsigned, const CPatchItemList*) override { ++updates; }
    int updates = 0;
};

class SheetDocumentTest : public ::testing::Test
{
protected:
    SheetDocumentTest() : doc(std::make_unique<CTamberlyDoc>())
    {
        EXPECT_TRUE(doc->OnNewDocument()) << doc->GetErrorMessage();
        doc->AddObserver(&observer);
    }
    ~SheetDocumentTest() override
    {
        EXPECT_EQ(doc->CheckConsistency(), "");
        doc->RemoveObserver(&observer);
        doc->OnCloseDocument();
    }

    CAweSession& Card() { return doc->GetCard(); }

    // A SoundFont bank of presets (name, number), each with its own sample.
    std::string Bank(const std::string& name, const std::vector<std::pair<std::string, int>>& presets)
    {
        SoundFontBuilder bank;
        bank.Info("INAM", name).SampleData(16 * 1024);
        std::uint32_t start = 0;
        for (const auto& [preset, number] : presets)
        {
            const int sample = bank.AddSample(start, start + 512);
            start += 512;
            bank.AddPreset(preset, static_cast<std::uint16_t>(number), 0,
                           {bank.AddInstrument(preset, {sample})});
        }
        return files.Write(name, bank.Build());
    }

    // Puts a patch into the document (loaded on the card) and returns the document's patch.
    CPatchItem* Place(const std::string& name, const std::string& file, int source, int bank, int slot)
    {
        CPatchItemList list;
        CPatchItemListGuard guard(list);
        CPatchItem* item = AddFilePatch(list, name, file, source, bank, slot);
        EXPECT_TRUE(doc->AddPatches(nullptr, list));
        EXPECT_TRUE(item->IsLoaded());
        doc->SetModifiedFlag(false);
        observer.updates = 0;
        return item;
    }

    // The user leaves an edit after typing text into it.
    static void TypeAndLeave(QLineEdit* edit, const QString& text)
    {
        edit->setText(text);
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(edit, &leave);
    }

    TempDir files;
    CountingObserver observer;
    std::unique_ptr<CTamberlyDoc> doc;
};
