// The resource compiler: preprocessing, statements, data, errors, and the C++ it emits.
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/build_paths.h"
#include "tools/resource_compiler/rc_emitter.h"
#include "tools/resource_compiler/rc_error.h"
#include "tools/resource_compiler/rc_parser.h"

namespace unfold::rc {
namespace {

namespace fs = std::filesystem;

class ResourceCompilerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("unfold_rc_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_ / "include");
    }
    void TearDown() override { fs::remove_all(dir_); }

    void write(const std::string& name, const std::string& text) {
        std::ofstream out(dir_ / name, std::ios::binary);
        out << text;
    }

    ResourceScript compile(const std::string& script) {
        write("test.rc", script);
        reader_ = std::make_unique<RcReader>(std::vector<std::string>{
            (dir_ / "include").string(), std::string(kSourceDir) + "/platform/include"});
        auto tokens = reader_->read((dir_ / "test.rc").string());
        return ParseScript(tokens, *reader_);
    }

    // The error a script gives, as "line: message".
    std::string failure(const std::string& script) {
        try {
            compile(script);
        } catch (const RcError& e) {
            EXPECT_EQ(fs::path(e.file()).filename(), "test.rc");
            return std::to_string(e.line()) + ": " + e.what();
        }
        return "no error";
    }

    fs::path dir_;
    std::unique_ptr<RcReader> reader_;
};

TEST_F(ResourceCompilerTest, RawDataFromFilesWithIdsFromIncludedHeaders) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    write("data.bin", bytes);
    write("include/other.bin", "xyz");
    write("empty.bin", "");
    // A header as Visual Studio writes them: a guard, C code that rc ignores, and the ids.
    write("ids.h", "#ifndef IDS_H\n#define IDS_H\nstruct Ignored { int x; };\n#define IDR_FIRST 100\n"
                   "#define IDR_SECOND (IDR_FIRST + 4)\n#endif\n");
    ResourceScript s = compile("#include \"ids.h\"\n#include \"ids.h\"\n"
                               "IDR_SECOND RCDATA \"data.bin\"\n"
                               "IDR_FIRST RCDATA DISCARDABLE \"other.bin\"\n"
                               "Effect RCDATA \"empty.bin\"\n"
                               "7 MYTYPE \"data.bin\"\n");
    ASSERT_EQ(s.resources.size(), 4u);
    EXPECT_EQ(s.resources[0].name, ResourceId::number(104));
    EXPECT_EQ(s.resources[0].type, ResourceId::number(kRcData));
    EXPECT_EQ(std::string(s.resources[0].data.begin(), s.resources[0].data.end()), bytes);
    EXPECT_EQ(s.resources[1].name, ResourceId::number(100));
    EXPECT_EQ(std::string(s.resources[1].data.begin(), s.resources[1].data.end()),
              "xyz"); // from the include dir
    EXPECT_EQ(s.resources[2].name, ResourceId::text("EFFECT"));
    EXPECT_TRUE(s.resources[2].data.empty());
    EXPECT_EQ(s.resources[3].type, ResourceId::text("MYTYPE"));
    EXPECT_EQ(s.resources[3].name, ResourceId::number(7));
    // Every file read is a dependency.
    std::set<std::string> names;
    for (const auto& d : reader_->dependencies()) names.insert(fs::path(d).filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"test.rc", "ids.h", "data.bin", "other.bin", "empty.bin"}));
}

TEST_F(ResourceCompilerTest, RawDataBlocksAndLanguages) {
    ResourceScript s = compile("LANGUAGE 9, 1\n"
                               "1 RCDATA\nBEGIN\n  0x1234, 5L, \"ab\" L\"\\x263A\", -1\nEND\n"
                               "2 RCDATA LANGUAGE 7, 2 { \"say \"\"hi\"\"\\n\" }\n");
    ASSERT_EQ(s.resources.size(), 2u);
    std::vector<uint8_t> want = {0x34, 0x12, 5, 0, 0, 0, 'a', 'b', 0x3A, 0x26, 0xFF, 0xFF};
    EXPECT_EQ(s.resources[0].data, want);
    EXPECT_EQ(s.resources[0].language, (1 << 10) | 9);
    EXPECT_EQ(std::string(s.resources[1].data.begin(), s.resources[1].data.end()), "say \"hi\"\n");
    EXPECT_EQ(s.resources[1].language, (2 << 10) | 7);
}

