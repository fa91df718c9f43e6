#include "ui/PatchMimeData.h"
#include "bank/PatchItem.h"
#include "bank/PatchItemListGuard.h"
#include "support/PatchFixtures.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>

TEST(PatchMimeData, RoundTripsThroughTheClipboardWithTheMarkerText)
{
    CPatchItemList out;
    CPatchItemListGuard outGuard(out);
    AddPatch(out, "Piano", 0, 5, 1);
    AddPatch(out, "Strings", 48, 6, 1);
    PatchMime::PutOnClipboard(out);

    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("Tamberly Clipboard Object"));
    // The private bytes are the clipboard stream: 2 patches, the class record, the class number 1 later.
    const QByteArray bytes = data->data(PatchMime::MimeType());
    ASSERT_GE(bytes.size(), 4);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_TRUE(bytes.contains(QByteArray("\x01\x80", 2)));

    CPatchItemList in;
    CPatchItemListGuard inGuard(in);
    ASSERT_TRUE(PatchMime::PasteFromClipboard(in));
    ASSERT_EQ(in.GetSize(), 2);
    EXPECT_EQ(in.GetItem(1)->GetName(), "Strings");
    EXPECT_EQ(in.GetItem(1)->GetSourcePatch(), 48);
    EXPECT_EQ(in.GetItem(0)->GetTargetPatch(), 5);
    EXPECT_FALSE(in.GetItem(0)->IsLoaded());
}

TEST(PatchMimeData, ForeignTextOrDamagedBytesGiveNothing)
{
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    AddPatch(list, "Stale", 1, 1, 1); // must be gone after a failed read

    auto text = std::make_unique<QMimeData>();
    text->setText(QStringLiteral("Tamberly Clipboard Object"));
    EXPECT_FALSE(PatchMime::HasPatches(text.get()));
    EXPECT_FALSE(PatchMime::ReadMimeData(text.get(), list));
    EXPECT_EQ(list.GetSize(), 0);

    CPatchItemList one;
    CPatchItemListGuard oneGuard(one);
    AddPatch(one, "Piano", 0, 5, 1);
    std::unique_ptr<QMimeData> good(PatchMime::CreateMimeData(one));
    QByteArray bytes = good->data(PatchMime::MimeType());
    for (qsizetype cut = 0; cut < bytes.size(); ++cut)
    {
        auto damaged = std::make_unique<QMimeData>();
        damaged->setData(PatchMime::MimeType(), bytes.left(cut));
        EXPECT_FALSE(PatchMime::ReadMimeData(damaged.get(), list)) << cut;
        EXPECT_EQ(list.GetSize(), 0) << cut;
    }
    bytes[8] = 'c'; // "cPatchItem": a class the program does not have
    auto wrongClass = std::make_unique<QMimeData>();
    wrongClass->setData(PatchMime::MimeType(), bytes);
    EXPECT_FALSE(PatchMime::ReadMimeData(wrongClass.get(), list));
}
