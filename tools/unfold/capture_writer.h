// Writes what a capture receives into a folder, on threads of its own so that the renderer does not
// wait for the disk: every frame into one video (MJPG in AVI, or Y4M) on one thread, and every Nth
// frame as a PNG picture ("frame-000001.png", numbered from 1 by the order of arrival) on another, as
// a PNG takes many times longer to make than a video frame. An AVI that reaches its size limit goes
// on in "video-2.avi", "video-3.avi", ...
//
// Frames wait in queues of bounded length; when a thread falls that far behind, Add blocks, which
// slows the capture rather than losing frames or memory.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/image/avi_writer.h"
#include "tools/image/mjpg_clip.h"
#include "tools/image/status.h"
#include "tools/image/y4m_writer.h"
#include "tools/unfold/frame_sink.h"

namespace tools::unfold {

enum class VideoKind { Avi, Y4m };

struct CaptureOutput {
    std::string folder;
    VideoKind video = VideoKind::Avi;
    int pngEvery = 30; // a PNG of frame 1, 1 + N, 1 + 2N, ...; 0 for none
    int jpegQuality = 90;
    size_t queueFrames = 32;
};

class CaptureWriter {
public:
    explicit CaptureWriter(CaptureOutput output, image::FrameRate rate)
        : output_(std::move(output)), rate_(rate) {}
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // Starts the writing thread; the folder must exist.
    void Start();
    // Queues a frame; blocks while the queue is full. Frames after a failure are ignored.
    void Add(ReceivedFrame&& frame);
    // Writes what is queued, closes the video and answers the first failure, if any.
    image::Status Finish();

    // What was written (valid after Finish).
    uint64_t framesInVideo() const { return videoFrames_; }
    uint64_t picturesWritten() const { return picturesWritten_; }
    const std::vector<std::string>& videos() const { return videos_; }

private:
    // A frame and its number from 1.
    using Queued = std::pair<uint64_t, std::shared_ptr<const ReceivedFrame>>;
    struct Lane {
        std::deque<Queued> queue;
        size_t limit = 0;
        std::thread thread;
    };

    void run(Lane& lane, image::Status (CaptureWriter::*write)(const Queued&));
    image::Status writeVideo(const Queued& frame);
    image::Status writePicture(const Queued& frame);
    image::Status openVideo(uint32_t width, uint32_t height);
    image::Status closeVideo();
    std::string videoPath(size_t part) const;

    CaptureOutput output_;
    image::FrameRate rate_;
    std::mutex lock_;
    std::condition_variable changed_;
    Lane video_, pictures_;
    uint64_t arrived_ = 0;
    bool finishing_ = false;
    image::Status failure_; // the first failure, under lock_

    // Each thread's own state.
    uint64_t videoFrames_ = 0, picturesWritten_ = 0;
    uint32_t width_ = 0, height_ = 0;
    image::AviWriter avi_;
    int y4m_ = -1; // the Y4M file being written
    std::unique_ptr<image::Y4mWriter> y4mStream_;
    std::vector<std::string> videos_;
};

} // namespace tools::unfold
