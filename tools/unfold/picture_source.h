// CPictureSource: a source filter with one output pin that delivers pictures the host gives it, as
// uncompressed RGB32 video (bytes blue, green, red, unused; rows bottom-up), the input the expansion
// filter takes from a camera's decompressor. The host calls Deliver from its own thread; nothing is
// sent unless the graph runs.
#pragma once

#include <streams.h>

#include "tools/image/image.h"

namespace tools::unfold {

class CPictureSource : public CBaseFilter {
public:
    // Pictures of width x height pixels at `framesPerSecond`.
    CPictureSource(uint32_t width, uint32_t height, int framesPerSecond);
    ~CPictureSource() override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    IPin* OutputPin();

    // Sends one picture (of the declared size) downstream, stamped with no time.
    HRESULT Deliver(const image::Image& picture);

private:
    class Pin;

    CCritSec m_lock;
    CMediaType m_type;
    Pin* m_pin;
};

} // namespace tools::unfold
