#include "tools/image/image_file.h"

#include <gtest/gtest.h>

#include "platform/win32/fault_injection.h"
#include "tests/tools/image/temp_dir.h"
#include "tests/tools/image/test_pictures.h"
#include "tools/image/jpeg_codec.h"
#include "tools/image/png_codec.h"

namespace tools::image {
namespace {

using testing::Compare;
using testing::FileBytes;
using testing::PutFile;
using testing::TempDir;

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}

void PutChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    PutBigEndian(png, uint32_t(data.size()));
    png.insert(png.end(), body.begin(), body.end());
    PutBigEndian(png, Crc32(body.data(), body.size()));
}

// A PNG with a valid header for the given size and no pixel data, checksums correct.
std::vector<uint8_t> PngHeaderOnly(uint32_t width, uint32_t height) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    PutBigEndian(ihdr, width);
    PutBigEndian(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "IDAT", {});
    PutChunk(png, "IEND", {});
    return png;
}

TEST(PngFile, RoundTripKeepsEveryByte) {
    TempDir dir;
    for (bool opaque : {false, true}) {
        Image original = testing::Noise(37, 23, 7, opaque);
        ASSERT_TRUE(WritePng(dir.file("noise.png"), original).ok());
        Image back;
        Status s = ReadImage(dir.file("noise.png"), back);
        ASSERT_TRUE(s.ok()) << s.message();
        EXPECT_EQ(back, original) << "opaque=" << opaque;
        // Colour type in the header: 2 = RGB for opaque pictures, 6 = RGBA otherwise.
        EXPECT_EQ(FileBytes(dir.file("noise.png"))[25], opaque ? 2 : 6);
    }
    Image dot(1, 1, {1, 2, 3, 4});
    ASSERT_TRUE(WritePng(dir.file("dot.png"), dot).ok());
    Image back;
    ASSERT_TRUE(ReadImage(dir.file("dot.png"), back).ok());
    EXPECT_EQ(back, dot);
}

TEST(JpegFile, RoundTripWithinToleranceAndQualityMatters) {
    TempDir dir;
    Image original = testing::Gradient(96, 64);
    ASSERT_TRUE(WriteJpeg(dir.file("high.jpg"), original, 95).ok());
    ASSERT_TRUE(WriteJpeg(dir.file("low.jpeg"), original, 10).ok());
    Image high, low;
    ASSERT_TRUE(ReadImage(dir.file("high.jpg"), high).ok());
    ASSERT_TRUE(ReadImage(dir.file("low.jpeg"), low).ok());
    ASSERT_EQ(high.width(), 96u);
    ASSERT_EQ(high.height(), 64u);
    EXPECT_TRUE(high.opaque());
    auto d = Compare(high, original);
    EXPECT_LT(d.mean, 1.5);
    EXPECT_LE(d.max, 12);
    EXPECT_GT(Compare(low, original).mean, d.mean);
    EXPECT_LT(FileBytes(dir.file("low.jpeg")).size(), FileBytes(dir.file("high.jpg")).size());
}

TEST(ImageFile, FormatComesFromTheNameOnWriteAndFromTheContentOnRead) {
    EXPECT_EQ(FormatOfPath("a.png"), ImageFormat::Png);
    EXPECT_EQ(FormatOfPath("dir/A.PNG"), ImageFormat::Png);
    EXPECT_EQ(FormatOfPath("a.Jpg"), ImageFormat::Jpeg);
    EXPECT_EQ(FormatOfPath("a.jpeg"), ImageFormat::Jpeg);
    EXPECT_EQ(FormatOfPath("a.png.bak"), ImageFormat::Unknown);
    EXPECT_EQ(FormatOfPath("dir.png/name"), ImageFormat::Unknown);
    EXPECT_EQ(FormatOfPath("png"), ImageFormat::Unknown);

    TempDir dir;
    Image original = testing::Gradient(16, 16);
    ASSERT_TRUE(WriteImage(dir.file("a.JPG"), original).ok());
    EXPECT_TRUE(LooksLikeJpeg(FileBytes(dir.file("a.JPG")).data(), FileBytes(dir.file("a.JPG")).size()));
    ASSERT_TRUE(WriteImage(dir.file("b.png"), original).ok());
    // A PNG under a JPEG name still reads as the PNG it is.
    std::rename(dir.file("b.png").c_str(), dir.file("b.jpg").c_str());
    Image back;
    ASSERT_TRUE(ReadImage(dir.file("b.jpg"), back).ok());
    EXPECT_EQ(back, original);

    Status s = WriteImage(dir.file("c.bmp"), original);
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("c.bmp"), std::string::npos);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.JPG", "b.jpg"}));
}

