// CPU time spent in the stages of the picture path (decoding, unfolding, copying), process-wide, for
// the pipeline benchmark. Each stage is timed by the CPU clock of the thread that does it, so the
// stages of a process never add up to more than the process's CPU time. Off until EnableStageTimes;
// while off a StageTimer costs one relaxed atomic load.
#pragma once

namespace platform {

enum class Stage : int { None = -1, Decode, Unfold, Copy };
inline constexpr int kStageCount = 3;

void EnableStageTimes(bool on);

// CPU seconds spent in the stage, by all threads, while stage times were enabled.
double StageSeconds(Stage stage);
void AddStageTime(Stage stage, double seconds);

// The stage the calling thread is timing, Stage::None when none (or while off). Threads that do part
// of that work for it (the Direct3D device's workers) add their CPU time to the same stage.
Stage CurrentStage();

// The calling thread's CPU time in seconds.
double ThreadCpuSeconds();

// Adds the calling thread's CPU time from construction to destruction to the stage. A timer inside
// another one on the same thread adds nothing: the outer stage keeps that time, so none is counted
// twice.
class StageTimer {
public:
    explicit StageTimer(Stage stage);
    ~StageTimer();
    StageTimer(const StageTimer&) = delete;
    StageTimer& operator=(const StageTimer&) = delete;

private:
    Stage stage_ = Stage::None;
    double start_ = 0;
};

} // namespace platform
