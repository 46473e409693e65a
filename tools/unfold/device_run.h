// One run of a capture device into the host's renderer, shared by `unfold capture` and `unfold stream`:
// COM, the device opened by its friendly name, the graph built and run, frames handed to the command
// until a frame count, a time, Ctrl-C, the end of the stream or a failure stops it, and the progress
// line on standard error.
#pragma once

#include <functional>
#include <string>

#include <dshow.h>

#include "tools/image/mjpg_clip.h"
#include "tools/image/status.h"
#include "tools/unfold/command.h"
#include "tools/unfold/frame_sink.h"

namespace tools::unfold {

constexpr wchar_t kVirtualCameraName[] = L"TELMAR ZK900 4K UVC";

struct DeviceRun {
    std::string command; // for messages: "capture"
    std::wstring device = kVirtualCameraName;
    uint64_t maxFrames = 0;        // 0: no limit
    double maxSeconds = 0;         // 0: no limit
    double firstFrameTimeout = 20; // seconds without any frame before giving up
    // True once the consumer can take no more (the reader of a stream went away): the run then ends
    // as if its frames were all taken, and the frame that found it out is not counted.
    std::function<bool()> consumerGone;
};

struct DeviceFormat {
    uint32_t width = 0;
    int32_t height = 0;
    uint32_t bitsPerPixel = 0;
    image::FrameRate rate{30, 1};
};

struct DeviceRunResult {
    uint64_t frames = 0; // frames handed to the consumer
    uint64_t dropped = 0, late = 0, repeated = 0;
    double seconds = 0;
    bool interrupted = false; // Ctrl-C
};

// prepare: called once the device's type is known, before the graph runs; a failure ends the run.
// consume: called for each frame on the streaming thread; a failure ends the run (a failure while
// run.consumerGone answers true ends it without an error).
// Answers an exit code; errors have been written to context.err.
int RunDevice(const DeviceRun& run, const std::function<image::Status(const DeviceFormat&)>& prepare,
              const std::function<image::Status(ReceivedFrame&&)>& consume, CommandContext& context,
              DeviceRunResult& result);

// The friendly names of the video capture devices, joined for a message.
std::string DeviceList();

} // namespace tools::unfold
