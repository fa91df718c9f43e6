#pragma once
// One channel resampled by libsoxr at its high quality (a passband flat to
// 91% of the lower Nyquist rate, about 98 dB of rejection: more than the 16
// bits the card's samples keep).

#include "soundfont/SampleServices.h"

#include <memory>

struct soxr;

class CSoxrResampler final : public IResampler
{
public:
    // Null when libsoxr refuses the rates.
    static std::unique_ptr<CSoxrResampler> Make(double fromRate, double toRate);
    ~CSoxrResampler() override;
    CSoxrResampler(const CSoxrResampler&) = delete;
    CSoxrResampler& operator=(const CSoxrResampler&) = delete;

    bool Process(const float* in, std::size_t count, bool last, std::vector<float>& out) override;

private:
    CSoxrResampler(soxr* state, double ratio) : state(state), ratio(ratio) {}
    soxr* state;
    double ratio; // output points per input point
};
