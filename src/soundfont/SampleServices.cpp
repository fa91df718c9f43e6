#include "soundfont/SampleServices.h"

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