// Each bad input gives one line naming the file and the problem.
TEST(ImageFile, ReadErrorsNameTheFileAndTheProblem) {
    TempDir dir;
    Image picture = testing::Gradient(64, 48);
    ASSERT_TRUE(WritePng(dir.file("good.png"), picture).ok());
    ASSERT_TRUE(WriteJpeg(dir.file("good.jpg"), picture, 90).ok());
    std::vector<uint8_t> png = FileBytes(dir.file("good.png")), jpeg = FileBytes(dir.file("good.jpg"));

    PutFile(dir.file("half.png"), std::vector<uint8_t>(png.begin(), png.begin() + long(png.size() / 2)));
    std::vector<uint8_t> damaged = png;
    damaged[damaged.size() - 20] ^= 0x55; // inside the image data: its checksum no longer matches
    PutFile(dir.file("damaged.png"), damaged);
    PutFile(dir.file("half.jpg"), std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2)));
    PutFile(dir.file("huge.png"), PngHeaderOnly(20000, 20000));
    std::vector<uint8_t> hugeJpeg = jpeg;
    for (size_t i = 0; i + 8 < hugeJpeg.size(); ++i) {
        if (hugeJpeg[i] == 0xFF && hugeJpeg[i + 1] == 0xC0) { // start of frame: height then width
            hugeJpeg[i + 5] = hugeJpeg[i + 7] = 0xEA, hugeJpeg[i + 6] = hugeJpeg[i + 8] = 0x60;
            break;
        }
    }
    PutFile(dir.file("huge.jpg"), hugeJpeg);
    PutFile(dir.file("notes.png"), std::string("just some text\n"));
    PutFile(dir.file("empty.png"), std::string());

    struct Case {
        const char* name;
        const char* expected;
    } cases[] = {
        {"missing.png", "No such file"}, {"", "not a regular file"}, // the directory itself
        {"empty.png", "is empty"},       {"notes.png", "is not a PNG or JPEG"},
        {"half.png", "corrupt PNG"},     {"damaged.png", "corrupt PNG"},
        {"half.jpg", "Premature end"},   {"huge.png", "too large"},
        {"huge.jpg", "too large"},
    };
    for (const Case& c : cases) {
        Image out(2, 2, {9, 9, 9, 9});
        Status s = ReadImage(dir.file(c.name), out);
        ASSERT_FALSE(s.ok()) << c.name;
        EXPECT_NE(s.message().find(c.expected), std::string::npos) << c.name << ": " << s.message();
        EXPECT_NE(s.message().find(dir.file(c.name)), std::string::npos) << s.message();
        EXPECT_EQ(s.message().find('\n'), std::string::npos);
        EXPECT_EQ(out, Image(2, 2, {9, 9, 9, 9})) << "a failed read leaves the picture alone";
    }
}

