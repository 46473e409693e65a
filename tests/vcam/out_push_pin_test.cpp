// The virtual camera's pin: its one format, the format an application sets, the capture category and
// how often it logs.
#include <regex>

#include "tests/vcam/vcam_fixture.h"

namespace vcam_testing {
namespace {

const VIDEOINFOHEADER& Header(const AM_MEDIA_TYPE& mt) {
    return *reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
}

CMediaType Rgb24(LONG width, LONG height) {
    return testfilters::VideoType(MEDIASUBTYPE_RGB24, width, height);
}

class PinTest : public VCamTest {
protected:
    void SetUp() override {
        VCamTest::SetUp();
        camera_ = NewCamera();
        pin_ = testfilters::PinOf(camera_, PINDIR_OUTPUT);
        ASSERT_EQ(pin_->QueryInterface(IID_IAMStreamConfig, config_.putVoid()), S_OK);
        ASSERT_EQ(pin_->QueryInterface(IID_IKsPropertySet, properties_.putVoid()), S_OK);
        push_ = dynamic_cast<COutPushPin*>(static_cast<CBasePin*>(camera_->GetPin(0)));
        ASSERT_NE(push_, nullptr);
    }
    void TearDown() override {
        config_.reset(), properties_.reset(), pin_.reset();
        camera_->Release();
        VCamTest::TearDown();
    }
    CVCam* camera_ = nullptr;
    COutPushPin* push_ = nullptr;
    ComPtr<IPin> pin_;
    ComPtr<IAMStreamConfig> config_;
    ComPtr<IKsPropertySet> properties_;
};

TEST_F(PinTest, OffersOneRgb24FormatAtThirtyFramesPerSecond) {
    CMediaType current, offered, none;
    ASSERT_EQ(push_->GetMediaType(0, &current), S_OK);
    ASSERT_EQ(push_->GetMediaType(1, &offered), S_OK);
    EXPECT_EQ(push_->GetMediaType(2, &none), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(push_->GetMediaType(-1, &none), E_INVALIDARG);
    EXPECT_TRUE(current == offered);
    EXPECT_EQ(offered.majortype, MEDIATYPE_Video);
    EXPECT_EQ(offered.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(offered.formattype, FORMAT_VideoInfo);
    EXPECT_EQ(offered.cbFormat, 88u);
    EXPECT_TRUE(offered.bFixedSizeSamples);
    EXPECT_FALSE(offered.bTemporalCompression);
    EXPECT_EQ(offered.lSampleSize, 2764800u);
    const VIDEOINFOHEADER& vih = Header(offered);
    EXPECT_EQ(vih.AvgTimePerFrame, 333333);
    EXPECT_EQ(vih.bmiHeader.biSize, 40u);
    EXPECT_EQ(vih.bmiHeader.biWidth, 1280);
    EXPECT_EQ(vih.bmiHeader.biHeight, 720);
    EXPECT_EQ(vih.bmiHeader.biBitCount, 24);
    EXPECT_EQ(vih.bmiHeader.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(vih.bmiHeader.biSizeImage, 2764800u);
    EXPECT_EQ(push_->CheckMediaType(&offered), S_OK);
    CMediaType smaller = Rgb24(640, 480);
    EXPECT_EQ(push_->CheckMediaType(&smaller), E_INVALIDARG);

    int count = 0, size = 0;
    EXPECT_EQ(config_->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(size, 128);
    AM_MEDIA_TYPE *first = nullptr, *fifth = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{}, caps5{};
    ASSERT_EQ(config_->GetStreamCaps(0, &first, reinterpret_cast<BYTE*>(&caps)), S_OK);
    ASSERT_EQ(config_->GetStreamCaps(5, &fifth, reinterpret_cast<BYTE*>(&caps5)), S_OK);
    EXPECT_TRUE(CMediaType(*first) == CMediaType(*fifth));
    EXPECT_EQ(std::memcmp(&caps, &caps5, sizeof caps), 0);
    EXPECT_FALSE(first->bFixedSizeSamples);
    EXPECT_EQ(first->lSampleSize, 2764800u);
    EXPECT_EQ(caps.guid, FORMAT_VideoInfo);
    EXPECT_EQ(caps.InputSize.cx, 1280);
    EXPECT_EQ(caps.MaxOutputSize.cy, 720);
    EXPECT_EQ(caps.CropGranularityX, 1280);
    EXPECT_EQ(caps.MinFrameInterval, 333333);
    EXPECT_EQ(caps.MaxFrameInterval, 30000000);
    EXPECT_EQ(caps.MinBitsPerSecond, 4423680);
    EXPECT_EQ(caps.MaxBitsPerSecond, 331776000);
    DeleteMediaType(first);
    DeleteMediaType(fifth);
}

TEST_F(PinTest, AnnouncesItselfAsACapturePin) {
    GUID category{};
    DWORD returned = 0;
    EXPECT_EQ(
        properties_->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16, &returned),
        S_OK);
    EXPECT_EQ(category, PIN_CATEGORY_CAPTURE);
    EXPECT_EQ(returned, 16u);
    BYTE small[8];
    EXPECT_EQ(properties_->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, small, 8, &returned),
              E_UNEXPECTED);
    EXPECT_EQ(properties_->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 0, &returned),
              S_OK);
    EXPECT_EQ(properties_->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 0, nullptr),
              E_POINTER);
    EXPECT_EQ(properties_->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_MEDIUM, nullptr, 0, &category, 16, &returned),
              E_PROP_ID_UNSUPPORTED);
    EXPECT_EQ(properties_->Get(PIN_CATEGORY_CAPTURE, 0, nullptr, 0, &category, 16, &returned),
              E_PROP_SET_UNSUPPORTED);
    DWORD support = 0;
    EXPECT_EQ(properties_->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support), S_OK);
    EXPECT_EQ(support, DWORD(KSPROPERTY_SUPPORT_GET));
    EXPECT_EQ(properties_->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16),
              E_NOTIMPL);
}

