#include "engine/SoundFileWriter.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
SNDFILE* Handle(void* file)
{
    return static_cast<SNDFILE*>(file);
}
} // namespace

CSoundFileWriter::~CSoundFileWriter()
{
    Discard();
}

bool CSoundFileWriter::IsFlacName(const std::string& path)
{
    if (path.size() < 5)
        return false;
    std::string end = path.substr(path.size() - 5);
    std::transform(end.begin(), end.end(), end.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return end == ".flac";
}

bool CSoundFileWriter::Open(const std::string& path, int sampleRate, std::string& error)
{
    Discard();
    target = path;
    std::string pattern = std::string(path).append(".XXXXXX");
    descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0)
    {
        error = std::string("cannot be written: ").append(std::strerror(errno));
        return false;
    }
    temp = pattern;
    // mkstemp makes the file private; a saved song is as readable as any other file the user saves.
    ::fchmod(descriptor, 0644);
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = (IsFlacName(path) ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    file = sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE);
    if (!file)
    {
        error = std::string("cannot be written: ").append(sf_strerror(nullptr));
        Discard();
        return false;
    }
    // Loud passages clip rather than wrap around.
    sf_command(Handle(file), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool CSoundFileWriter::Write(const float* left, const float* right, std::size_t frames)
{
    if (!file)
        return false;
    interleaved.resize(2 * frames);
    for (std::size_t i = 0; i < frames; ++i)
    {
        interleaved[2 * i] = left[i];
        interleaved[2 * i + 1] = right[i];
    }
    return sf_writef_float(Handle(file), interleaved.data(), static_cast<sf_count_t>(frames)) ==
           static_cast<sf_count_t>(frames);
}

bool CSoundFileWriter::Commit(std::string& error)
{
    if (!file)
    {
        error = "nothing to write";
        return false;
    }
    const int closed = sf_close(Handle(file));
    file = nullptr;
    if (closed != 0 || ::fsync(descriptor) != 0 || ::close(descriptor) != 0)
    {
        descriptor = -1;
        error = "cannot be written (disk full?)";
        Discard();
        return false;
    }
    descriptor = -1;
    if (std::rename(temp.c_str(), target.c_str()) != 0)
    {
        error = std::string("cannot be written: ").append(std::strerror(errno));
        Discard();
        return false;
    }
    temp.clear();
    return true;
}

void CSoundFileWriter::Discard()
{
    if (file)
        sf_close(Handle(file));
    file = nullptr;
    if (descriptor >= 0)
        ::close(descriptor);
    descriptor = -1;
    if (!temp.empty())
        ::unlink(temp.c_str());
    temp.clear();
}
