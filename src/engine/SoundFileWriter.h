#pragma once
// Rendered sound written as 16-bit stereo through libsndfile: FLAC when the
// file's name ends in .flac, a wave file otherwise. The sound goes to a
// temporary file beside the target, renamed over it by Commit; a writer
// destroyed uncommitted removes it, so a failed or cancelled render never
// leaves a half-written file.

#include <cstddef>
#include <string>
#include <vector>

class CSoundFileWriter
{
public:
    CSoundFileWriter() = default;
    ~CSoundFileWriter();
    CSoundFileWriter(const CSoundFileWriter&) = delete;
    CSoundFileWriter& operator=(const CSoundFileWriter&) = delete;

    bool Open(const std::string& path, int sampleRate, std::string& error);
    bool Write(const float* left, const float* right, std::size_t frames);
    bool Commit(std::string& error);

    static bool IsFlacName(const std::string& path);

private:
    void Discard();

    std::string target;
    std::string temp;
    void* file = nullptr; // SNDFILE*
    int descriptor = -1;
    std::vector<float> interleaved;
};
