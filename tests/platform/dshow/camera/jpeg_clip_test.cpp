// Clips of JPEG frames: the marker walk that splits frames, and the three kinds of clip.
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/dshow/camera/jpeg_clip.h"
#include "tests/platform/dshow/camera/jpeg_frames.h"

namespace testcamera {
namespace {

using platform::camera::JpegClip;
using platform::camera::ScanJpeg;

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "unfold-clip-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

TEST(ScanJpeg, FindsTheEndOfEachFrameAndItsSize) {
    std::vector<uint8_t> jpeg = MakeJpeg(48, 32, 0);
    size_t length = 0;
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(ScanJpeg(jpeg.data(), jpeg.size(), length, width, height));
    EXPECT_EQ(length, jpeg.size());
    EXPECT_EQ(width, 48u);
    EXPECT_EQ(height, 32u);

    // An end-of-image pair inside a comment segment does not end the frame; what follows EOI is not
    // part of it.
    std::vector<uint8_t> commented(jpeg.begin(), jpeg.begin() + 2);
    for (uint8_t b : {0xFF, 0xFE, 0x00, 0x06, 0xFF, 0xD9, 0xFF, 0xD9}) commented.push_back(b);
    commented.insert(commented.end(), jpeg.begin() + 2, jpeg.end());
    size_t whole = commented.size();
    commented.insert(commented.end(), {0x00, 0x00, 0xFF, 0xD8});
    ASSERT_TRUE(ScanJpeg(commented.data(), commented.size(), length, width, height));
    EXPECT_EQ(length, whole);

    // Cut short, or not a JPEG at all.
    EXPECT_FALSE(ScanJpeg(jpeg.data(), jpeg.size() - 1, length, width, height));
    EXPECT_FALSE(ScanJpeg(jpeg.data(), jpeg.size() / 2, length, width, height));
    const uint8_t text[] = "not a picture";
    EXPECT_FALSE(ScanJpeg(text, sizeof text, length, width, height));
}

class JpegClipTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) frames.push_back(MakeJpeg(40, 24, i));
        frames[1] = StripHuffmanTables(frames[1]); // sizes differ frame to frame
    }
    void expectFrames(JpegClip& clip) {
        ASSERT_EQ(clip.frameCount(), frames.size());
        EXPECT_EQ(clip.width(), 40u);
        EXPECT_EQ(clip.height(), 24u);
        size_t largest = 0;
        for (size_t i = 0; i < frames.size(); ++i) {
            largest = std::max(largest, frames[i].size());
            std::vector<uint8_t> got(8192);
            size_t length = 0;
            ASSERT_TRUE(clip.ReadFrame(i, got.data(), got.size(), length));
            got.resize(length);
            EXPECT_EQ(got, frames[i]) << "frame " << i;
        }
        EXPECT_EQ(clip.maxFrameBytes(), largest);
        std::vector<uint8_t> small(16);
        size_t length = 0;
        EXPECT_FALSE(clip.ReadFrame(0, small.data(), small.size(), length));
        EXPECT_FALSE(clip.ReadFrame(frames.size(), small.data(), small.size(), length));
    }

    TempFolder folder;
    std::vector<std::vector<uint8_t>> frames;
    std::string error;
};

TEST_F(JpegClipTest, ReadsAnMjpgClipWithItsRate) {
    WriteMjpgClip(folder / "a.mjpg", 40, 24, 30, frames);
    JpegClip clip;
    ASSERT_TRUE(clip.Open(folder / "a.mjpg", error)) << error;
    EXPECT_EQ(clip.rateNumerator(), 30u);
    EXPECT_EQ(clip.rateDenominator(), 1u);
    expectFrames(clip);
}

TEST_F(JpegClipTest, ReadsConcatenatedFramesAndAFolder) {
    std::vector<uint8_t> joined;
    for (const auto& f : frames) {
        joined.insert(joined.end(), f.begin(), f.end());
        joined.insert(joined.end(), {0, 0}); // padding between frames, as some recorders leave
    }
    WriteFile(folder / "b.mjpeg", joined);
    JpegClip concatenated;
    ASSERT_TRUE(concatenated.Open(folder / "b.mjpeg", error)) << error;
    EXPECT_EQ(concatenated.rateNumerator(), 0u);
    expectFrames(concatenated);

    std::filesystem::create_directory(folder / "frames");
    // Name order, not creation order; other files are ignored.
    WriteFile(folder / "frames/002.jpg", frames[2]);
    WriteFile(folder / "frames/000.JPG", frames[0]);
    WriteFile(folder / "frames/001.jpeg", frames[1]);
    WriteFile(folder / "frames/notes.txt", {1, 2, 3});
    JpegClip pictures;
    ASSERT_TRUE(pictures.Open(folder / "frames", error)) << error;
    expectFrames(pictures);
}

TEST_F(JpegClipTest, RefusesWhatItCannotIndex) {
    JpegClip clip;
    EXPECT_FALSE(clip.Open(folder / "missing.mjpg", error));
    EXPECT_NE(error.find("missing.mjpg"), std::string::npos);

    WriteMjpgClip(folder / "cut.mjpg", 40, 24, 30, frames);
    std::filesystem::resize_file(folder / "cut.mjpg", std::filesystem::file_size(folder / "cut.mjpg") - 10);
    EXPECT_FALSE(clip.Open(folder / "cut.mjpg", error));
    EXPECT_NE(error.find("cut short"), std::string::npos) << error;

    std::vector<uint8_t> joined = frames[0];
    joined.insert(joined.end(), frames[1].begin(), frames[1].begin() + 100);
    WriteFile(folder / "cut.mjpeg", joined);
    EXPECT_FALSE(clip.Open(folder / "cut.mjpeg", error));
    EXPECT_NE(error.find("frame 1"), std::string::npos) << error;

    WriteFile(folder / "text.mjpeg", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_FALSE(clip.Open(folder / "text.mjpeg", error));
    std::filesystem::create_directory(folder / "empty");
    EXPECT_FALSE(clip.Open(folder / "empty", error));
    EXPECT_EQ(clip.frameCount(), 0u);
}

} // namespace
} // namespace testcamera
