#include "ui/PatchMimeData.h"

#include "bank/ArchiveException.h"
#include "bank/ClipboardStream.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include <span>

namespace PatchMime
{
QString MimeType()
{
    return QStringLiteral("application/x-tamberly-format");
}

QMimeData* CreateMimeData(const CPatchItemList& list)
{
    auto* data = new QMimeData;
    const std::vector<std::uint8_t> bytes = CClipboardStream::Write(list);
    data->setData(MimeType(), QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                         static_cast<qsizetype>(bytes.size())));
    data->setText(QString::fromStdString(CClipboardStream::MarkerText()));
    return data;
}

bool HasPatches(const QMimeData* data)
{
    return data && data->hasFormat(MimeType());
}

bool ReadMimeData(const QMimeData* data, CPatchItemList& list)
{
    list.DeleteAll();
    if (!HasPatches(data))
        return false;
    const QByteArray bytes = data->data(MimeType());
    try
    {
        CClipboardStream::Read(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size())),
            list);
    }
    catch (const CArchiveException&)
    {
        // A payload from a damaged or foreign writer: nothing is taken.
        list.DeleteAll();
        return false;
    }
    return true;
}

void PutOnClipboard(const CPatchItemList& list)
{
    QApplication::clipboard()->setMimeData(CreateMimeData(list));
}

bool PasteFromClipboard(CPatchItemList& list)
{
    return ReadMimeData(QApplication::clipboard()->mimeData(), list);
}
} // namespace PatchMime