TEST_F(PinTest, AFormatSetByTheApplicationIsTheOnlyOneAndReconnectsThePin) {
    CameraGraph g(camera_);
    ASSERT_EQ(g.connect(), S_OK);
    EXPECT_EQ(config_->SetFormat(nullptr), E_POINTER);
    CMediaType noHeader = Rgb24(640, 480);
    noHeader.ReallocFormatBuffer(40);
    EXPECT_EQ(config_->SetFormat(&noHeader), VFW_E_INVALIDMEDIATYPE);

    CMediaType small = Rgb24(640, 480);
    ASSERT_EQ(config_->SetFormat(&small), S_OK);
    CMediaType offered = push_->OfferedType();
    EXPECT_EQ(push_->CheckMediaType(&offered), E_INVALIDARG);
    AM_MEDIA_TYPE* now = nullptr;
    ASSERT_EQ(config_->GetFormat(&now), S_OK);
    ASSERT_EQ(now->cbFormat, 88u);
    EXPECT_EQ(Header(*now).bmiHeader.biWidth, 640);
    DeleteMediaType(now);
    // The graph reconnected the pin with the new type and buffers of its size.
    CMediaType connected;
    ASSERT_EQ(pin_->ConnectionMediaType(&connected), S_OK);
    ASSERT_EQ(connected.cbFormat, 88u);
    EXPECT_EQ(Header(connected).bmiHeader.biWidth, 640);
    g.runFor(2);
    const std::vector<FrameSink::Sample> samples = g.sink->samples();
    EXPECT_EQ(samples[0].data.size(), 640u * 480 * 3);
    EXPECT_TRUE(Grey(samples[0].data));

    // A running pin keeps its connection.
    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    CMediaType other = Rgb24(320, 240);
    EXPECT_EQ(config_->SetFormat(&other), VFW_E_NOT_STOPPED);
    g.control->Stop();
}

TEST_F(PinTest, LogsTheFillAtMostOnceASecond) {
    CameraGraph g(camera_, 0);
    ASSERT_EQ(g.connect(), S_OK);
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    Sleep(1500);
    g.control->Stop();
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::regex fill(R"(\[COutPushPin::FillBuffer:226\]\[0x[0-9A-F]{8}\]FillBuffer\(0x[0-9A-F]{8}\)\n)");
    const auto lines =
        std::distance(std::sregex_iterator(out.begin(), out.end(), fill), std::sregex_iterator());
    EXPECT_GE(lines, 1);
    EXPECT_LE(lines, 3) << out;
    EXPECT_GT(g.sink->count(), size_t(lines) * 10); // many more samples than lines
    EXPECT_NE(out.find("[COutPushPin::OnThreadCreate:202]["), std::string::npos);
    EXPECT_NE(out.find("[COutPushPin::OnThreadStartPlay:210]["), std::string::npos);
    EXPECT_NE(out.find("[COutPushPin::OnThreadDestroy:206]["), std::string::npos);
}

} // namespace
} // namespace vcam_testing
