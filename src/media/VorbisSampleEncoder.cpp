#include "media/VorbisSampleEncoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <atomic>

namespace
{
// libvorbis's state for one stream, freed whichever way the encoding ends.
class CStreamState
{
public:
    CStreamState() { vorbis_info_init(&info); }
    ~CStreamState()
    {
        if (streamReady)
            ogg_stream_clear(&stream);
        if (blockReady)
            vorbis_block_clear(&block);
        if (dspReady)
            vorbis_dsp_clear(&dsp);
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
    CStreamState(const CStreamState&) = delete;
    CStreamState& operator=(const CStreamState&) = delete;

    bool Start(std::uint32_t rate, double quality, int serial)
    {
        vorbis_comment_init(&comment);
        if (vorbis_encode_init_vbr(&info, 1, static_cast<long>(rate), static_cast<float>(quality)) != 0)
            return false;
        if (vorbis_analysis_init(&dsp, &info) != 0)
            return false;
        dspReady = true;
        if (vorbis_block_init(&dsp, &block) != 0)
            return false;
        blockReady = true;
        if (ogg_stream_init(&stream, serial) != 0)
            return false;
        streamReady = true;
        ogg_packet header, commentHeader, codeHeader;
        if (vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader) != 0)
            return false;
        ogg_stream_packetin(&stream, &header);
        ogg_stream_packetin(&stream, &commentHeader);
        ogg_stream_packetin(&stream, &codeHeader);
        // The headers on pages of their own, as decoders expect.
        ogg_page page;
        while (ogg_stream_flush(&stream, &page) != 0)
            Append(page);
        return true;
    }

    // Hands points over (none: the end) and takes every page they complete.
    bool Feed(std::span<const std::int16_t> points)
    {
        if (!points.empty())
        {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(points.size()));
            std::transform(points.begin(), points.end(), buffer[0],
                           [](std::int16_t point) { return static_cast<float>(point) / 32768.0F; });
        }
        if (vorbis_analysis_wrote(&dsp, static_cast<int>(points.size())) != 0)
            return false;
        while (vorbis_analysis_blockout(&dsp, &block) == 1)
        {
            if (vorbis_analysis(&block, nullptr) != 0 || vorbis_bitrate_addblock(&block) != 0)
                return false;
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1)
            {
                ogg_stream_packetin(&stream, &packet);
                ogg_page page;
                while (ogg_stream_pageout(&stream, &page) != 0)
                    Append(page);
            }
        }
        return true;
    }

    std::vector<std::uint8_t> Take()
    {
        ogg_page page;
        while (ogg_stream_flush(&stream, &page) != 0)
            Append(page);
        return std::move(bytes);
    }

private:
    void Append(const ogg_page& page)
    {
        bytes.insert(bytes.end(), page.header, page.header + page.header_len);
        bytes.insert(bytes.end(), page.body, page.body + page.body_len);
    }

    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_stream_state stream{};
    bool dspReady = false, blockReady = false, streamReady = false;
    std::vector<std::uint8_t> bytes;
};
} // namespace

std::optional<std::vector<std::uint8_t>>
CVorbisSampleEncoder::Encode(std::span<const std::int16_t> points, std::uint32_t rate, double quality) const
{
    // Each stream a serial number of its own: a player that chains streams
    // (or a tool that concatenates the sample data) can tell them apart.
    static std::atomic<int> serial{1};
    CStreamState state;
    if (points.empty() || rate == 0 || !state.Start(rate, std::clamp(quality, -0.1, 1.0), serial++))
        return std::nullopt;
    // In pieces: the analysis buffer grows with what is handed over at once.
    constexpr std::size_t kPiece = 4096;
    for (std::size_t at = 0; at < points.size(); at += kPiece)
    {
        if (!state.Feed(points.subspan(at, std::min(kPiece, points.size() - at))))
            return std::nullopt;
    }
    if (!state.Feed({}))
        return std::nullopt;
    return state.Take();
}

const CVorbisSampleEncoder& CVorbisSampleEncoder::Instance()
{
    static const CVorbisSampleEncoder encoder;
    return encoder;
}
