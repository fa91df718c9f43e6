#include "media/SoxrResampler.h"

#include <soxr.h>

#include <cmath>

std::unique_ptr<CSoxrResampler> CSoxrResampler::Make(double fromRate, double toRate)
{
    if (!(fromRate > 0) || !(toRate > 0) || !std::isfinite(fromRate) || !std::isfinite(toRate))
        return nullptr;
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    // One thread: the machine's other cores belong to the window and the card.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_t state = soxr_create(fromRate, toRate, 1, &error, &io, &quality, &runtime);
    if (error || !state)
    {
        soxr_delete(state);
        return nullptr;
    }
    return std::unique_ptr<CSoxrResampler>(new CSoxrResampler(state, toRate / fromRate));
}

CSoxrResampler::~CSoxrResampler()
{
    soxr_delete(state);
}

bool CSoxrResampler::Process(const float* in, std::size_t count, bool last, std::vector<float>& out)
{
    // Room for what count points make, and a margin for what the filter held back.
    const std::size_t room = static_cast<std::size_t>(std::ceil(static_cast<double>(count) * ratio)) + 64;
    std::size_t used = 0;
    while (used < count || last)
    {
        const std::size_t at = out.size();
        out.resize(at + room);
        std::size_t took = 0;
        std::size_t made = 0;
        // A null input tells libsoxr that the input has ended.
        const float* input = used < count ? in + used : nullptr;
        const soxr_error_t error =
            soxr_process(state, input, count - used, &took, out.data() + at, room, &made);
        out.resize(at + made);
        if (error)
            return false;
        used += took;
        if (used >= count && (!last || made == 0))
            break;
        if (took == 0 && made == 0 && input)
            return false; // no progress: never loop for ever
    }
    return true;
}
