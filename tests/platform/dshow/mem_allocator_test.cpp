#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_filters.h"

#include "platform/win32/fault_injection.h"

namespace testfilters {
namespace {

class AllocatorTest : public DShowTest {};

TEST_F(AllocatorTest, PropertiesCommitBuffersAndSampleFields) {
    Held<CMemAllocator> allocator(new CMemAllocator(L"test", nullptr));
    IMediaSample* sample = nullptr;
    EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET);
    ALLOCATOR_PROPERTIES want{2, 100, 3, 0}, got{};
    EXPECT_EQ(allocator->SetProperties(&want, &got), VFW_E_BADALIGN);
    want.cbAlign = 16;
    want.cbPrefix = 4;
    ASSERT_EQ(allocator->SetProperties(&want, &got), S_OK);
    EXPECT_EQ(got.cbBuffer, 108); // prefix and buffer fill whole alignment steps
    {
        platform::ScopedFault fault("IMemAllocator::Commit", E_OUTOFMEMORY);
        EXPECT_EQ(allocator->Commit(), E_OUTOFMEMORY);
    }
    ASSERT_EQ(allocator->Commit(), S_OK);
    EXPECT_EQ(allocator->SetProperties(&want, &got), VFW_E_ALREADY_COMMITTED);

    IMediaSample *a = nullptr, *b = nullptr, *c = nullptr;
    ASSERT_EQ(allocator->GetBuffer(&a, nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(allocator->GetBuffer(&b, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(allocator->GetBuffer(&c, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    BYTE* data;
    a->GetPointer(&data);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data - 4) % 16, 0u);
    EXPECT_EQ(a->GetSize(), 108);
    REFERENCE_TIME start = 5, stop = 0;
    EXPECT_EQ(a->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
    a->SetTime(&start, nullptr);
    EXPECT_EQ(a->GetTime(&start, &stop), VFW_S_NO_STOP_TIME);
    EXPECT_EQ(stop, 6);
    EXPECT_EQ(a->SetActualDataLength(109), VFW_E_BUFFER_OVERFLOW);
    LONGLONG m0, m1;
    EXPECT_EQ(a->GetMediaTime(&m0, &m1), VFW_E_MEDIA_TIME_NOT_SET);
    AM_MEDIA_TYPE* type = nullptr;
    EXPECT_EQ(a->GetMediaType(&type), S_FALSE);
    CMediaType rgb = VideoType(MEDIASUBTYPE_RGB32, 2, 2);
    a->SetMediaType(&rgb);
    ASSERT_EQ(a->GetMediaType(&type), S_OK);
    EXPECT_EQ(CMediaType(*type), rgb);
    DeleteMediaType(type);
    a->SetDiscontinuity(TRUE);

    // A returned buffer comes back clean.
    a->Release();
    ASSERT_EQ(allocator->GetBuffer(&a, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(a->IsDiscontinuity(), S_FALSE);
    EXPECT_EQ(a->GetMediaType(&type), S_FALSE);
    EXPECT_EQ(a->GetActualDataLength(), 108);

    // Decommit wakes nobody here but refuses new buffers; outstanding ones stay valid until released.
    ASSERT_EQ(allocator->Decommit(), S_OK);
    EXPECT_EQ(allocator->GetBuffer(&c, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    b->GetPointer(&data);
    data[0] = 1;
    a->Release();
    b->Release();
}

TEST_F(AllocatorTest, MediaTypeCopiesAndPartialMatches) {
    CMediaType full = VideoType(MEDIASUBTYPE_RGB32, 1280, 720);
    CMediaType copy(full);
    EXPECT_EQ(copy, full);
    EXPECT_NE(copy.Format(), full.Format());
    CMediaType partial(&MEDIATYPE_Video);
    EXPECT_TRUE(partial.IsPartiallySpecified());
    EXPECT_TRUE(full.MatchesPartial(&partial));
    partial.SetSubtype(&MEDIASUBTYPE_RGB24);
    EXPECT_FALSE(full.MatchesPartial(&partial));
    reinterpret_cast<VIDEOINFOHEADER*>(copy.Format())->bmiHeader.biHeight = -720;
    EXPECT_NE(copy, full);
    EXPECT_EQ(full.GetSampleSize(), 1280u * 720 * 4);
    {
        platform::ScopedFault fault("CoTaskMemAlloc", E_OUTOFMEMORY);
        CMediaType failed;
        EXPECT_EQ(failed.Set(full), E_OUTOFMEMORY);
        EXPECT_EQ(failed.FormatLength(), 0u);
    }
}

} // namespace
} // namespace testfilters
