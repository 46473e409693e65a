// The progress line of a long run on standard error: frames received, the rate over the run, the
// frames a real-time renderer missed (1/30 s slots that passed without a frame) and the time so far,
// redrawn in place ("\r") at most a few times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace tools::unfold {

class ProgressLine {
public:
    ProgressLine(std::ostream& to, std::string label, double framesPerSecond, bool live)
        : to_(to), label_(std::move(label)), rate_(framesPerSecond), live_(live) {}

    // Starts the clock at the first frame.
    void start() { start_ = Clock::now(), started_ = true; }
    // Redraws the line when live and due.
    void update(uint64_t frames);
    // The final text of the line, ended by a newline; printed whether live or not.
    void finish(uint64_t frames);

    double elapsedSeconds() const;
    // Slots without a frame since the start.
    uint64_t dropped(uint64_t frames) const;
    std::string text(uint64_t frames) const;

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& to_;
    std::string label_;
    double rate_;
    bool live_;
    bool started_ = false;
    Clock::time_point start_, lastDrawn_;
};

} // namespace tools::unfold