TEST_F(ResourceCompilerTest, ConditionalsChooseWhatIsRead) {
    ResourceScript s =
        compile("#define LEVEL 2\n"
                "#if LEVEL > 1 && defined(LEVEL)\n1 RCDATA { 1 }\n#elif 1\n2 RCDATA { 2 }\n#else\n"
                "this is not read \"\n#endif\n"
                "#ifdef MISSING\n3 RCDATA { 3 }\n#else\n4 RCDATA { 4 }\n#endif\n"
                "#undef LEVEL\n#ifndef LEVEL\n5 RCDATA { 5 }\n#endif\n#pragma code_page(65001)\n");
    std::vector<uint16_t> ids;
    for (const auto& r : s.resources) ids.push_back(r.name.id);
    EXPECT_EQ(ids, (std::vector<uint16_t>{1, 4, 5}));
}

TEST_F(ResourceCompilerTest, ErrorsNameTheLine) {
    EXPECT_EQ(failure("1 RCDATA { 1 }\n\n2 RCDATA \"missing.bin\"\n"), "3: cannot find file 'missing.bin'");
    EXPECT_EQ(failure("1 RCDATA { 1 }\n1 RCDATA { 2 }\n"), "2: resource 1 of type 10 is defined twice");
    EXPECT_EQ(failure("\n100 DIALOG 0, 0, 10, 10\n"), "2: DIALOG resources are not supported");
    EXPECT_EQ(failure("#define F(x) x\n\nF(1) RCDATA { 1 }\n"), "3: function-like macro F is not supported");
    EXPECT_EQ(failure("1 RCDATA { 70000 }\n"), "1: number 70000 does not fit in a 16-bit word; add L");
    EXPECT_EQ(failure("70000 RCDATA { 1 }\n"), "1: resource identifier 70000 does not fit in 16 bits");
    EXPECT_EQ(failure("#if 1\n1 RCDATA { 1 }\n"), "1: #if without #endif");
    EXPECT_EQ(failure("1 RCDATA {\n  1,\n"), "2: expected END but found end of file");
    EXPECT_EQ(failure("#include \"nowhere.h\"\n"), "1: cannot find include file 'nowhere.h'");
    EXPECT_EQ(failure("1 RCDATA { \"open }\n"), "1: unterminated string");
    const std::string deep = std::string(300, '(') + "1" + std::string(300, ')');
    EXPECT_EQ(failure("#if " + deep + "\n#endif\n"), "1: #if expression nests too deeply");
    EXPECT_EQ(failure("#if " + std::string(300, '!') + "1\n#endif\n"), "1: #if expression nests too deeply");
    EXPECT_EQ(failure("1 RCDATA { " + deep + " }\n"), "1: expression nests too deeply");
    std::string blocks = "1 VERSIONINFO\nBEGIN\n";
    for (int i = 0; i < 40; ++i) blocks += "BLOCK \"b\"\nBEGIN\n";
    EXPECT_EQ(failure(blocks), "67: BLOCK nests too deeply");
}

uint16_t word(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b.at(at) | (b.at(at + 1) << 8));
}
uint32_t dword(const std::vector<uint8_t>& b, size_t at) {
    return word(b, at) | (uint32_t(word(b, at + 2)) << 16);
}
// UTF-16 text at `at`, up to its terminating zero.
std::string text(const std::vector<uint8_t>& b, size_t at) {
    std::string s;
    for (uint16_t u; (u = word(b, at)) != 0; at += 2) s += char(u < 0x80 ? u : '?');
    return s;
}

