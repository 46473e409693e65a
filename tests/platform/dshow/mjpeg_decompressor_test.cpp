// MJPEG Decompressor: its types, and frames decoded as Windows delivers them (bottom-up BGRX).
#include <cstdlib>

#include <evcode.h>

#include "platform/win32/fault_injection.h"
#include "tests/platform/dshow/camera/jpeg_frames.h"
#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"

namespace testfilters {
namespace {

using testcamera::DecodeBottomUpBgrx;
using testcamera::MakeJpeg;

constexpr LONG kWidth = 48, kHeight = 32;

CMediaType MjpgType(LONG width, LONG height) {
    return testfilters::MjpgType(width, height, 666667);
}

// The same picture coded with Huffman tables 0 and 1 trading places (each DHT table's slot and each scan
// component's selectors): the frame's tables are not the standard ones for their slots.
std::vector<uint8_t> SwapHuffmanTables(std::vector<uint8_t> jpeg) {
    size_t i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
        uint8_t marker = jpeg[i + 1];
        size_t length = size_t(jpeg[i + 2]) << 8 | jpeg[i + 3];
        if (marker == 0xC4) {
            for (size_t t = i + 4; t < i + 2 + length;) {
                jpeg[t] ^= 0x01;
                size_t codes = 0;
                for (size_t k = 1; k <= 16; ++k) codes += jpeg[t + k];
                t += 17 + codes;
            }
        } else if (marker == 0xDA) {
            for (size_t c = 0; c < jpeg[i + 4]; ++c) jpeg[i + 6 + 2 * c] ^= 0x11;
            break;
        }
        i += 2 + length;
    }
    return jpeg;
}

class MjpegDecompressorTest : public DShowTest {
protected:
    void SetUp() override {
        DShowTest::SetUp();
        decoder = Create<IBaseFilter>(CLSID_MjpegDec, IID_IBaseFilter);
        ASSERT_TRUE(decoder);
    }
    void TearDown() override {
        decoder = nullptr;
        DShowTest::TearDown();
    }
    ComPtr<IBaseFilter> decoder;
};

TEST_F(MjpegDecompressorTest, TakesMjpgAndOffersBottomUpRgb32) {
    ComPtr<IPin> in = PinOf(decoder.get(), PINDIR_INPUT), out = PinOf(decoder.get(), PINDIR_OUTPUT);
    CMediaType mjpg = MjpgType(kWidth, kHeight), rgb = VideoType(MEDIASUBTYPE_RGB32, kWidth, kHeight);
    EXPECT_EQ(in->QueryAccept(&mjpg), S_OK);
    EXPECT_EQ(in->QueryAccept(&rgb), S_FALSE);
    CMediaType empty = MjpgType(0, kHeight);
    EXPECT_EQ(in->QueryAccept(&empty), S_FALSE);

    Held<TestSource> source(new TestSource(mjpg));
    ASSERT_EQ(source->pin().Connect(in.get(), nullptr), S_OK);
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(out->EnumMediaTypes(types.put()), S_OK);
    AM_MEDIA_TYPE* offered = nullptr;
    ASSERT_EQ(types->Next(1, &offered, nullptr), S_OK);
    EXPECT_EQ(offered->subtype, MEDIASUBTYPE_RGB32);
    EXPECT_TRUE(offered->bFixedSizeSamples);
    EXPECT_EQ(offered->lSampleSize, ULONG(kWidth * kHeight * 4));
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(offered->pbFormat);
    EXPECT_EQ(vih->bmiHeader.biWidth, kWidth);
    EXPECT_EQ(vih->bmiHeader.biHeight, kHeight); // positive: bottom-up rows
    EXPECT_EQ(vih->bmiHeader.biBitCount, 32);
    EXPECT_EQ(vih->bmiHeader.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(vih->bmiHeader.biSizeImage, DWORD(kWidth * kHeight * 4));
    EXPECT_EQ(vih->AvgTimePerFrame, 666667);
    DeleteMediaType(offered);
    EXPECT_EQ(types->Next(1, &offered, nullptr), S_FALSE);

    // Downstream may ask for top-down rows; not for another size or depth.
    CMediaType topDown = VideoType(MEDIASUBTYPE_RGB32, kWidth, -kHeight);
    CMediaType wider = VideoType(MEDIASUBTYPE_RGB32, kWidth * 2, kHeight);
    CMediaType rgb24 = VideoType(MEDIASUBTYPE_RGB24, kWidth, kHeight);
    EXPECT_EQ(out->QueryAccept(&topDown), S_OK);
    EXPECT_EQ(out->QueryAccept(&wider), S_FALSE);
    EXPECT_EQ(out->QueryAccept(&rgb24), S_FALSE);
    in->Disconnect();
    source->pin().Disconnect();
}

// Good frames come out as libjpeg-turbo decodes them, bottom-up BGRX; a frame without Huffman tables
// decodes with the standard ones; damaged frames and frames of another size are dropped with one
// warning each, and the next good frame goes on (marked as a discontinuity).
TEST_F(MjpegDecompressorTest, DecodesGoodFramesAndDropsDamagedOnes) {
    setenv("UNFOLD_DEBUG", "dshow", 1); // before the first warning site runs in this process
    Held<TestSource> source(new TestSource(MjpgType(kWidth, kHeight)));
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
    graph->AddFilter(source.filter(), L"source");
    graph->AddFilter(decoder.get(), L"decoder");
    graph->AddFilter(sink.filter(), L"sink");
    ASSERT_EQ(graph->Connect(&source->pin(), PinOf(decoder.get(), PINDIR_INPUT).get()), S_OK);
    ASSERT_EQ(graph->Connect(PinOf(decoder.get(), PINDIR_OUTPUT).get(), &sink->pin()), S_OK);
    ComPtr<IMediaControl> control;
    graph.as(IID_IMediaControl, control);
    ASSERT_EQ(control->Run(), S_OK);

    std::vector<uint8_t> first = MakeJpeg(kWidth, kHeight, 1), second = MakeJpeg(kWidth, kHeight, 2);
    std::vector<uint8_t> truncated(first.begin(), first.begin() + first.size() / 2);
    std::vector<uint8_t> garbage(500, 0x5A);
    std::vector<uint8_t> corrupted = second;
    for (size_t i = corrupted.size() / 2; i < corrupted.size() / 2 + 40; ++i) corrupted[i] = 0xFF;

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(source->DeliverBytes(first, 0), S_OK);
    EXPECT_EQ(source->DeliverBytes(truncated, 333333), S_OK);
    EXPECT_EQ(source->DeliverBytes(garbage, 666666), S_OK);
    EXPECT_EQ(source->DeliverBytes(corrupted, 1000000), S_OK);
    EXPECT_EQ(source->DeliverBytes(MakeJpeg(kWidth + 16, kHeight, 3), 1333333), S_OK);
    EXPECT_EQ(source->DeliverBytes(testcamera::StripHuffmanTables(second), 1666666), S_OK);
    std::string log = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(control->Stop(), S_OK);

    size_t warnings = 0;
    for (size_t at = 0; (at = log.find("warn:dshow:", at)) != std::string::npos; ++at)
        if (log.compare(log.find(' ', at) + 1, 21, "MJPEG Decompressor: d") == 0) ++warnings;
    EXPECT_EQ(warnings, 4u) << log;

    ASSERT_EQ(sink->samples.size(), 2u);
    EXPECT_EQ(sink->samples[0].data, DecodeBottomUpBgrx(first, kWidth, kHeight));
    EXPECT_EQ(sink->samples[1].data, DecodeBottomUpBgrx(second, kWidth, kHeight));
    EXPECT_EQ(sink->samples[0].start, 0);
    EXPECT_EQ(sink->samples[1].start, 1666666);
    EXPECT_FALSE(sink->samples[0].discontinuity);
    EXPECT_TRUE(sink->samples[1].discontinuity);
    // Bottom-up: the first row in memory is the picture's last (green, which follows y, is brightest).
    EXPECT_GT(sink->samples[0].data[1], sink->samples[0].data[(kHeight - 1) * kWidth * 4 + 1]);
}

// Each frame decodes as it does on its own, whatever tables the frames before it carried: a frame
// without Huffman tables after one with tables of its own gets the standard ones, and a frame without
// quantization tables is refused, not decoded with an earlier frame's, wherever that frame's lie.
TEST_F(MjpegDecompressorTest, FramesDoNotInheritEarlierFramesTables) {
    Held<TestSource> source(new TestSource(MjpgType(kWidth, kHeight)));
    Held<RecordingSink> sink(new RecordingSink(MEDIASUBTYPE_RGB32));
    ASSERT_EQ(source->pin().Connect(PinOf(decoder.get(), PINDIR_INPUT).get(), nullptr), S_OK);
    ASSERT_EQ(PinOf(decoder.get(), PINDIR_OUTPUT)->Connect(&sink->pin(), nullptr), S_OK);
    ASSERT_EQ(sink->Pause(), S_OK);
    ASSERT_EQ(decoder->Pause(), S_OK);
    ASSERT_EQ(source->Pause(), S_OK);

    std::vector<uint8_t> own = MakeJpeg(kWidth, kHeight, 1), plain = MakeJpeg(kWidth, kHeight, 2);
    std::vector<uint8_t> tableless = testcamera::StripHuffmanTables(plain);
    std::vector<uint8_t> unquantized = testcamera::StripSegments(MakeJpeg(kWidth, kHeight, 3), 0xDB);
    EXPECT_EQ(source->DeliverBytes(SwapHuffmanTables(own), 0), S_OK);
    EXPECT_EQ(source->DeliverBytes(tableless, 333333), S_OK);
    EXPECT_EQ(source->DeliverBytes(SwapHuffmanTables(own), 666666), S_OK);
    EXPECT_EQ(source->DeliverBytes(unquantized, 1000000), S_OK);
    EXPECT_EQ(source->DeliverBytes(tableless, 1333333), S_OK);
    EXPECT_EQ(source->DeliverBytes(tableless, 1666666), S_OK);
    // Tables after an application segment claiming no bytes, which the decoder reads past: they are
    // the frame's too, and the next frame, without quantization tables, is still refused.
    std::vector<uint8_t> emptyApp = MakeJpeg(kWidth, kHeight, 4);
    emptyApp.insert(emptyApp.begin() + 2, {0xFF, 0xE0, 0x00, 0x00});
    EXPECT_EQ(source->DeliverBytes(emptyApp, 2000000), S_OK);
    EXPECT_EQ(source->DeliverBytes(unquantized, 2333333), S_OK);
    ASSERT_EQ(source->Stop(), S_OK);
    ASSERT_EQ(decoder->Stop(), S_OK);
    ASSERT_EQ(sink->Stop(), S_OK);

    ASSERT_EQ(sink->samples.size(), 6u);
    EXPECT_EQ(sink->samples[0].data, DecodeBottomUpBgrx(own, kWidth, kHeight));
    EXPECT_EQ(sink->samples[1].data, DecodeBottomUpBgrx(tableless, kWidth, kHeight));
    EXPECT_EQ(sink->samples[1].data, DecodeBottomUpBgrx(plain, kWidth, kHeight));
    EXPECT_EQ(sink->samples[2].data, sink->samples[0].data);
    EXPECT_EQ(sink->samples[3].start, 1333333); // the frame without quantization tables was dropped
    EXPECT_EQ(sink->samples[3].data, sink->samples[1].data);
    EXPECT_EQ(sink->samples[4].data, sink->samples[1].data);
    EXPECT_EQ(sink->samples[5].start, 2000000);
    EXPECT_EQ(sink->samples[5].data, DecodeBottomUpBgrx(emptyApp, kWidth, kHeight));
    PinOf(decoder.get(), PINDIR_OUTPUT)->Disconnect();
    sink->pin().Disconnect();
    PinOf(decoder.get(), PINDIR_INPUT)->Disconnect();
    source->pin().Disconnect();
}

TEST_F(MjpegDecompressorTest, StartFailureIsReported) {
    Held<TestSource> source(new TestSource(MjpgType(kWidth, kHeight)));
    ComPtr<IPin> in = PinOf(decoder.get(), PINDIR_INPUT);
    ASSERT_EQ(source->pin().Connect(in.get(), nullptr), S_OK);
    {
        platform::ScopedFault fault("MJPEG Decompressor.Start", E_OUTOFMEMORY);
        EXPECT_EQ(decoder->Pause(), E_OUTOFMEMORY);
    }
    EXPECT_EQ(decoder->Pause(), S_OK);
    EXPECT_EQ(decoder->Stop(), S_OK);
    in->Disconnect();
    source->pin().Disconnect();
}

} // namespace
} // namespace testfilters
