#include "soundfont/SampleServices.h"

#include "soundfont/CompressedSampleEncoder.h"

#include <atomic>

namespace
{
std::atomic<ISampleServices*> installed{nullptr};
}

ISampleServices* GetSampleServices()
{
    return installed.load();
}

void SetSampleServices(ISampleServices* services)
{
    installed.store(services);
}

namespace
{
std::atomic<const ICompressedSampleEncoder*> defaultEncoder{nullptr};
}

void SetDefaultSampleEncoder(const ICompressedSampleEncoder* encoder)
{
    defaultEncoder.store(encoder);
}

const ICompressedSampleEncoder* GetDefaultSampleEncoder()
{
    return defaultEncoder.load();
}