// Offsets below are worked out by hand from the documented DLGTEMPLATEEX layout.
TEST_F(ResourceCompilerTest, DialogExInTheExtendedTemplateLayout) {
    ResourceScript s =
        compile("#include <winresrc.h>\n"
                "7 DIALOGEX 1, 2, 100, 50\n"
                "STYLE DS_SETFONT | WS_CHILD\n"
                "CAPTION \"Hi\"\n"
                "FONT 8, \"MS Shell Dlg\", 400, 0, 1\n"
                "BEGIN\n"
                "  LTEXT \"ab\", IDC_STATIC, 4, 5, 20, 8, NOT WS_GROUP\n"
                "  CONTROL \"\", 1011, TRACKBAR_CLASS, TBS_BOTH | NOT WS_VISIBLE, -3, 72, 152, 15,"
                " WS_EX_RIGHT\n"
                "END\n");
    ASSERT_EQ(s.resources.size(), 1u);
    EXPECT_EQ(s.resources[0].type, ResourceId::number(kDialog));
    const std::vector<uint8_t>& d = s.resources[0].data;
    ASSERT_EQ(d.size(), 168u);
    EXPECT_EQ(word(d, 0), 1);             // dlgVer
    EXPECT_EQ(word(d, 2), 0xFFFF);        // signature
    EXPECT_EQ(dword(d, 12), 0x40C00040u); // WS_CHILD | WS_CAPTION | DS_SETFONT
    EXPECT_EQ(word(d, 16), 2);            // controls
    EXPECT_EQ(word(d, 18), 1);            // x
    EXPECT_EQ(word(d, 24), 50);           // cy
    EXPECT_EQ(word(d, 26), 0);            // no menu
    EXPECT_EQ(word(d, 28), 0);            // the default class
    EXPECT_EQ(text(d, 30), "Hi");
    EXPECT_EQ(word(d, 36), 8);   // point size
    EXPECT_EQ(word(d, 38), 400); // weight
    EXPECT_EQ(d[40], 0);         // italic
    EXPECT_EQ(d[41], 1);         // charset
    EXPECT_EQ(text(d, 42), "MS Shell Dlg");
    // The static text at 68: its default WS_GROUP taken away.
    EXPECT_EQ(dword(d, 76), 0x50000000u);
    EXPECT_EQ(word(d, 80), 4);
    EXPECT_EQ(dword(d, 88), 0xFFFFFFFFu); // IDC_STATIC
    EXPECT_EQ(word(d, 92), 0xFFFF);
    EXPECT_EQ(word(d, 94), 0x0082); // Static
    EXPECT_EQ(text(d, 96), "ab");
    // The trackbar at 104: a class by name, hidden, right-aligned, at a negative x.
    EXPECT_EQ(dword(d, 108), 0x1000u);
    EXPECT_EQ(dword(d, 112), 0x40000008u);
    EXPECT_EQ(int16_t(word(d, 116)), -3);
    EXPECT_EQ(dword(d, 124), 1011u);
    EXPECT_EQ(text(d, 128), "msctls_trackbar32");
    EXPECT_EQ(word(d, 164), 0); // empty title
    EXPECT_EQ(word(d, 166), 0); // no creation data
}

TEST_F(ResourceCompilerTest, DialogDefaultsAndControlKinds) {
    ResourceScript s = compile("#include <winresrc.h>\n"
                               "1 DIALOGEX 0, 0, 10, 10\n"
                               "BEGIN\n"
                               "  PUSHBUTTON \"p\", 3, 0, 0, 1, 1, WS_DISABLED\n"
                               "  COMBOBOX 4, 0, 0, 1, 1, CBS_DROPDOWNLIST | WS_VSCROLL\n"
                               "  ICON 105, 5, 0, 0\n"
                               "END\n");
    const std::vector<uint8_t>& d = s.resources.at(0).data;
    EXPECT_EQ(dword(d, 12), 0x80880000u); // WS_POPUP | WS_BORDER | WS_SYSMENU, no font
    EXPECT_EQ(word(d, 26), 0);
    size_t at = 32;                           // after the header, no menu, class or title
    EXPECT_EQ(dword(d, at + 8), 0x58010000u); // the button keeps WS_TABSTOP beside WS_DISABLED
    EXPECT_EQ(word(d, at + 26), 0x0080);
    EXPECT_EQ(text(d, at + 28), "p");
    at = 68;                                  // 34 bytes, aligned
    EXPECT_EQ(dword(d, at + 8), 0x50210003u); // CBS_SIMPLE | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
    EXPECT_EQ(word(d, at + 26), 0x0085);
    EXPECT_EQ(word(d, at + 28), 0); // no text
    at = 100;
    EXPECT_EQ(dword(d, at + 8), 0x50000003u); // SS_ICON
    EXPECT_EQ(word(d, at + 28), 0xFFFF);      // the icon's name is an ordinal
    EXPECT_EQ(word(d, at + 30), 105);

    EXPECT_EQ(failure("1 DIALOGEX 0, 0, 1, 1\nBEGIN\n  SLIDER 1, 0, 0, 1, 1\nEND\n"),
              "3: unknown control statement 'SLIDER'");
    EXPECT_EQ(failure("1 DIALOGEX 0, 0, 1, 1\nBEGIN\n  CONTROL \"\", 1, Slider, 0, 0, 0, 1, 1\nEND\n"),
              "3: unknown control class Slider");
    EXPECT_EQ(failure("1 DIALOGEX 0, 0, 40000, 1\nBEGIN\nEND\n"), "1: width 40000 does not fit in 16 bits");
}

