// The report sites of the engine's "[ERR]" debugger lines.
//
// A failure inside the engine is written as "\r\n[ERR]<tag>:<number> (0x<code>)\r\n\r\n": the tag names
// the function (class and method joined by two colons) and the number the place within it that
// reported. Tag and number together are this system's report identifier, which logs are searched for
// and tests assert, so every site is listed here with its number fixed: the numbers began as source
// line numbers and must not follow the code when it moves. A new site takes a number not yet used
// under its tag.
#pragma once

struct ReportSite {
    const char* tag;
    int line;
};

namespace report {

// COrbExpander
inline constexpr ReportSite kInitializeHardware{"COrbExpander::Initialize", 95};  // hardware device
inline constexpr ReportSite kInitializeReference{"COrbExpander::Initialize", 99}; // reference device
inline constexpr ReportSite kInitializeObjects{"COrbExpander::Initialize", 106};  // targets or effect
inline constexpr ReportSite kCreateTargets{"COrbExpander::createTargets", 144};
inline constexpr ReportSite kCreateRgbTexture{"COrbExpander::createRgbTexture", 173};
inline constexpr ReportSite kSetInput{"COrbExpander::SetInput", 187};
inline constexpr ReportSite kSetRenderBufSize{"COrbExpander::SetRenderBufSize", 208};
inline constexpr ReportSite kRenderNoEffect{"COrbExpander::Render", 252}; // reported once per device
inline constexpr ReportSite kRenderUpload{"COrbExpander::Render", 260};

// CBaseExpander
inline constexpr ReportSite kCreateGlobalVtx{"CBaseExpander::createGlobalVtx", 107};
inline constexpr ReportSite kCreatePanoramaVtx{"CBaseExpander::createPanoramaVtx", 151};
inline constexpr ReportSite kCreateGlobalMask{"CBaseExpander::createGlobalMask", 176};
inline constexpr ReportSite kCreateCommonRasterizer{"CBaseExpander::createCommonRasterizer", 186};
inline constexpr ReportSite kCreateCommonBlender{"CBaseExpander::createCommonBlender", 207};
inline constexpr ReportSite kCreateMaskWriteState{"CBaseExpander::createCommonDSState", 230};
inline constexpr ReportSite kCreateMaskTestState{"CBaseExpander::createCommonDSState", 245};
inline constexpr ReportSite kCreateOutBufRes{"CBaseExpander::createOutBufRes", 286};
inline constexpr ReportSite kDrawApply{"CBaseExpander::draw", 299};
inline constexpr ReportSite kDrawLinesBuffer{"CBaseExpander::drawLines", 314};
inline constexpr ReportSite kDrawLinesApply{"CBaseExpander::drawLines", 326};
inline constexpr ReportSite kRenderGlobalMask{"CBaseExpander::renderGlobalMask", 340};
inline constexpr ReportSite kSetInputSizeQuad{"CBaseExpander::SetInputSize", 361};
inline constexpr ReportSite kSetInputSize{"CBaseExpander::SetInputSize", 378};
inline constexpr ReportSite kCreateEffect{"CBaseExpander::CreateEffect", 432};
inline constexpr ReportSite kCreateInputLayout{"CBaseExpander::CreateEffect", 447};
inline constexpr ReportSite kRenderAllInputKind{"CBaseExpander::RenderAll", 470};
inline constexpr ReportSite kRenderAllOutBuf{"CBaseExpander::RenderAll", 497};
inline constexpr ReportSite kRenderAllPresent{"CBaseExpander::RenderAll", 503};
inline constexpr ReportSite kRenderOutBufTargets{"CBaseExpander::renderOutBuf", 512};
inline constexpr ReportSite kRenderOutBufMain{"CBaseExpander::renderOutBuf", 521};
inline constexpr ReportSite kRenderOutBufStaging{"CBaseExpander::renderOutBuf", 533};
inline constexpr ReportSite kRenderOutBufMap{"CBaseExpander::renderOutBuf", 540};

// Effect variables
inline constexpr ReportSite kSetEffectFloat{"SetEffectFloat", 24};
inline constexpr ReportSite kSetEffectInt{"SetEffectInt", 29};
inline constexpr ReportSite kSetEffectBool{"SetEffectBool", 34};
inline constexpr ReportSite kSetEffectFilter{"SetEffectFilter", 41};
inline constexpr ReportSite kSetEffectResource{"SetEffectResource", 50};

// The unfold modes
inline constexpr ReportSite kFrontRenderMain{"CFrontExpander::renderMain", 113};
inline constexpr ReportSite kAdjustSetInputSize{"CAdjustExpander::SetInputSize", 146};
inline constexpr ReportSite kAdjustInitialize{"CAdjustExpander::initialize", 62};
inline constexpr ReportSite kEqRect2CreateMainVtx{"CEqRect2Expander::createMainVtx", 158};
inline constexpr ReportSite kEqRect2CreateMask{"CEqRect2Expander::createMask", 263};
inline constexpr ReportSite kEqRect2InitializeMain{"CEqRect2Expander::initialize", 280};
inline constexpr ReportSite kEqRect2InitializeMask{"CEqRect2Expander::initialize", 281};
inline constexpr ReportSite kSegInitialize{"CSegExpander::initialize", 78};
inline constexpr ReportSite kSegRenderPreviewLine{"CSegExpander::renderPreviewLine", 294};
inline constexpr ReportSite kQuadInitialize{"CQuadExpander::initialize", 41};
inline constexpr ReportSite kQuadRenderPreviewLine{"CQuadExpander::renderPreviewLine", 284};
inline constexpr ReportSite kRingInitialize{"CRingExpander::initialize", 43};
inline constexpr ReportSite kRingRenderPreviewRim{"CRingExpander::renderPreviewLine", 168};
inline constexpr ReportSite kRingRenderPreviewInner{"CRingExpander::renderPreviewLine", 169};
inline constexpr ReportSite kDomeInitialize{"CDomeExpander::initialize", 42};
inline constexpr ReportSite kThrowOutInitialize{"CThrowOutExpander10::initialize", 22};
inline constexpr ReportSite kThrowOutRenderPreviewLine{"CThrowOutExpander10::renderPreviewLine", 133};

} // namespace report
