#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/registry_text.h"
#include "tests/processor_time.h"

namespace {

using platform::registry::FormatHive;
using platform::registry::Key;
using platform::registry::ParseHive;
using platform::registry::ParseResult;
using platform::registry::Value;

const std::wstring kRoot = L"HKEY_CURRENT_USER";
const std::string kHeader = "Windows Registry Editor Version 5.00\n";

ParseResult parse(const std::string& text, Key& root) {
    root = Key{};
    root.name = kRoot;
    return ParseHive(text, kRoot, root);
}

std::vector<std::wstring> childNames(const Key& key) {
    std::vector<std::wstring> names;
    for (auto& [name, child] : key.children()) names.push_back(child->name);
    return names;
}

Value stringValue(const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) {
    Value v{name, type, {}};
    v.data.resize((text.size() + 1) * sizeof(WCHAR));
    std::memcpy(v.data.data(), text.data(), text.size() * sizeof(WCHAR));
    return v;
}

// Writing, reading and writing again gives the same text, and reading gives back every value.
void expectRoundTrip(const Key& tree) {
    std::string written = FormatHive(kRoot, tree);
    Key back;
    ParseResult result = parse(written, back);
    EXPECT_FALSE(result.damaged) << result.line << ": " << result.problem << "\n" << written;
    EXPECT_EQ(FormatHive(kRoot, back), written);
}

TEST(RegistryText, NamesAndDataOfEveryKindReadBackTheSame) {
    Key root;
    root.name = kRoot;
    Key* key = root.addChild(L"Soft ware]")->addChild(L"[x] \"q\" \u00e9\U0001F600\uFFFD");
    key->setValue(stringValue(L"", L"default"));
    key->setValue(stringValue(L"quote\" back\\slash = hex\\", L"C:\\dir\\"));
    key->setValue(stringValue(L"controls", L"tab\there\nline\r\x01"));
    key->setValue(stringValue(L"astral", L"\U0001F600 \u00e9"));
    std::wstring lone = L"a";
    lone += static_cast<wchar_t>(0xD800); // read from a UTF-16 file, it stays as it was
    key->setValue(stringValue(L"lone surrogate", lone));
    key->setValue(stringValue(L"multi", std::wstring(L"a\0b\0", 4), REG_MULTI_SZ));
    key->setValue(stringValue(L"expand", L"%HOME%", REG_EXPAND_SZ));
    key->setValue(Value{L"short dword", REG_DWORD, {1, 2, 3}});
    key->setValue(Value{L"odd type", 0xFFFFFFFF, {0, 0xFF}});
    key->setValue(Value{L"empty binary", REG_BINARY, {}});
    key->setValue(Value{L"empty string", REG_SZ, {}});
    std::vector<BYTE> big(1000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 7);
    key->setValue(Value{L"big", REG_BINARY, big});
    root.setValue(Value{L"at the root", REG_DWORD, {1, 0, 0, 0}});
    root.addChild(L"Empty");
    expectRoundTrip(root);

    Key back;
    parse(FormatHive(kRoot, root), back);
    Key* again = back.child(L"Soft ware]")->child(L"[x] \"q\" \u00e9\U0001F600\uFFFD");
    ASSERT_NE(again, nullptr);
    ASSERT_EQ(again->valueCount(), key->valueCount());
    for (size_t i = 0; i < key->values().size(); ++i) {
        EXPECT_EQ(again->values()[i].name, key->values()[i].name);
        EXPECT_EQ(again->values()[i].type, key->values()[i].type) << i;
        EXPECT_EQ(again->values()[i].data, key->values()[i].data) << i;
    }
    EXPECT_NE(back.child(L"Empty"), nullptr);
}

TEST(RegistryText, ADamagedLineCostsOnlyItself) {
    Key root;
    ParseResult result = parse(kHeader + "[HKEY_CURRENT_USER\\A]\n"
                                         "\"before\"=dword:00000001\n"
                                         "garbage\n"
                                         "\"after\"=dword:00000002\n"
                                         "[HKEY_CURRENT_USER\\B\n"
                                         "\"lost\"=dword:00000003\n"
                                         "[HKEY_CURRENT_USER\\C]\n"
                                         "\"kept\"=dword:00000004\n",
                               root);
    EXPECT_TRUE(result.damaged);
    EXPECT_EQ(result.line, 4u);
    EXPECT_EQ(result.skippedLines, 3u); // the garbage, the bad key line and the value below it
    EXPECT_EQ(childNames(root), (std::vector<std::wstring>{L"A", L"C"}));
    EXPECT_EQ(root.child(L"A")->valueCount(), 2u);
    EXPECT_NE(root.child(L"C")->value(L"kept"), nullptr);
}

TEST(RegistryText, ANulByteIsDamageNotTheEndOfTheFile) {
    Key root;
    std::string text = kHeader + "[HKEY_CURRENT_USER\\A]\n\"x\"=\"a";
    text += '\0';
    text += "b\"\n\"y\"=dword:00000001\n[HKEY_CURRENT_USER\\B]\n\"z\"=dword:00000002\n";
    ParseResult result = parse(text, root);
    EXPECT_TRUE(result.damaged);
    EXPECT_EQ(result.line, 3u);
    EXPECT_EQ(childNames(root), (std::vector<std::wstring>{L"A", L"B"}));
    EXPECT_EQ(root.child(L"A")->value(L"x"), nullptr);
    EXPECT_NE(root.child(L"A")->value(L"y"), nullptr);
    EXPECT_NE(root.child(L"B")->value(L"z"), nullptr);

    // In a key name it must not rename the key: the key line is refused.
    std::string name = kHeader + "[HKEY_CURRENT_USER\\ab";
    name.insert(name.size() - 1, 1, '\0');
    name += "]\n\"v\"=dword:00000001\n";
    result = parse(name, root);
    EXPECT_TRUE(result.damaged);
    EXPECT_EQ(root.childCount(), 0u);
}

struct DamagedText {
    const char* name;
    std::string bytes;
    size_t line;
};

class RegistryTextDamage : public ::testing::TestWithParam<DamagedText> {};

// Each of these is reported, and what is read is written back so that it reads the same again.
TEST_P(RegistryTextDamage, IsReportedAndTheRestReadsBackStably) {
    Key root;
    ParseResult result = parse(GetParam().bytes, root);
    EXPECT_TRUE(result.damaged);
    EXPECT_EQ(result.line, GetParam().line) << result.problem;
    expectRoundTrip(root);
}

std::string utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += c, out += '\0';
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Registry, RegistryTextDamage,
    ::testing::Values(
        DamagedText{"HexListCutAtTheEnd", kHeader + "[HKEY_CURRENT_USER\\A]\n\"b\"=hex:01,02", 3},
        DamagedText{"HexContinuationCutAtTheEnd", kHeader + "[HKEY_CURRENT_USER\\A]\n\"b\"=hex:01,\\\n  02",
                    3},
        DamagedText{"HexContinuationMissing",
                    kHeader + "[HKEY_CURRENT_USER\\A]\n\"b\"=hex:01,\\\n[HKEY_CURRENT_USER\\B]\n", 3},
        DamagedText{"Utf16OddTrailingByte", utf16(kHeader + "[HKEY_CURRENT_USER\\A]\n") + "x", 2},
        DamagedText{"Utf16LoneSurrogate",
                    utf16(kHeader + "[HKEY_CURRENT_USER\\A") + std::string("\x00\xD8]\0\n\0", 6), 2},
        DamagedText{
            "InvalidUtf8InAString",
            kHeader + "[HKEY_CURRENT_USER\\A]\n\"s\"=\"\xC0\x80\xED\xA0\x80\xF8\x88\x80\x80\x80\xFF\"\n", 3},
        DamagedText{"InvalidUtf8InAKeyName", kHeader + "[HKEY_CURRENT_USER\\A\xE2\x82]\n", 2},
        DamagedText{"HexTypeTooWide", kHeader + "[HKEY_CURRENT_USER\\A]\n\"t\"=hex(100000001):00\n", 3},
        DamagedText{"ControlCharacterInAValueName", kHeader + "[HKEY_CURRENT_USER\\A]\n\"a\x01\"=\"b\"\n",
                    3}),
    [](const ::testing::TestParamInfo<DamagedText>& info) { return info.param.name; });

