#include "bank/DocumentFile.h"

#include "bank/ArchiveReader.h"
#include "bank/ArchiveWriter.h"
#include "platform/FileException.h"

namespace
{
constexpr std::int32_t kEndOfBankFiles = -1;

bool IsUserBank(std::int32_t bank)
{
    return bank >= 1 && bank <= 127;
}
} // namespace

void CDocumentFile::WriteHeader(CArchiveWriter& archive, const Header& header)
{
    archive.WriteInt32(header.currentBank);
    archive.WriteInt32(header.synthBank);
    archive.WriteInt32(header.reverb);
    archive.WriteInt32(header.chorus);
    for (const BankFile& entry : header.bankFiles)
    {
        if (!IsUserBank(entry.bank) || entry.path.empty())
            continue;
        archive.WriteInt32(entry.bank);
        archive.WriteString(entry.path);
    }
    archive.WriteInt32(kEndOfBankFiles);
}

CDocumentFile::Header CDocumentFile::ReadHeader(CArchiveReader& archive)
{
    Header header;
    header.currentBank = archive.ReadInt32();
    if (header.currentBank < -1 || header.currentBank > 127)
        header.currentBank = -1;
    header.synthBank = archive.ReadInt32();
    header.reverb = archive.ReadInt32();
    header.chorus = archive.ReadInt32();
    for (;;)
    {
        const std::int32_t bank = archive.ReadInt32();
        if (bank == kEndOfBankFiles)
            break;
        std::string path = archive.ReadString();
        if (IsUserBank(bank) && !path.empty())
            header.bankFiles.push_back({bank, std::move(path)});
    }
    return header;
}

void CDocumentFile::SkipHeader(CArchiveReader& archive)
{
    for (int i = 0; i < 4; ++i)
        archive.ReadInt32();
    while (archive.ReadInt32() != kEndOfBankFiles)
        archive.ReadString();
}

void CDocumentFile::Store(IByteSink& sink, const Header& header, const CPatchItemList& patches,
                          const std::string& infoText)
{
    CArchiveWriter archive(sink);
    WriteHeader(archive, header);
    patches.Serialize(archive);
    archive.WriteString(infoText);
    archive.Flush();
}

bool CDocumentFile::Load(IByteSource& source, Header& header, CPatchItemList& patches, std::string& infoText)
{
    if (source.Tell() >= source.Size())
    {
        patches.DeleteAll();
        return false;
    }
    CArchiveReader archive(source);
    Header readHeader;
    try
    {
        readHeader = ReadHeader(archive);
    }
    catch (...)
    {
        patches.DeleteAll();
        throw;
    }
    patches.Serialize(archive);
    std::string readInfo;
    try
    {
        readInfo = archive.ReadString();
    }
    catch (...)
    {
        patches.DeleteAll();
        throw;
    }
    archive.Close();
    header = std::move(readHeader);
    infoText = std::move(readInfo);
    return true;
}

void CDocumentFile::ReadPatchList(const std::string& path, CPatchItemList& list)
{
    list.DeleteAll();
    CFileSource source;
    OpenForReading(source, path);
    if (source.Size() == 0)
        return;
    CArchiveReader archive(source);
    SkipHeader(archive);
    list.Serialize(archive);
}
