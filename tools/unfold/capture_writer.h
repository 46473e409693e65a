// Writes what a capture receives into a folder, on a thread of its own so that the renderer never
// waits for the disk: every frame into one video (MJPG in AVI, or Y4M), and every Nth frame as a PNG
// picture ("frame-000001.png", numbered from 1 by the order of arrival). An AVI that reaches its size
// limit goes on in "video-2.avi", "video-3.avi", ...
//
// Frames wait in a queue of bounded length; when the writer falls that far behind, Add blocks, which
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
    uint64_t picturesWritten() const { return pictures_; }
    const std::vector<std::string>& videos() const { return videos_; }
    // Frames waiting to be written now.
    size_t backlog();

private:
    void run();
    image::Status write(const ReceivedFrame& frame);
    image::Status openVideo(uint32_t width, uint32_t height);
    image::Status closeVideo();
    std::string videoPath(size_t part) const;

    CaptureOutput output_;
    image::FrameRate rate_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<ReceivedFrame> queue_;
    bool finishing_ = false;
    image::Status failure_; // the first failure, under lock_

    // The writing thread's own state.
    uint64_t arrived_ = 0, videoFrames_ = 0, pictures_ = 0;
    uint32_t width_ = 0, height_ = 0;
    image::AviWriter avi_;
    int y4m_ = -1; // the Y4M file being written
    std::unique_ptr<image::Y4mWriter> y4mStream_;
    std::vector<std::string> videos_;
};

} // namespace tools::unfold
