// Drawing one frame of an expander directly on a device, for the mode tests that check viewports,
// matrices and pixels of the out buffer rather than whole pictures through the facade.
#pragma once

#include <vector>

#include "tests/engine/engine_fixture.h"

namespace mode_testing {

class ExpanderFrameTest : public engine_testing::EngineTest {
protected:
    // Sizes e for an imgW x imgH picture (a uniform grey 16 x 16 texture stands in for it) and a w x h
    // out buffer, draws one frame, and keeps the last viewport, matWVP and the output bytes (blue,
    // green, red, top row first).
    void frame(CBaseExpander& e, uint16_t w, uint16_t h, uint16_t imgW = 1440, uint16_t imgH = 1440) {
        engine_testing::Picture p(16, 16, [](int, int) { return std::array<uint8_t, 4>{200, 200, 200, 0}; });
        upload(p, 16, 16);
        ASSERT_EQ(e.SetInputSize(device.get(), imgW, imgH, 2048, 2048), S_OK);
        ASSERT_EQ(e.SetOutBufSize(device.get(), w, h), S_OK);
        output.assign(size_t(w) * h * 3, 0);
        ASSERT_EQ(e.RenderAll(context(), output.data()), S_OK);
        UINT n = 1;
        device->RSGetViewports(&n, &viewport);
        effect->GetVariableByName("matWVP")->AsMatrix()->GetMatrix(wvp.data());
        width = w;
    }
    // Green channel of an output pixel, top row first.
    int green(int x, int y) const { return output[(size_t(y) * width + x) * 3 + 1]; }

    D3D10_VIEWPORT viewport{};
    CMatrix wvp;
    std::vector<BYTE> output;
    uint16_t width = 0;
};

// The product of a few matrices, for comparing with matWVP.
inline CMatrix Product(std::initializer_list<CMatrix> ms) {
    CMatrix m;
    for (const CMatrix& x : ms) m *= x;
    return m;
}

inline void ExpectMatrixNear(const CMatrix& a, const CMatrix& b, float tolerance = 1e-5f) {
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c) EXPECT_NEAR(a.at(r, c), b.at(r, c), tolerance) << "m" << r << c;
}

} // namespace mode_testing