TEST_F(ResourceCompilerTest, StringTablesGatherIntoBlocksOfSixteen) {
    ResourceScript s = compile("STRINGTABLE\nBEGIN\n  103 \"Expansion Mode\"\n  1, \"A\"\nEND\n"
                               "STRINGTABLE { 17 \"\\xe9\" }\n");
    ASSERT_EQ(s.resources.size(), 3u);
    std::vector<uint16_t> blocks;
    for (const auto& r : s.resources) {
        EXPECT_EQ(r.type, ResourceId::number(kString));
        blocks.push_back(r.name.id);
    }
    EXPECT_EQ(blocks, (std::vector<uint16_t>{1, 2, 7}));
    // Block 7 holds strings 96 to 111: seven empty slots, "Expansion Mode", eight empty slots.
    const std::vector<uint8_t>& d = s.resources[2].data;
    ASSERT_EQ(d.size(), 2u * (16 + 14));
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(word(d, 2 * i), 0);
    EXPECT_EQ(word(d, 14), 14);
    EXPECT_EQ(word(d, 16), 'E');
    EXPECT_EQ(word(s.resources[1].data, 2), 1); // string 17, slot 1
    EXPECT_EQ(word(s.resources[1].data, 4), 0xE9);
    EXPECT_EQ(failure("STRINGTABLE { 1 \"a\"\n 1 \"b\" }\n"), "2: string 1 is defined twice");
}

// An icon file of two images; the first entry leaves its planes and bit count to the image header.
std::string icoFile() {
    std::string f = {0, 0, 1, 0, 2, 0};
    auto entry = [&](char size, char planes, char bits, char bytes, char offset) {
        f += {size, size, 0, 0, planes, 0, bits, 0, bytes, 0, 0, 0, offset, 0, 0, 0};
    };
    entry(16, 0, 0, 44, 38);
    entry(32, 1, 32, 8, 82);
    std::string dib(44, 0);
    dib[0] = 40, dib[12] = 1, dib[14] = 8;
    return f + dib + "PNG-DATA";
}

TEST_F(ResourceCompilerTest, IconsBecomeImagesAndADirectory) {
    write("two.ico", icoFile());
    ResourceScript s = compile("5 ICON \"two.ico\"\n6 ICON DISCARDABLE \"two.ico\"\n");
    ASSERT_EQ(s.resources.size(), 6u);
    EXPECT_EQ(s.resources[0].type, ResourceId::number(kIcon));
    EXPECT_EQ(s.resources[0].name, ResourceId::number(1));
    EXPECT_EQ(s.resources[0].data.size(), 44u);
    EXPECT_EQ(std::string(s.resources[1].data.begin(), s.resources[1].data.end()), "PNG-DATA");
    const Resource& group = s.resources[2];
    EXPECT_EQ(group.type, ResourceId::number(kGroupIcon));
    EXPECT_EQ(group.name, ResourceId::number(5));
    const std::vector<uint8_t>& d = group.data;
    ASSERT_EQ(d.size(), 6u + 2 * 14);
    EXPECT_EQ(word(d, 4), 2);
    EXPECT_EQ(d[6], 16);
    EXPECT_EQ(word(d, 10), 1); // planes, from the image
    EXPECT_EQ(word(d, 12), 8); // bits, from the image
    EXPECT_EQ(dword(d, 14), 44u);
    EXPECT_EQ(word(d, 18), 1); // image id
    EXPECT_EQ(word(d, 32), 2);
    // The second icon's images continue the numbering.
    EXPECT_EQ(s.resources[3].name, ResourceId::number(3));
    EXPECT_EQ(word(s.resources[5].data, 18), 3);

    write("bad.ico", std::string("\0\0\1\0\1\0", 6) + std::string(16, '\x7f'));
    EXPECT_EQ(failure("1 ICON \"bad.ico\"\n"), "1: 'bad.ico' has image 0 outside the file");
    write("text.ico", "hello");
    EXPECT_EQ(failure("\n1 ICON \"text.ico\"\n"), "2: 'text.ico' is not an icon file");
}

