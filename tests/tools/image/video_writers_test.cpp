// DIB frames to pictures, Y'CbCr conversion, the Y4M stream and the MJPG AVI file.
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/tools/image/temp_dir.h"
#include "tests/tools/image/test_pictures.h"
#include "tools/image/avi_writer.h"
#include "tools/image/dib.h"
#include "tools/image/jpeg_codec.h"
#include "tools/image/y4m_writer.h"
#include "tools/image/yuv.h"

namespace tools::image {
namespace {

using testing::FileBytes;
using testing::Gradient;
using testing::TempDir;

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

std::string FourccAt(const std::vector<uint8_t>& b, size_t at) {
    return std::string(reinterpret_cast<const char*>(b.data() + at), 4);
}

TEST(Dib, RowsBottomUpOrTopDownWithPaddingAndBgrBytes) {
    // 3 x 2 pixels at 24 bits: rows of 9 bytes padded to 12.
    const uint8_t bits[24] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0,
                              10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
    Image up, down;
    ASSERT_TRUE(ImageFromDib(bits, sizeof bits, 3, 2, 24, up).ok());
    ASSERT_TRUE(ImageFromDib(bits, sizeof bits, 3, -2, 24, down).ok());
    EXPECT_EQ(up.pixel(0, 1), (Rgba{3, 2, 1, 255})); // the first row in memory is the bottom one
    EXPECT_EQ(up.pixel(2, 0), (Rgba{18, 17, 16, 255}));
    EXPECT_EQ(down.pixel(0, 0), (Rgba{3, 2, 1, 255}));
    EXPECT_EQ(down.pixel(1, 1), (Rgba{15, 14, 13, 255}));
    // 32 bits: four bytes a pixel, the fourth unused.
    const uint8_t rgb32[8] = {1, 2, 3, 99, 4, 5, 6, 99};
    Image wide;
    ASSERT_TRUE(ImageFromDib(rgb32, sizeof rgb32, 2, 1, 32, wide).ok());
    EXPECT_EQ(wide.pixel(1, 0), (Rgba{6, 5, 4, 255}));
    // Too few bytes, or another depth, fail rather than read past the frame.
    Image refused;
    EXPECT_FALSE(ImageFromDib(bits, sizeof bits - 1, 3, 2, 24, refused).ok());
    EXPECT_FALSE(ImageFromDib(bits, sizeof bits, 3, 2, 16, refused).ok());
    EXPECT_FALSE(ImageFromDib(bits, sizeof bits, 0, 2, 24, refused).ok());
}

TEST(Yuv, StudioRangeBt601ForKnownColours) {
    struct Case {
        Rgba rgb;
        uint8_t y, cb, cr;
    };
    const Case cases[] = {{{0, 0, 0, 255}, 16, 128, 128},
                          {{255, 255, 255, 255}, 235, 128, 128},
                          {{255, 0, 0, 255}, 82, 90, 240},
                          {{0, 0, 255, 255}, 41, 240, 110}};
    for (const Case& c : cases) {
        std::vector<uint8_t> i420, yuyv;
        ToI420(Image(2, 2, c.rgb), i420);
        ASSERT_EQ(i420.size(), 6u);
        EXPECT_EQ(i420[0], c.y);
        EXPECT_EQ(i420[4], c.cb);
        EXPECT_EQ(i420[5], c.cr);
        ToYuyv(Image(2, 1, c.rgb), yuyv);
        EXPECT_EQ(yuyv, (std::vector<uint8_t>{c.y, c.cb, c.y, c.cr}));
    }
    // Odd sizes: chroma rounds up and averages only the pixels it covers.
    Image odd(3, 3, {255, 255, 255, 255});
    odd.setPixel(2, 2, {0, 0, 0, 255});
    std::vector<uint8_t> i420;
    ToI420(odd, i420);
    ASSERT_EQ(i420.size(), 9u + 2 * 4);
    EXPECT_EQ(i420[8], 16);      // the black pixel's luma
    EXPECT_EQ(i420[9 + 3], 128); // its own chroma block: black is neutral too
    EXPECT_EQ(i420[9 + 4 + 3], 128);
}

TEST(Y4m, HeaderAndFramesReachAPipeAndAClosedReaderIsAnError) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
    Y4mWriter writer(fds[1], "the pipe");
    EXPECT_FALSE(writer.AddFrame(Image(4, 2)).ok()); // no header yet
    ASSERT_TRUE(writer.Start(4, 2, FrameRate{30, 1}).ok());
    ASSERT_TRUE(writer.AddFrame(Image(4, 2, {255, 255, 255, 255})).ok());
    EXPECT_FALSE(writer.AddFrame(Image(2, 2)).ok()); // another size
    std::string expected = "YUV4MPEG2 W4 H2 F30:1 Ip A1:1 C420jpeg\nFRAME\n";
    std::vector<uint8_t> got(expected.size() + 12);
    ASSERT_EQ(read(fds[0], got.data(), got.size()), ssize_t(got.size()));
    EXPECT_EQ(std::string(got.begin(), got.begin() + expected.size()), expected);
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + expected.size(), got.end()),
              (std::vector<uint8_t>{235, 235, 235, 235, 235, 235, 235, 235, 128, 128, 128, 128}));
    EXPECT_EQ(writer.frameCount(), 1u);
    close(fds[0]);
    auto previous = std::signal(SIGPIPE, SIG_IGN);
    Status s = writer.AddFrame(Image(4, 2));
    std::signal(SIGPIPE, previous);
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("closed the stream"), std::string::npos) << s.message();
    close(fds[1]);
}