TEST(RegistryText, DepthAndNameLengthsAreHeldToWindowsLimits) {
    auto deep = [](size_t levels, const std::string& name = "k") {
        std::string line = "[HKEY_CURRENT_USER";
        for (size_t i = 0; i < levels; ++i) line += "\\" + name;
        return line + "]\n";
    };
    Key root;
    EXPECT_FALSE(parse(kHeader + deep(512) + "\"v\"=dword:00000001\n", root).damaged);
    EXPECT_TRUE(parse(kHeader + deep(513), root).damaged);
    EXPECT_EQ(root.childCount(), 0u);
    // Far deeper than any stack could take apart recursively.
    EXPECT_TRUE(parse(kHeader + deep(1000000), root).damaged);
    EXPECT_EQ(root.childCount(), 0u);

    EXPECT_FALSE(parse(kHeader + deep(1, std::string(255, 'n')), root).damaged);
    EXPECT_TRUE(parse(kHeader + deep(1, std::string(256, 'n')), root).damaged);
    EXPECT_FALSE(
        parse(kHeader + deep(1) + "\"" + std::string(16383, 'v') + "\"=dword:00000001\n", root).damaged);
    EXPECT_TRUE(
        parse(kHeader + deep(1) + "\"" + std::string(16384, 'v') + "\"=dword:00000001\n", root).damaged);
}

