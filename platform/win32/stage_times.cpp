#include "platform/win32/stage_times.h"

#include <time.h>

#include <atomic>
#include <cstdint>

namespace platform {
namespace {

std::atomic<bool> g_enabled{false};
std::atomic<int64_t> g_nanoseconds[kStageCount];
thread_local Stage t_current = Stage::None;

bool Valid(Stage stage) {
    return int(stage) >= 0 && int(stage) < kStageCount;
}

} // namespace

void EnableStageTimes(bool on) {
    g_enabled.store(on, std::memory_order_relaxed);
}

double StageSeconds(Stage stage) {
    return Valid(stage) ? double(g_nanoseconds[int(stage)].load(std::memory_order_relaxed)) * 1e-9 : 0.0;
}

void AddStageTime(Stage stage, double seconds) {
    if (Valid(stage) && seconds > 0)
        g_nanoseconds[int(stage)].fetch_add(int64_t(seconds * 1e9 + 0.5), std::memory_order_relaxed);
}

Stage CurrentStage() {
    return t_current;
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

StageTimer::StageTimer(Stage stage) {
    if (!g_enabled.load(std::memory_order_relaxed) || !Valid(stage) || t_current != Stage::None) return;
    stage_ = stage;
    t_current = stage;
    start_ = ThreadCpuSeconds();
}

StageTimer::~StageTimer() {
    if (stage_ == Stage::None) return;
    AddStageTime(stage_, ThreadCpuSeconds() - start_);
    t_current = Stage::None;
}

} // namespace platform
