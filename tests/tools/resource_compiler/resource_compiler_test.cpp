// The resource compiler: preprocessing, statements, data, errors, and the C++ it emits.
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <gtest/gtest.h>

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
        reader_ = std::make_unique<RcReader>(std::vector<std::string>{(dir_ / "include").string()});
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
    EXPECT_EQ(failure("\n100 DIALOGEX 0, 0, 10, 10\n"), "2: DIALOGEX resources are not supported yet");
    EXPECT_EQ(failure("#define F(x) x\n\nF(1) RCDATA { 1 }\n"), "3: function-like macro F is not supported");
    EXPECT_EQ(failure("1 RCDATA { 70000 }\n"), "1: number 70000 does not fit in a 16-bit word; add L");
    EXPECT_EQ(failure("70000 RCDATA { 1 }\n"), "1: resource identifier 70000 does not fit in 16 bits");
    EXPECT_EQ(failure("#if 1\n1 RCDATA { 1 }\n"), "1: #if without #endif");
    EXPECT_EQ(failure("1 RCDATA {\n  1,\n"), "2: expected END but found end of file");
    EXPECT_EQ(failure("#include \"nowhere.h\"\n"), "1: cannot find include file 'nowhere.h'");
    EXPECT_EQ(failure("1 RCDATA { \"open }\n"), "1: unterminated string");
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
