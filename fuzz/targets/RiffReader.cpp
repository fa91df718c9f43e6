// RIFF chunk navigation: a script from the first bytes of the input descends
// into, ascends out of, reads and seeks through the rest of it, and every
// step is checked against the reader's promises (nothing found past the
// parent or the file, the position where the call says). Then the whole file
// is walked, written again with the RIFF writer and walked once more: the two
// walks must agree.

#include "FuzzTarget.h"

#include "platform/ByteStream.h"
#include "platform/RiffFile.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace
{
constexpr FourCC kIds[16] = {
    kFourCCRiff,        kFourCCList,        MakeFourCC("fmt "), MakeFourCC("data"),
    MakeFourCC("sfbk"), MakeFourCC("WAVE"), MakeFourCC("INFO"), MakeFourCC("pdta"),
    MakeFourCC("sdta"), MakeFourCC("phdr"), MakeFourCC("smpl"), MakeFourCC("INAM"),
    MakeFourCC("shdr"), MakeFourCC("snam"), MakeFourCC("ifil"), MakeFourCC("pgen"),
};
constexpr std::size_t kMaxDepth = 48;

struct Open
{
    CRiffChunk ck;
    std::uint64_t bound; // end of the search that found it
};

bool IsContainer(const CRiffChunk& ck)
{
    return ck.ckid == kFourCCRiff || ck.ckid == kFourCCList;
}

void CheckFound(const CRiffReader& riff, const CRiffChunk& ck, std::uint64_t bound)
{
    FUZZ_CHECK(ck.dataOffset >= 8);
    FUZZ_CHECK(ck.dataOffset <= ck.limit && ck.limit <= bound);
    FUZZ_CHECK(ck.limit <= ck.dataOffset + ck.cksize);
    FUZZ_CHECK(ck.Available() <= ck.cksize);
    FUZZ_CHECK(ck.IsWhole() == (ck.dataOffset + ck.cksize <= ck.limit));
    const bool typed = IsContainer(ck) && ck.Available() >= 4;
    FUZZ_CHECK(riff.Tell() == ck.dataOffset + (typed ? 4 : 0));
}

void RunScript(CFuzzInput& script, std::size_t steps, IByteSource& source)
{
    CRiffReader riff(source);
    std::vector<Open> stack;
    for (std::size_t step = 0; step < steps; ++step)
    {
        const std::uint8_t op = script.Byte();
        const std::uint8_t arg = op >> 3;
        switch (op & 7)
        {
        case 0:
        case 1:
        case 2:
        case 3:
        {
            // Descend inside the innermost open chunk, or (arg bit 4) at the top level.
            const auto find = static_cast<CRiffReader::Find>(op & 3);
            const Open* parent = (arg & 16) || stack.empty() ? nullptr : &stack.back();
            const std::uint64_t bound = parent ? std::min(parent->ck.limit, source.Size()) : source.Size();
            CRiffChunk ck;
            ck.ckid = kIds[arg & 15];
            ck.fccType = kIds[(arg + 4) & 15];
            const FourCC wantId = ck.ckid, wantType = ck.fccType;
            if (!riff.Descend(ck, parent ? &parent->ck : nullptr, find))
                break;
            CheckFound(riff, ck, bound);
            if (find == CRiffReader::Find::Chunk)
                FUZZ_CHECK(ck.ckid == wantId);
            if (find == CRiffReader::Find::Riff)
                FUZZ_CHECK(ck.ckid == kFourCCRiff && ck.fccType == wantType);
            if (find == CRiffReader::Find::List)
                FUZZ_CHECK(ck.ckid == kFourCCList && ck.fccType == wantType);
            if (stack.size() < kMaxDepth)
                stack.push_back({ck, bound});
            break;
        }
        case 4:
        {
            if (stack.empty())
                break;
            const Open top = stack.back();
            stack.pop_back();
            const std::uint64_t end = top.ck.dataOffset + top.ck.cksize + (top.ck.cksize & 1u);
            if (riff.Ascend(top.ck))
            {
                FUZZ_CHECK(riff.Tell() == end && end <= source.Size());
                FUZZ_CHECK(top.ck.IsWhole());
            }
            else
            {
                // Nothing more is found inside the search the chunk came from.
                FUZZ_CHECK(riff.Tell() <= source.Size());
                FUZZ_CHECK(riff.Tell() + 8 > top.bound);
            }
            break;
        }
        case 5:
        {
            const std::uint64_t before = riff.Tell();
            std::uint8_t buffer[32];
            const std::size_t want = arg;
            const bool read = riff.ReadExact(buffer, want);
            FUZZ_CHECK(read == (before + want <= source.Size()));
            if (read)
                FUZZ_CHECK(riff.Tell() == before + want);
            break;
        }
        case 6:
            // Back to the start of the innermost chunk's data, or of the file.
            FUZZ_CHECK(riff.Seek(stack.empty() ? 0 : stack.back().ck.dataOffset));
            break;
        default:
        {
            const std::uint64_t to = std::uint64_t{arg} * 4;
            FUZZ_CHECK(riff.Seek(to) == (to <= source.Size()));
            break;
        }
        }
    }
}

// The chunk tree as a walk with Find::Next sees it: a leaf keeps the bytes
// really there, a container its type and children.
struct Node
{
    FourCC id = 0;
    bool container = false;
    FourCC type = 0;
    std::vector<std::uint8_t> data;
    std::vector<Node> children;

    bool operator==(const Node&) const = default;
};

std::vector<Node> Walk(CRiffReader& riff, const CRiffChunk* parent, std::size_t depth, std::size_t& count)
{
    std::vector<Node> nodes;
    for (;;)
    {
        CRiffChunk ck;
        if (!riff.Descend(ck, parent, CRiffReader::Find::Next))
            break;
        ++count;
        Node node;
        node.id = ck.ckid;
        if (IsContainer(ck) && ck.Available() >= 4 && depth < kMaxDepth)
        {
            node.container = true;
            node.type = ck.fccType;
            node.children = Walk(riff, &ck, depth + 1, count);
        }
        else
        {
            node.data.resize(static_cast<std::size_t>(ck.Available()));
            FUZZ_CHECK(riff.Seek(ck.dataOffset) && riff.ReadExact(node.data.data(), node.data.size()));
        }
        nodes.push_back(std::move(node));
        if (!riff.Ascend(ck))
            break;
    }
    return nodes;
}

std::vector<Node> WalkAll(IByteSource& source)
{
    CRiffReader riff(source);
    FUZZ_CHECK(riff.Seek(0));
    std::size_t count = 0;
    std::vector<Node> nodes = Walk(riff, nullptr, 0, count);
    // Chunk headers never overlap, so there are no more chunks than 8-byte pieces.
    FUZZ_CHECK(count <= source.Size() / 8);
    return nodes;
}

void Write(CRiffWriter& out, const std::vector<Node>& nodes)
{
    for (const Node& node : nodes)
    {
        CRiffChunk ck;
        ck.ckid = node.id;
        ck.fccType = node.type;
        if (node.container)
        {
            FUZZ_CHECK(out.CreateChunk(ck, node.id == kFourCCRiff ? CRiffWriter::Create::Riff
                                                                  : CRiffWriter::Create::List));
            Write(out, node.children);
            FUZZ_CHECK(out.Ascend(ck));
        }
        else
        {
            FUZZ_CHECK(out.WriteChunk(node.id, node.data.data(), node.data.size()));
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput input(data, size);
    const std::size_t steps = input.Byte() % 48;
    std::vector<std::uint8_t> script(steps);
    for (auto& op : script)
        op = input.Byte();
    CMemorySource source(input.Rest(), input.RestSize());

    CFuzzInput ops(script.data(), script.size());
    RunScript(ops, steps, source);

    const std::vector<Node> tree = WalkAll(source);
    CMemorySink sink;
    CRiffWriter writer(sink);
    Write(writer, tree);
    FUZZ_CHECK(sink.Good());
    CMemorySource written(sink.Bytes());
    FUZZ_CHECK(WalkAll(written) == tree);
    return 0;
}
