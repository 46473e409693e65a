// The unfold modes: one row per engine mode id with the name the engine prints, how its expander is
// created, and the index by which each control interface speaks of it. Everything that names a mode
// reads this table: the facade creates expanders and prints names from it, the filter's control
// interfaces and the virtual camera translate their indexes through it, the tools parse and label
// modes with it.
//
// Only the facade calls the factories. The lookups below read plain arrays derived from the table at
// compile time, so a module that only translates indexes (the virtual camera) includes this header
// without linking the modes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class CBaseExpander;

// Engine mode ids.
enum : int32_t {
    kModeNone = 0,    // front view of the whole circle
    kModeNoneAdj = 1, // calibration view
    kModePanorama = 2,
    kModeEqRect = 3,
    kModeEqRect2 = 4,
    kModeSeg = 5,
    kModeQuad = 6,
    kModeRing = 7,
    kModeDome = 8,
    kModeInDome = 9,
    kModeThrowOut = 10,
    kModeExtract = 11,
    kModeYtPrev1 = 12,
    kModeYtPrev2 = 13,
    kModeNoExpander = 14, // selecting it leaves no current expander: nothing is drawn
    kModeFront16x9 = 15,  // the front view fixed at 16:9
};
constexpr int32_t kModeCount = 16;

// The mode every connection of the expansion filter starts in, and the virtual camera's mode for a
// setting the table does not name.
constexpr int32_t kDefaultMode = kModeInDome;

// What an expander is created with: the facade's front-view pair (used by mode 0 only).
struct ModeCreateArgs {
    float aspectX, aspectY;
};
using ExpanderFactory = CBaseExpander* (*)(const ModeCreateArgs& args);

// The factories of the table (modes/mode_table.cpp): a new expander, or null when allocation fails.
CBaseExpander* NewFrontExpander(const ModeCreateArgs& args);
CBaseExpander* NewFront16x9Expander(const ModeCreateArgs& args);
CBaseExpander* NewAdjustExpander(const ModeCreateArgs& args);
CBaseExpander* NewPanoramaExpander(const ModeCreateArgs& args);
CBaseExpander* NewEquirectExpander(const ModeCreateArgs& args);
CBaseExpander* NewEqRect2Expander(const ModeCreateArgs& args);
CBaseExpander* NewSegExpander(const ModeCreateArgs& args);
CBaseExpander* NewQuadExpander(const ModeCreateArgs& args);
CBaseExpander* NewRingExpander(const ModeCreateArgs& args);
CBaseExpander* NewDomeExpander(const ModeCreateArgs& args);
CBaseExpander* NewInDomeExpander(const ModeCreateArgs& args);
CBaseExpander* NewThrowOutExpander(const ModeCreateArgs& args);
CBaseExpander* NewExtExpander(const ModeCreateArgs& args);
CBaseExpander* NewYouTubePrev1Expander(const ModeCreateArgs& args);
CBaseExpander* NewYouTubePrev2Expander(const ModeCreateArgs& args);

constexpr int kNoIndex = -1;
// The name printed for a mode id without a name of its own.
constexpr char kUnknownModeName[] = "UNKNOWN";

// name: what the engine prints ("SetExpMode(%s)"), kUnknownModeName for a mode without a name of its
// own; label: what a person reads, the name or "16:9".
struct UnfoldMode {
    int32_t id;
    const char* name;
    const char* label;
    ExpanderFactory create; // null: the mode has no expander
    int generalIndex;       // IORBE_General's index
    int filterIndex;        // IOrbExpFilter's index
    int vcamMode;           // the virtual camera's unfold-mode setting
};

// clang-format off
inline constexpr std::array<UnfoldMode, kModeCount> kUnfoldModes = {{
    // id             name        label       create                   General   IOrbExpFilter  camera
    {kModeNone,       "NONE",     "NONE",     NewFrontExpander,        0,        0,             0},
    {kModeNoneAdj,    "NONE_ADJ", "NONE_ADJ", NewAdjustExpander,       kNoIndex, kNoIndex,      kNoIndex},
    {kModePanorama,   "PANORAMA", "PANORAMA", NewPanoramaExpander,     1,        1,             1},
    {kModeEqRect,     "EQRECT",   "EQRECT",   NewEquirectExpander,     kNoIndex, kNoIndex,      kNoIndex},
    {kModeEqRect2,    "EQRECT2",  "EQRECT2",  NewEqRect2Expander,      kNoIndex, kNoIndex,      kNoIndex},
    {kModeSeg,        "SEG",      "SEG",      NewSegExpander,          2,        2,             2},
    {kModeQuad,       "QUAD",     "QUAD",     NewQuadExpander,         3,        3,             3},
    {kModeRing,       "RING",     "RING",     NewRingExpander,         4,        4,             4},
    {kModeDome,       "DOME",     "DOME",     NewDomeExpander,         5,        5,             5},
    {kModeInDome,     "INDOME",   "INDOME",   NewInDomeExpander,       6,        6,             6},
    {kModeThrowOut,   "THROWOUT", "THROWOUT", NewThrowOutExpander,     7,        7,             7},
    {kModeExtract,    "EXTRACT",  "EXTRACT",  NewExtExpander,          8,        8,             8},
    {kModeYtPrev1,    "YTPREV1",  "YTPREV1",  NewYouTubePrev1Expander, kNoIndex, kNoIndex,      kNoIndex},
    {kModeYtPrev2,    "YTPREV2",  "YTPREV2",  NewYouTubePrev2Expander, kNoIndex, kNoIndex,      kNoIndex},
    {kModeNoExpander, kUnknownModeName, kUnknownModeName,
                                          nullptr,                 9,        kNoIndex,      kNoIndex},
    {kModeFront16x9,  kUnknownModeName, "16:9",
                                          NewFront16x9Expander,    10,       9,             10},
}};
// clang-format on