TEST(Avi, ChunksIndexAndHeadersDescribeTheFramesWritten) {
    TempDir dir;
    const std::string path = dir.file("video.avi");
    std::vector<std::vector<uint8_t>> jpegs(3);
    for (int i = 0; i < 3; ++i) {
        Image frame = Gradient(33, 16); // odd JPEG sizes exercise the padding
        frame.setPixel(uint32_t(i), 0, {255, 0, 0, 255});
        ASSERT_TRUE(EncodeJpeg(frame, 50 + i * 20, jpegs[i], "frame").ok());
    }
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, 33, 16, FrameRate{30, 1}).ok());
    for (const auto& j : jpegs) ASSERT_TRUE(writer.AddJpegFrame(j.data(), j.size()).ok());
    std::vector<uint8_t> otherSize;
    ASSERT_TRUE(EncodeJpeg(Gradient(16, 16), 80, otherSize, "frame").ok());
    EXPECT_FALSE(writer.AddJpegFrame(otherSize.data(), otherSize.size()).ok());
    EXPECT_FALSE(std::filesystem::exists(path)); // not there before Close
    ASSERT_TRUE(writer.Close().ok());

    const std::vector<uint8_t> b = FileBytes(path);
    EXPECT_EQ(FourccAt(b, 0), "RIFF");
    EXPECT_EQ(U32At(b, 4), b.size() - 8);
    EXPECT_EQ(FourccAt(b, 8), "AVI ");
    EXPECT_EQ(U32At(b, 32), 33333u); // microseconds per frame
    EXPECT_EQ(U32At(b, 48), 3u);     // total frames
    EXPECT_EQ(U32At(b, 64), 33u);
    EXPECT_EQ(U32At(b, 68), 16u);
    EXPECT_EQ(FourccAt(b, 108), "vids");
    EXPECT_EQ(FourccAt(b, 112), "MJPG");
    EXPECT_EQ(U32At(b, 128), 1u);  // scale
    EXPECT_EQ(U32At(b, 132), 30u); // rate
    EXPECT_EQ(U32At(b, 140), 3u);  // length
    EXPECT_EQ(FourccAt(b, 188), "MJPG");
    EXPECT_EQ(FourccAt(b, 220), "movi");
    const size_t idx = 220 + U32At(b, 216);
    ASSERT_LT(idx + 8 + 48, b.size() + 1);
    EXPECT_EQ(FourccAt(b, idx), "idx1");
    EXPECT_EQ(U32At(b, idx + 4), 48u);
    for (int i = 0; i < 3; ++i) {
        const size_t entry = idx + 8 + size_t(i) * 16;
        EXPECT_EQ(FourccAt(b, entry), "00dc");
        EXPECT_EQ(U32At(b, entry + 4), 0x10u); // key frame
        const size_t chunk = 220 + U32At(b, entry + 8);
        EXPECT_EQ(FourccAt(b, chunk), "00dc");
        ASSERT_EQ(U32At(b, chunk + 4), jpegs[i].size());
        EXPECT_EQ(U32At(b, entry + 12), jpegs[i].size());
        EXPECT_TRUE(std::equal(jpegs[i].begin(), jpegs[i].end(), b.begin() + long(chunk) + 8));
    }
    EXPECT_EQ(idx + 8 + 48, b.size());
}

TEST(Avi, RefusesAFrameThatWouldPassOneGibibyte) {
    TempDir dir;
    AviWriter writer;
    ASSERT_TRUE(writer.Open(dir.file("big.avi"), 16, 16, FrameRate{30, 1}).ok());
    EXPECT_FALSE(writer.Full(1000));
    EXPECT_TRUE(writer.Full(size_t(kAviMaxBytes)));
    // The 224 header bytes, the chunk's 8 and the index's 8 + 16 count too.
    EXPECT_FALSE(writer.Full(size_t(kAviMaxBytes) - 256));
    EXPECT_TRUE(writer.Full(size_t(kAviMaxBytes) - 254));
}

} // namespace
} // namespace tools::image
