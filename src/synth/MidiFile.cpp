#include "synth/MidiFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace
{
constexpr std::uint8_t kMetaEvent = 0xFF;
constexpr std::uint8_t kSysEx = 0xF0;
constexpr std::uint8_t kSysExEscape = 0xF7;
constexpr std::uint8_t kMetaText = 0x01;
constexpr std::uint8_t kMetaSequenceName = 0x03;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint8_t kMetaTempo = 0x51;

std::uint32_t BigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint16_t BigEndian16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// The bytes of one track chunk, read front to back; every read is checked
// against the chunk's end.
class CTrackCursor
{
public:
    CTrackCursor(std::uint8_t* begin, const std::uint8_t* end) : at(begin), end(end) {}

    std::uint8_t* Position() const { return at; }

    bool AtEnd() const { return at >= end; }
    bool Byte(std::uint8_t& value)
    {
        if (at >= end)
            return false;
        value = *at++;
        return true;
    }
    // A variable-length quantity: at most four bytes, seven bits each.
    bool Number(std::uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i)
        {
            std::uint8_t byte = 0;
            if (!Byte(byte))
                return false;
            value = (value << 7) | (byte & 0x7F);
            if (!(byte & 0x80))
                return true;
        }
        return false;
    }
    bool Span(std::uint32_t length, std::uint8_t*& data)
    {
        if (length > static_cast<std::size_t>(end - at))
            return false;
        data = at;
        at += length;
        return true;
    }

private:
    std::uint8_t* at;
    const std::uint8_t* end;
};

int ChannelDataBytes(std::uint8_t status)
{
    const int kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// One track: its events' times, tempo changes and name; false with a reason.
bool ReadTrack(CTrackCursor track, bool first, MidiSong& song, std::string& error)
{
    std::uint64_t tick = 0;
    std::uint8_t running = 0;
    bool named = false;
    while (!track.AtEnd())
    {
        std::uint32_t delta = 0;
        std::uint8_t status = 0;
        if (!track.Number(delta) || !track.Byte(status))
        {
            error = "an event runs past the end of its track";
            return false;
        }
        tick += delta;
        if (tick > CMidiFile::kMaxTick)
        {
            error = "an event lies too far into the song (tick " + std::to_string(tick) + ")";
            return false;
        }
        song.lastTick = std::max(song.lastTick, tick);
        if (status == kMetaEvent)
        {
            running = 0;
            std::uint8_t type = 0;
            std::uint32_t length = 0;
            std::uint8_t* data = nullptr;
            if (!track.Byte(type) || !track.Number(length) || !track.Span(length, data))
            {
                error = "a meta event runs past the end of its track";
                return false;
            }
            if (type == kMetaEndOfTrack)
                return true;
            if (type == kMetaTempo)
            {
                if (length != 3)
                {
                    error = "a tempo change is " + std::to_string(length) + " bytes long, not 3";
                    return false;
                }
                const std::uint32_t tempo =
                    (std::uint32_t{data[0]} << 16) | (std::uint32_t{data[1]} << 8) | data[2];
                if (tempo == 0)
                {
                    error = "the song sets a tempo of zero";
                    return false;
                }
                song.tempos.push_back({tick, tempo});
            }
            else if (type == kMetaSequenceName && first && !named)
            {
                song.name.assign(reinterpret_cast<const char*>(data), length);
                while (!song.name.empty() && (song.name.back() == '\0' || song.name.back() == ' '))
                    song.name.pop_back();
                named = true;
            }
            continue;
        }
        if (status == kSysEx || status == kSysExEscape)
        {
            running = 0;
            std::uint8_t* const statusAt = track.Position() - 1;
            std::uint32_t length = 0;
            std::uint8_t* data = nullptr;
            if (!track.Number(length) || !track.Span(length, data))
            {
                error = "a system exclusive message runs past the end of its track";
                return false;
            }
            // FluidSynth hands a message's bytes to a playback callback only
            // for text events, so a short message becomes one in place: the
            // same bytes but the closing F7, in as many bytes as before.
            if (status == kSysEx && length >= 2 && length < 0x80)
            {
                std::memmove(statusAt + 3, statusAt + 2, length - 1);
                statusAt[0] = kMetaEvent;
                statusAt[1] = kMetaText;
                statusAt[2] = static_cast<std::uint8_t>(length - 1);
            }
            continue;
        }
        std::uint8_t data[2] = {0, 0};
        int have = 0;
        if (status < 0x80)
        {
            if (running == 0)
            {
                error = "a data byte stands where an event should start";
                return false;
            }
            data[0] = status;
            status = running;
            have = 1;
        }
        else if (status >= 0xF0)
        {
            error = "a system message that has no place in a file (status " + std::to_string(status) + ")";
            return false;
        }
        running = status;
        for (; have < ChannelDataBytes(status); ++have)
            if (!track.Byte(data[have]) || data[have] >= 0x80)
            {
                error = "a channel message is cut short";
                return false;
            }
        if ((status & 0xF0) == 0x90 && data[1] > 0)
            ++song.notes;
    }
    return true;
}

bool ReadSmf(std::vector<std::uint8_t>& bytes, MidiSong& song, std::string& error)
{
    if (bytes.size() < 14 || std::memcmp(bytes.data(), "MThd", 4) != 0)
    {
        error = "not a Standard MIDI File";
        return false;
    }
    const std::uint32_t headerLength = BigEndian32(bytes.data() + 4);
    if (headerLength < 6 || headerLength > bytes.size() - 8)
    {
        error = "the MIDI header is damaged";
        return false;
    }
    song.format = BigEndian16(bytes.data() + 8);
    const int declared = BigEndian16(bytes.data() + 10);
    const int division = BigEndian16(bytes.data() + 12);
    if (song.format > 2)
    {
        error = "unknown MIDI file format " + std::to_string(song.format);
        return false;
    }
    if (declared == 0 || declared > CMidiFile::kMaxTracks)
    {
        error = "the song has " + std::to_string(declared) + " tracks; the player takes 1 to " +
                std::to_string(CMidiFile::kMaxTracks);
        return false;
    }
    if (division & 0x8000)
    {
        error = "the song counts time in SMPTE frames, which the player does not follow";
        return false;
    }
    if (division == 0)
    {
        error = "the song has zero ticks per quarter note";
        return false;
    }
    song.division = division;

    std::size_t at = 8 + std::size_t{headerLength};
    while (song.tracks < declared)
    {
        if (bytes.size() - at < 8)
        {
            error = "the file ends after " + std::to_string(song.tracks) + " of its " +
                    std::to_string(declared) + " tracks";
            return false;
        }
        std::uint8_t* chunk = bytes.data() + at;
        const std::uint32_t length = BigEndian32(chunk + 4);
        if (length > bytes.size() - at - 8)
        {
            error = "track " + std::to_string(song.tracks + 1) + " runs past the end of the file";
            return false;
        }
        at += 8 + std::size_t{length};
        // Chunks of other kinds are skipped, as the format allows.
        if (std::memcmp(chunk, "MTrk", 4) != 0)
            continue;
        if (!ReadTrack(CTrackCursor(chunk + 8, chunk + 8 + length), song.tracks == 0, song, error))
        {
            error = "track " + std::to_string(song.tracks + 1) + ": " + error;
            return false;
        }
        ++song.tracks;
    }
    std::stable_sort(song.tempos.begin(), song.tempos.end(),
                     [](const MidiTempo& a, const MidiTempo& b) { return a.tick < b.tick; });
    if (song.tempos.empty() || song.tempos.front().tick != 0)
        song.tempos.insert(song.tempos.begin(), MidiTempo{});
    if (song.Seconds() > CMidiFile::kMaxSeconds)
    {
        error = "the song claims to last more than four hours";
        return false;
    }
    return true;
}
} // namespace