namespace mode_table_detail {

consteval bool idsInOrder() {
    for (int32_t i = 0; i < kModeCount; ++i)
        if (kUnfoldModes[size_t(i)].id != i) return false;
    return true;
}

// One past the largest index of a column.
template <int UnfoldMode::*Column>
consteval size_t indexCount() {
    int n = 0;
    for (const UnfoldMode& m : kUnfoldModes)
        if (m.*Column + 1 > n) n = m.*Column + 1;
    return size_t(n);
}

template <int UnfoldMode::*Column>
consteval bool indexesUnique() {
    for (const UnfoldMode& a : kUnfoldModes)
        for (const UnfoldMode& b : kUnfoldModes)
            if (a.id != b.id && a.*Column != kNoIndex && a.*Column == b.*Column) return false;
    return true;
}

// The engine mode of each index of a column (-1 for an index no mode has).
template <int UnfoldMode::*Column>
consteval std::array<int32_t, indexCount<Column>()> modesByIndex() {
    std::array<int32_t, indexCount<Column>()> modes{};
    modes.fill(-1);
    for (const UnfoldMode& m : kUnfoldModes)
        if (m.*Column != kNoIndex) modes[size_t(m.*Column)] = m.id;
    return modes;
}

template <class T, T UnfoldMode::*Column>
consteval std::array<T, kModeCount> byMode() {
    std::array<T, kModeCount> values{};
    for (const UnfoldMode& m : kUnfoldModes) values[size_t(m.id)] = m.*Column;
    return values;
}

} // namespace mode_table_detail

static_assert(mode_table_detail::idsInOrder(), "row i holds mode id i");
static_assert(mode_table_detail::indexesUnique<&UnfoldMode::generalIndex>());
static_assert(mode_table_detail::indexesUnique<&UnfoldMode::filterIndex>());
static_assert(mode_table_detail::indexesUnique<&UnfoldMode::vcamMode>());

inline constexpr auto kModeNames = mode_table_detail::byMode<const char*, &UnfoldMode::name>();
inline constexpr auto kModeLabels = mode_table_detail::byMode<const char*, &UnfoldMode::label>();
inline constexpr auto kGeneralIndexOfMode = mode_table_detail::byMode<int, &UnfoldMode::generalIndex>();
inline constexpr auto kFilterIndexOfMode = mode_table_detail::byMode<int, &UnfoldMode::filterIndex>();
inline constexpr auto kModeOfGeneralIndex = mode_table_detail::modesByIndex<&UnfoldMode::generalIndex>();
inline constexpr auto kModeOfFilterIndex = mode_table_detail::modesByIndex<&UnfoldMode::filterIndex>();
inline constexpr auto kModeOfVCamMode = mode_table_detail::modesByIndex<&UnfoldMode::vcamMode>();

constexpr bool IsModeId(int32_t id) {
    return id >= 0 && id < kModeCount;
}

// The engine's name of a mode id; "UNKNOWN" for every id without one.
constexpr const char* ModeName(int32_t id) {
    return IsModeId(id) ? kModeNames[size_t(id)] : kUnknownModeName;
}

// Mode id of an IORBE_General index, -1 for an index outside the table.
constexpr int32_t ModeOfGeneralIndex(int index) {
    return index >= 0 && size_t(index) < kModeOfGeneralIndex.size() ? kModeOfGeneralIndex[size_t(index)] : -1;
}

// IORBE_General's index of a mode id, kNoIndex for a mode it cannot name.
constexpr int GeneralIndexOfMode(int32_t id) {
    return IsModeId(id) ? kGeneralIndexOfMode[size_t(id)] : kNoIndex;
}

// IOrbExpFilter's index of a mode id, kNoIndex for a mode it cannot name.
constexpr int FilterIndexOfMode(int32_t id) {
    return IsModeId(id) ? kFilterIndexOfMode[size_t(id)] : kNoIndex;
}

// Mode id of an IOrbExpFilter index, -1 for an index outside the table.
constexpr int32_t ModeOfFilterIndex(int index) {
    return index >= 0 && size_t(index) < kModeOfFilterIndex.size() ? kModeOfFilterIndex[size_t(index)] : -1;
}

// The IOrbExpFilter index the virtual camera sends for its unfold-mode setting: the index of the mode
// the table gives that setting, or of the default mode for any other setting (9 among them).
constexpr int FilterIndexOfVCamMode(int32_t vcamMode) {
    const int32_t mode =
        vcamMode >= 0 && size_t(vcamMode) < kModeOfVCamMode.size() && kModeOfVCamMode[size_t(vcamMode)] >= 0
            ? kModeOfVCamMode[size_t(vcamMode)]
            : kDefaultMode;
    return FilterIndexOfMode(mode);
}
