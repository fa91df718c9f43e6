#include "bank/ClipboardStream.h"

#include "bank/ArchiveReader.h"
#include "bank/ArchiveWriter.h"
#include "platform/StringTable.h"

#include <algorithm>

const std::string& CClipboardStream::FormatName()
{
    return LoadString(IDS_CLIPBOARD_FORMAT);
}

const std::string& CClipboardStream::MarkerText()
{
    return LoadString(IDS_CLIPBOARD_MARKER);
}

std::vector<std::uint8_t> CClipboardStream::MarkerBlock()
{
    std::vector<std::uint8_t> block(100, 0);
    const std::string& text = MarkerText();
    // Room for the terminating zero is kept whatever the table says.
    std::copy_n(text.begin(), std::min(text.size(), block.size() - 1), block.begin());
    return block;
}

std::vector<std::uint8_t> CClipboardStream::Write(const CPatchItemList& list)
{
    CMemorySink sink;
    CArchiveWriter archive(sink);
    list.Serialize(archive);
    archive.Flush();
    return sink.Bytes();
}

void CClipboardStream::Read(std::span<const std::uint8_t> bytes, CPatchItemList& list)
{
    CMemorySource source(bytes.data(), bytes.size());
    CArchiveReader archive(source);
    list.Serialize(archive);
}