// A side longer than the largest texture is refused from the header; the largest side is read.
TEST(ImageFile, PicturesLongerThanTheLargestTextureAreRefusedBeforeDecoding) {
    TempDir dir;
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(EncodeJpeg(testing::Gradient(16, 16), 90, jpeg, "tall").ok());
    for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) { // start of frame: height then width
            jpeg[i + 5] = 0x20, jpeg[i + 6] = 0x01;   // 8193 rows, whose data the file lacks
            break;
        }
    }
    PutFile(dir.file("tall.jpg"), jpeg);
    PutFile(dir.file("wide.png"), PngHeaderOnly(8193, 1));
    for (const char* name : {"tall.jpg", "wide.png"}) {
        Image out;
        Status s = ReadImage(dir.file(name), out);
        EXPECT_NE(s.message().find("too large"), std::string::npos) << name << ": " << s.message();
    }

    Image wide = testing::Gradient(kMaxTextureSide, 2), tall = testing::Gradient(2, kMaxTextureSide);
    ASSERT_TRUE(WritePng(dir.file("wide.png"), wide).ok());
    ASSERT_TRUE(WriteJpeg(dir.file("tall.jpg"), tall, 90).ok());
    Image back;
    ASSERT_TRUE(ReadImage(dir.file("wide.png"), back).ok());
    EXPECT_EQ(back, wide);
    ASSERT_TRUE(ReadImage(dir.file("tall.jpg"), back).ok());
    EXPECT_EQ(back.height(), kMaxTextureSide);
}

TEST(ImageFile, FailedWritesLeaveNoPartialFileAndKeepTheOldOne) {
    TempDir dir;
    Image before = testing::Gradient(20, 10), after = testing::Noise(20, 10, 3, true);
    ASSERT_TRUE(WritePng(dir.file("keep.png"), before).ok());
    const std::vector<uint8_t> old = FileBytes(dir.file("keep.png"));

    for (const char* call : {"AtomicFile::Open", "AtomicFile::Write", "AtomicFile::Commit"}) {
        platform::ScopedFault fault(call, E_FAIL, 0, 0);
        Status s = WritePng(dir.file("keep.png"), after);
        EXPECT_FALSE(s.ok()) << call;
        EXPECT_NE(s.message().find("keep.png"), std::string::npos) << s.message();
        s = WriteJpeg(dir.file("keep.png"), after, 80);
        EXPECT_FALSE(s.ok()) << call;
        EXPECT_EQ(fault.hits(), 2u) << call;
    }
    EXPECT_EQ(FileBytes(dir.file("keep.png")), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"keep.png"});

    Status s = WritePng(dir.file("no/such/dir/x.png"), after);
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("cannot create"), std::string::npos) << s.message();
    EXPECT_FALSE(WritePng(dir.file("empty.png"), Image()).ok());
    EXPECT_FALSE(WriteJpeg(dir.file("q0.jpg"), after, 0).ok());
    EXPECT_FALSE(WriteJpeg(dir.file("q101.jpg"), after, 101).ok());
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"keep.png"});

    // And a successful write replaces the file whole.
    ASSERT_TRUE(WritePng(dir.file("keep.png"), after).ok());
    Image back;
    ASSERT_TRUE(ReadImage(dir.file("keep.png"), back).ok());
    EXPECT_EQ(back, after);
}

TEST(JpegCodec, EncodesAndDecodesInMemory) {
    Image original = testing::Gradient(50, 30);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeJpeg(original, 92, bytes, "frame").ok());
    ASSERT_TRUE(LooksLikeJpeg(bytes.data(), bytes.size()));
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9);
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(ReadJpegSize(bytes.data(), bytes.size(), w, h, "frame").ok());
    EXPECT_EQ(w, 50u);
    EXPECT_EQ(h, 30u);
    Image back;
    ASSERT_TRUE(DecodeJpeg(bytes.data(), bytes.size(), back, "frame").ok());
    EXPECT_LT(Compare(back, original).mean, 2.0);

    // A big picture grows the output buffer several times.
    Image noise = testing::Noise(700, 500, 1, true);
    ASSERT_TRUE(EncodeJpeg(noise, 100, bytes, "noise").ok());
    EXPECT_GT(bytes.size(), size_t(700 * 500 * 3 / 8));
    ASSERT_TRUE(DecodeJpeg(bytes.data(), bytes.size(), back, "noise").ok());
    EXPECT_EQ(back.width(), 700u);

    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(original, png, "p").ok());
    Status s = DecodeJpeg(png.data(), png.size(), back, "frame 3");
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("frame 3"), std::string::npos);
    EXPECT_FALSE(DecodeJpeg(bytes.data(), 3, back, "x").ok());
}

} // namespace
} // namespace tools::image