// Offsets worked out by hand from the documented VS_VERSIONINFO layout.
TEST_F(ResourceCompilerTest, VersionInfoInTheVersionBlockLayout) {
    ResourceScript s = compile("1 VERSIONINFO\nFILEVERSION 1,2,3,4\nPRODUCTVERSION 1,2,3\nFILETYPE 2\n"
                               "BEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904b0\"\n"
                               "    BEGIN\n      VALUE \"A\", \"xy\"\n    END\n  END\n"
                               "  BLOCK \"VarFileInfo\" { VALUE \"Translation\", 0x409, 1200 }\nEND\n");
    ASSERT_EQ(s.resources.size(), 1u);
    EXPECT_EQ(s.resources[0].type, ResourceId::number(kVersion));
    const std::vector<uint8_t>& d = s.resources[0].data;
    // Root (0): header, "VS_VERSION_INFO", padding to 40, the 52-byte fixed part.
    EXPECT_EQ(word(d, 2), 52);
    EXPECT_EQ(word(d, 4), 0);
    EXPECT_EQ(text(d, 6), "VS_VERSION_INFO");
    EXPECT_EQ(dword(d, 40), 0xFEEF04BDu);
    EXPECT_EQ(dword(d, 48), 0x00010002u);
    EXPECT_EQ(dword(d, 52), 0x00030004u);
    EXPECT_EQ(dword(d, 56), 0x00010002u);
    EXPECT_EQ(dword(d, 60), 0x00030000u); // a missing fourth part is 0
    EXPECT_EQ(dword(d, 76), 2u);
    // StringFileInfo (92) > "040904b0" (128) > "A" (152), whose value "xy" starts at 164.
    EXPECT_EQ(word(d, 92), 78);
    EXPECT_EQ(text(d, 98), "StringFileInfo");
    EXPECT_EQ(word(d, 128), 42);
    EXPECT_EQ(word(d, 152), 18);
    EXPECT_EQ(word(d, 154), 3); // characters, with the zero
    EXPECT_EQ(word(d, 156), 1); // text
    EXPECT_EQ(text(d, 164), "xy");
    // VarFileInfo (172) > Translation (204): two words of binary data at 236, length in bytes.
    EXPECT_EQ(word(d, 172), 68);
    EXPECT_EQ(text(d, 178), "VarFileInfo");
    EXPECT_EQ(word(d, 204), 36);
    EXPECT_EQ(word(d, 206), 4);
    EXPECT_EQ(word(d, 208), 0);
    EXPECT_EQ(dword(d, 236), 0x04B00409u);
    EXPECT_EQ(word(d, 0), d.size());
    EXPECT_EQ(d.size(), 240u);
}

TEST_F(ResourceCompilerTest, EmitsATableThatRegistersTheModule) {
    ResourceScript s = compile("104 RCDATA { 1, 2 }\nName Type { \"x\" }\n");
    std::string cpp = EmitCpp(s, "test.rc");
    EXPECT_NE(cpp.find("#include \"platform/win32/resources.h\""), std::string::npos);
    EXPECT_NE(cpp.find("{nullptr, 10, nullptr, 104, 0, kResource0, 4u}"), std::string::npos) << cpp;
    EXPECT_NE(cpp.find("{L\"TYPE\", 0, L\"NAME\", 0, 0, kResource1, 1u}"), std::string::npos) << cpp;
    EXPECT_NE(cpp.find("0x01,0x00,0x02,0x00,"), std::string::npos) << cpp;
    EXPECT_NE(cpp.find("ModuleResourceTable kTable(kEntries, 2)"), std::string::npos) << cpp;
    EXPECT_EQ(EmitDepfile("out/a b.cpp", {"/x/test.rc", "/x/data.bin"}),
              "out/a\\ b.cpp: /x/test.rc /x/data.bin\n");
}

} // namespace
} // namespace unfold::rc
