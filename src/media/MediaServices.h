#pragma once
// The sample services of the programs: libsoxr resamples, libsndfile reads
// AIFF, FLAC and Ogg Vorbis files, libvorbisfile decodes SoundFont 3 samples.
// Programs call InstallMediaServices once at start, before any file is read.

#include "soundfont/SampleServices.h"

#include <memory>

class CMediaServices final : public ISampleServices
{
public:
    std::unique_ptr<IResampler> MakeResampler(double fromRate, double toRate) override;
    std::unique_ptr<ISampleDecoder> OpenDecoder(IByteSource& source, std::string& error) override;
};

// Makes the services of this process the media library's, its Vorbis
// decoder every SoundFont reader's default and its Vorbis encoder every
// SoundFont writer's (idempotent).
void InstallMediaServices();