double MidiSong::SecondsAt(std::uint64_t tick) const
{
    if (division <= 0)
        return 0;
    double seconds = 0;
    for (std::size_t i = 0; i < tempos.size() && tempos[i].tick < tick; ++i)
    {
        const std::uint64_t until = i + 1 < tempos.size() ? std::min(tempos[i + 1].tick, tick) : tick;
        seconds +=
            static_cast<double>(until - tempos[i].tick) * tempos[i].microsecondsPerQuarter / division / 1e6;
    }
    return seconds;
}

std::uint64_t MidiSong::TickAt(double seconds) const
{
    if (division <= 0 || !(seconds > 0))
        return 0;
    double at = 0;
    for (std::size_t i = 0; i < tempos.size(); ++i)
    {
        const double perTick = static_cast<double>(tempos[i].microsecondsPerQuarter) / division / 1e6;
        const bool last = i + 1 == tempos.size();
        const double segment = last ? 0 : static_cast<double>(tempos[i + 1].tick - tempos[i].tick) * perTick;
        if (last || at + segment > seconds)
        {
            const double ticks = std::floor((seconds - at) / perTick);
            const double tick = static_cast<double>(tempos[i].tick) + ticks;
            return tick >= static_cast<double>(lastTick) ? lastTick : static_cast<std::uint64_t>(tick);
        }
        at += segment;
    }
    return lastTick;
}

bool CMidiFile::Read(IByteSource& source, MidiSong& song, std::string& error)
{
    song = {};
    error.clear();
    if (source.Size() > kMaxFileSize)
    {
        error = "too large for a MIDI file";
        return false;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(source.Size()));
    if (!source.Seek(0) || source.Read(bytes.data(), bytes.size()) != bytes.size())
    {
        error = "cannot be read";
        return false;
    }
    // A RIFF MIDI file: the song is the form's "data" chunk.
    if (bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
        std::memcmp(bytes.data() + 8, "RMID", 4) == 0)
    {
        std::size_t at = 12;
        bool found = false;
        while (bytes.size() - at >= 8)
        {
            const std::uint32_t length = ReadLE32(bytes.data() + at + 4);
            if (length > bytes.size() - at - 8)
                break;
            if (std::memcmp(bytes.data() + at, "data", 4) == 0)
            {
                bytes =
                    std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at + 8),
                                              bytes.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
                found = true;
                break;
            }
            // An odd-sized chunk is padded to an even size; the padding may be missing at the end.
            at += 8 + std::size_t{length} + (length & 1);
            if (at > bytes.size())
                break;
        }
        if (!found)
        {
            error = "a RIFF MIDI file without its song";
            return false;
        }
    }
    if (!ReadSmf(bytes, song, error))
    {
        const std::string reason = error;
        song = {};
        error = reason;
        return false;
    }
    song.playerBytes = std::move(bytes);
    return true;
}

bool CMidiFile::Read(const std::string& path, MidiSong& song, std::string& error)
{
    CFileSource file;
    if (!file.Open(path))
    {
        song = {};
        error = "cannot be opened";
        return false;
    }
    return Read(file, song, error);
}

bool CMidiFile::HasSongExtension(const std::string& path)
{
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return false;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "mid" || extension == "midi" || extension == "kar" || extension == "rmi";
}