TEST(RegistryText, ADeepKeyIsWrittenInSpaceLinearInItsDepth) {
    std::string text = kHeader + "[HKEY_CURRENT_USER";
    for (int i = 0; i < 512; ++i) text += "\\" + std::string(40, 'k');
    text += "]\n\"v\"=dword:00000001\n";
    Key root;
    ASSERT_FALSE(parse(text, root).damaged);
    EXPECT_LT(FormatHive(kRoot, root).size(), 2 * text.size());
}

// Processor seconds to read a key where count values are set and every other one deleted, and write
// it out.
double valueSeconds(int count) {
    std::string text = kHeader + "[HKEY_CURRENT_USER\\Many]\n";
    for (int i = 0; i < count; ++i) text += "\"value" + std::to_string(i) + "\"=dword:00000001\n";
    for (int i = 0; i < count; i += 2) text += "\"VALUE" + std::to_string(i) + "\"=-\n";
    const double start = testing_time::ProcessorSeconds();
    Key root;
    EXPECT_FALSE(parse(text, root).damaged);
    const Key& many = *root.child(L"Many");
    EXPECT_EQ(many.valueCount(), size_t(count / 2));
    EXPECT_EQ(many.values()[0].name, L"value1");
    EXPECT_EQ(many.values().back().name, L"value" + std::to_wstring(count - 1));
    EXPECT_LT(FormatHive(kRoot, root).size(), text.size());
    return testing_time::ProcessorSeconds() - start;
}

// Four times the values take about four times as long, not sixteen (in quadratic time 100,000 took
// ten minutes). The margin allows for sanitizers; the time is processor time, and each size takes its
// best of three runs, since a busy machine only ever makes a run slower.
TEST(RegistryText, ManyValuesReadInLinearTime) {
    double small = 1e9, large = 1e9;
    for (int run = 0; run < 3; ++run) {
        small = std::min(small, valueSeconds(20000));
        large = std::min(large, valueSeconds(80000));
    }
    EXPECT_LT(large, 8 * small + 1.0) << small << " s, then " << large << " s";
}

} // namespace
