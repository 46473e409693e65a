#include "tools/unfold/progress_line.h"

#include <cmath>
#include <cstdio>

namespace tools::unfold {

double ProgressLine::elapsedSeconds() const {
    return started_ ? std::chrono::duration<double>(Clock::now() - start_).count() : 0.0;
}

uint64_t ProgressLine::dropped(uint64_t frames) const {
    if (!started_ || frames == 0) return 0;
    // Frame 1 came at the start; by now the slots since then have passed.
    const uint64_t slots = uint64_t(std::floor(elapsedSeconds() * rate_)) + 1;
    return slots > frames ? slots - frames : 0;
}

std::string ProgressLine::text(uint64_t frames) const {
    const double seconds = elapsedSeconds();
    const double fps = seconds > 0 && frames > 1 ? double(frames - 1) / seconds : 0.0;
    char line[160];
    std::snprintf(line, sizeof line, "%s: %llu frames, %.1f fps, %llu dropped, %.1f s", label_.c_str(),
                  static_cast<unsigned long long>(frames), fps,
                  static_cast<unsigned long long>(dropped(frames)), seconds);
    return line;
}

void ProgressLine::update(uint64_t frames) {
    if (!live_) return;
    const Clock::time_point now = Clock::now();
    if (now - lastDrawn_ < std::chrono::milliseconds(250)) return;
    lastDrawn_ = now;
    to_ << "\r" << text(frames) << "\x1b[K" << std::flush;
}

void ProgressLine::finish(uint64_t frames) {
    to_ << (live_ ? "\r" : "") << text(frames) << (live_ ? "\x1b[K" : "") << "\n" << std::flush;
}

} // namespace tools::unfold
