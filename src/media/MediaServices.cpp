#include "media/MediaServices.h"

#include "media/SndFileDecoder.h"
#include "media/SoxrResampler.h"
#include "media/VorbisSampleDecoder.h"
#include "media/VorbisSampleEncoder.h"

std::unique_ptr<IResampler> CMediaServices::MakeResampler(double fromRate, double toRate)
{
    return CSoxrResampler::Make(fromRate, toRate);
}

std::unique_ptr<ISampleDecoder> CMediaServices::OpenDecoder(IByteSource& source, std::string& error)
{
    return CSndFileDecoder::Open(source, error);
}

void InstallMediaServices()
{
    // Lives as long as the process: conversions may run until its very end.
    static CMediaServices services;
    SetSampleServices(&services);
    // SoundFont 3 sizes and copies are those of the decoded samples.
    InstallSampleDecoder();
    // SoundFont 3 exports compress their samples with it.
    SetDefaultSampleEncoder(&CVorbisSampleEncoder::Instance());
}
