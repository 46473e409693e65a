#include "tools/image/mjpg_clip.h"

#include <cmath>

#include <gtest/gtest.h>

#include "tests/tools/image/temp_dir.h"
#include "tests/tools/image/test_pictures.h"

namespace tools::image {
namespace {

using testing::FileBytes;
using testing::PutFile;
using testing::TempDir;

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

const Rgba kFrameColours[] = {{200, 30, 30, 255}, {30, 200, 30, 255}, {30, 30, 200, 255}};

// Writes a three-frame 40 x 30 clip at 29.97 frames per second, one plain colour per frame.
std::string WriteSampleClip(const TempDir& dir) {
    std::string path = dir.file("sample.mjpg");
    MjpgClipWriter writer;
    FrameRate rate;
    EXPECT_TRUE(FrameRate::FromDouble(29.97, rate));
    EXPECT_TRUE(writer.Open(path, 40, 30, rate).ok());
    for (Rgba c : kFrameColours) EXPECT_TRUE(writer.AddFrame(Image(40, 30, c), 90).ok());
    EXPECT_EQ(writer.frameCount(), 3u);
    EXPECT_TRUE(writer.Close().ok());
    return path;
}

TEST(FrameRate, FromDoubleIsExactForCommonRates) {
    FrameRate r;
    ASSERT_TRUE(FrameRate::FromDouble(15, r));
    EXPECT_EQ(r, (FrameRate{15, 1}));
    EXPECT_EQ(r.frameDuration100ns(), 666666);
    ASSERT_TRUE(FrameRate::FromDouble(29.97, r));
    EXPECT_EQ(r, (FrameRate{2997, 100}));
    EXPECT_NEAR(r.perSecond(), 29.97, 1e-12);
    for (double bad : {0.0, -1.0, 1001.0, double(NAN), 0.0001})
        EXPECT_FALSE(FrameRate::FromDouble(bad, r)) << bad;
}

TEST(MjpgClip, WritesTheDocumentedLayoutAndReadsItBack) {
    TempDir dir;
    std::string path = WriteSampleClip(dir);
    std::vector<uint8_t> bytes = FileBytes(path);
    ASSERT_GT(bytes.size(), 32u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "MJPGCLIP");
    EXPECT_EQ(U32At(bytes, 8), 1u);
    EXPECT_EQ(U32At(bytes, 12), 40u);
    EXPECT_EQ(U32At(bytes, 16), 30u);
    EXPECT_EQ(U32At(bytes, 20), 2997u);
    EXPECT_EQ(U32At(bytes, 24), 100u);
    EXPECT_EQ(U32At(bytes, 28), 3u);
    uint32_t first = U32At(bytes, 32);
    EXPECT_EQ(bytes[36], 0xFF);
    EXPECT_EQ(bytes[37], 0xD8);
    EXPECT_EQ(bytes[36 + first - 2], 0xFF);
    EXPECT_EQ(bytes[36 + first - 1], 0xD9);

    MjpgClipReader reader;
    ASSERT_TRUE(reader.Open(path).ok());
    EXPECT_EQ(reader.width(), 40u);
    EXPECT_EQ(reader.height(), 30u);
    EXPECT_EQ(reader.frameRate(), (FrameRate{2997, 100}));
    ASSERT_EQ(reader.frameCount(), 3u);
    // Read out of order: each frame is found through the index.
    for (size_t i : {2u, 0u, 1u}) {
        Image frame;
        ASSERT_TRUE(reader.DecodeFrame(i, frame).ok());
        Rgba centre = frame.pixel(20, 15), want = kFrameColours[i];
        EXPECT_NEAR(centre.r, want.r, 4) << i;
        EXPECT_NEAR(centre.g, want.g, 4) << i;
        EXPECT_NEAR(centre.b, want.b, 4) << i;
    }
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(reader.ReadFrame(0, jpeg).ok());
    EXPECT_EQ(jpeg, std::vector<uint8_t>(bytes.begin() + 36, bytes.begin() + 36 + first));
    Status s = reader.ReadFrame(3, jpeg);
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("no frame 3"), std::string::npos) << s.message();
}

TEST(MjpgClip, WriterRefusesBadFramesAndLeavesNoFile) {
    TempDir dir;
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(EncodeJpeg(Image(8, 8), 75, jpeg, "f").ok());
    {
        MjpgClipWriter writer;
        ASSERT_TRUE(writer.Open(dir.file("a.mjpg"), 16, 16, {15, 1}).ok());
        ASSERT_TRUE(writer.AddFrame(Image(16, 16)).ok());
    } // never closed
    {
        MjpgClipWriter writer;
        ASSERT_TRUE(writer.Open(dir.file("b.mjpg"), 16, 16, {15, 1}).ok());
        Status s = writer.AddFrame(Image(16, 8));
        EXPECT_NE(s.message().find("16 x 8"), std::string::npos) << s.message();
        EXPECT_FALSE(writer.AddFrame(Image(16, 16)).ok()) << "the clip was abandoned";
        EXPECT_FALSE(writer.Close().ok());
    }
    {
        MjpgClipWriter writer;
        ASSERT_TRUE(writer.Open(dir.file("c.mjpg"), 16, 16, {15, 1}).ok());
        EXPECT_FALSE(writer.AddJpegFrame(jpeg.data(), jpeg.size()).ok()) << "an 8 x 8 JPEG in a 16 x 16 clip";
    }
    {
        MjpgClipWriter writer;
        ASSERT_TRUE(writer.Open(dir.file("d.mjpg"), 16, 16, {15, 1}).ok());
        const uint8_t text[] = "not a jpeg";
        EXPECT_FALSE(writer.AddJpegFrame(text, sizeof text).ok());
    }
    {
        MjpgClipWriter writer;
        ASSERT_TRUE(writer.Open(dir.file("e.mjpg"), 16, 16, {15, 1}).ok());
        Status s = writer.Close();
        EXPECT_NE(s.message().find("no frames"), std::string::npos) << s.message();
    }
    MjpgClipWriter writer;
    EXPECT_FALSE(writer.Open(dir.file("f.mjpg"), 0, 16, {15, 1}).ok());
    EXPECT_FALSE(writer.Open(dir.file("g.mjpg"), 16, 16, {0, 1}).ok());
    EXPECT_TRUE(dir.entries().empty());
}

TEST(MjpgClip, ReaderRefusesDamagedFiles) {
    TempDir dir;
    const std::vector<uint8_t> good = FileBytes(WriteSampleClip(dir));
    auto with = [&](auto change) {
        std::vector<uint8_t> b = good;
        change(b);
        return b;
    };
    auto put32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* expected;
    } cases[] = {
        {"short.mjpg", with([](auto& b) { b.resize(b.size() - 10); }), "truncated"},
        {"header.mjpg", with([](auto& b) { b.resize(20); }), "header is incomplete"},
        {"extra.mjpg", with([](auto& b) { b.push_back(0); }), "after the last frame"},
        {"magic.mjpg", with([](auto& b) { b[0] = 'X'; }), "not an MJPG clip"},
        {"version.mjpg", with([&](auto& b) { put32(b, 8, 2); }), "version 2"},
        {"fewer.mjpg", with([&](auto& b) { put32(b, 28, 2); }), "after the last frame"},
        {"more.mjpg", with([&](auto& b) { put32(b, 28, 4); }), "declares 4 frames, the file holds 3"},
        {"none.mjpg", with([&](auto& b) { put32(b, 28, 0); }), "no frames"},
        {"size.mjpg", with([&](auto& b) { put32(b, 12, 0); }), "frame size"},
        {"wide.mjpg", with([&](auto& b) { put32(b, 12, 8193); }), "frame size"},
        {"rate.mjpg", with([&](auto& b) { put32(b, 24, 0); }), "frame rate"},
        {"length.mjpg", with([&](auto& b) { put32(b, 32, 0xFFFFFFF0u); }), "claims"},
    };
    for (const Case& c : cases) {
        PutFile(dir.file(c.name), c.bytes);
        MjpgClipReader reader;
        Status s = reader.Open(dir.file(c.name));
        ASSERT_FALSE(s.ok()) << c.name;
        EXPECT_NE(s.message().find(c.expected), std::string::npos) << c.name << ": " << s.message();
        EXPECT_EQ(reader.frameCount(), 0u);
    }
    MjpgClipReader reader;
    Status s = reader.Open(dir.file("missing.mjpg"));
    EXPECT_NE(s.message().find("cannot open"), std::string::npos);

    // A frame whose bytes are not a JPEG is found when it is decoded.
    PutFile(dir.file("garbage.mjpg"), with([](auto& b) { b[36] = 0; }));
    ASSERT_TRUE(reader.Open(dir.file("garbage.mjpg")).ok());
    Image frame;
    s = reader.DecodeFrame(0, frame);
    EXPECT_NE(s.message().find("frame 0 of"), std::string::npos) << s.message();
    EXPECT_TRUE(reader.DecodeFrame(1, frame).ok());
}

} // namespace
} // namespace tools::image
