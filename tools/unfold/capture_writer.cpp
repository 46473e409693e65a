#include "tools/unfold/capture_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "tools/image/dib.h"
#include "tools/image/image_file.h"
#include "tools/image/jpeg_codec.h"

namespace tools::unfold {

using image::Status;

CaptureWriter::~CaptureWriter() {
    if (thread_.joinable()) (void)Finish();
}

void CaptureWriter::Start() {
    thread_ = std::thread([this] { run(); });
}

void CaptureWriter::Add(ReceivedFrame&& frame) {
    std::unique_lock lock(lock_);
    changed_.wait(lock, [&] { return queue_.size() < output_.queueFrames || finishing_; });
    if (!failure_.ok() || finishing_) return;
    queue_.push_back(std::move(frame));
    changed_.notify_all();
}

size_t CaptureWriter::backlog() {
    std::lock_guard lock(lock_);
    return queue_.size();
}

Status CaptureWriter::Finish() {
    {
        std::lock_guard lock(lock_);
        finishing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    Status failure;
    {
        std::lock_guard lock(lock_);
        failure = failure_;
    }
    if (failure.ok()) return closeVideo();
    // A failed capture leaves no half-written video.
    avi_.Discard();
    if (y4m_ >= 0) {
        close(y4m_);
        y4m_ = -1;
        unlink((videos_.back() + ".part").c_str());
    }
    return failure;
}

void CaptureWriter::run() {
    for (;;) {
        ReceivedFrame frame;
        {
            std::unique_lock lock(lock_);
            changed_.wait(lock, [&] { return !queue_.empty() || finishing_; });
            if (queue_.empty()) return;
            frame = std::move(queue_.front());
            queue_.pop_front();
        }
        changed_.notify_all();
        Status s = write(frame);
        if (!s) {
            std::lock_guard lock(lock_);
            if (failure_.ok()) failure_ = s;
            queue_.clear();
            changed_.notify_all();
            return;
        }
    }
}

std::string CaptureWriter::videoPath(size_t part) const {
    const char* extension = output_.video == VideoKind::Avi ? ".avi" : ".y4m";
    return output_.folder + "/video" + (part == 0 ? std::string() : "-" + std::to_string(part + 1)) +
           extension;
}

Status CaptureWriter::openVideo(uint32_t width, uint32_t height) {
    width_ = width, height_ = height;
    const std::string path = videoPath(videos_.size());
    if (output_.video == VideoKind::Avi) {
        if (Status s = avi_.Open(path, width, height, rate_); !s) return s;
    } else {
        // Written under a temporary name and renamed when complete, as the AVI is.
        y4m_ = open((path + ".part").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (y4m_ < 0) return Status::Error("cannot create '" + path + "': " + std::strerror(errno));
        y4mStream_ = std::make_unique<image::Y4mWriter>(y4m_, path);
        videos_.push_back(path);
        return y4mStream_->Start(width, height, rate_);
    }
    videos_.push_back(path);
    return Status::Ok();
}

Status CaptureWriter::closeVideo() {
    if (output_.video == VideoKind::Avi) return avi_.isOpen() ? avi_.Close() : Status::Ok();
    if (y4m_ < 0) return Status::Ok();
    const int fd = y4m_;
    y4m_ = -1;
    y4mStream_.reset();
    const std::string& path = videos_.back();
    if (close(fd) != 0 || rename((path + ".part").c_str(), path.c_str()) != 0)
        return Status::Error("cannot write '" + path + "': " + std::strerror(errno));
    return Status::Ok();
}

Status CaptureWriter::write(const ReceivedFrame& frame) {
    ++arrived_;
    image::Image picture;
    if (Status s = image::ImageFromDib(frame.bits.data(), frame.bits.size(), frame.width, frame.height,
                                       frame.bitsPerPixel, picture);
        !s)
        return Status::Error("frame " + std::to_string(arrived_) + ": " + s.message());
    if (output_.pngEvery > 0 && (arrived_ - 1) % uint64_t(output_.pngEvery) == 0) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06llu.png", static_cast<unsigned long long>(arrived_));
        if (Status s = image::WritePng(output_.folder + name, picture); !s) return s;
        ++pictures_;
    }
    if (videos_.empty()) {
        if (Status s = openVideo(picture.width(), picture.height()); !s) return s;
    } else if (picture.width() != width_ || picture.height() != height_) {
        return Status::Error("frame " + std::to_string(arrived_) + " changed size to " +
                             std::to_string(picture.width()) + " x " + std::to_string(picture.height()));
    }
    if (output_.video == VideoKind::Avi) {
        std::vector<uint8_t> jpeg;
        if (Status s =
                image::EncodeJpeg(picture, output_.jpegQuality, jpeg, "frame " + std::to_string(arrived_));
            !s)
            return s;
        if (avi_.Full(jpeg.size())) {
            if (Status s = closeVideo(); !s) return s;
            if (Status s = openVideo(width_, height_); !s) return s;
        }
        if (Status s = avi_.AddJpegFrame(jpeg.data(), jpeg.size()); !s) return s;
    } else {
        if (Status s = y4mStream_->AddFrame(picture); !s) return s;
    }
    ++videoFrames_;
    return Status::Ok();
}

} // namespace tools::unfold
