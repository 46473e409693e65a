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
    if (video_.thread.joinable()) (void)Finish();
}

void CaptureWriter::Start() {
    video_.limit = output_.queueFrames;
    pictures_.limit = 4;
    video_.thread = std::thread([this] { run(video_, &CaptureWriter::writeVideo); });
    if (output_.pngEvery > 0)
        pictures_.thread = std::thread([this] { run(pictures_, &CaptureWriter::writePicture); });
}

void CaptureWriter::Add(ReceivedFrame&& frame) {
    std::unique_lock lock(lock_);
    const uint64_t number = arrived_ + 1;
    const bool picture = output_.pngEvery > 0 && (number - 1) % uint64_t(output_.pngEvery) == 0;
    changed_.wait(lock, [&] {
        return finishing_ || !failure_.ok() ||
               (video_.queue.size() < video_.limit && (!picture || pictures_.queue.size() < pictures_.limit));
    });
    if (!failure_.ok() || finishing_) return;
    arrived_ = number;
    auto shared = std::make_shared<const ReceivedFrame>(std::move(frame));
    video_.queue.emplace_back(number, shared);
    if (picture) pictures_.queue.emplace_back(number, shared);
    changed_.notify_all();
}

Status CaptureWriter::Finish() {
    {
        std::lock_guard lock(lock_);
        finishing_ = true;
    }
    changed_.notify_all();
    if (video_.thread.joinable()) video_.thread.join();
    if (pictures_.thread.joinable()) pictures_.thread.join();
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

void CaptureWriter::run(Lane& lane, Status (CaptureWriter::*write)(const Queued&)) {
    for (;;) {
        Queued frame;
        {
            std::unique_lock lock(lock_);
            changed_.wait(lock, [&] { return !lane.queue.empty() || finishing_ || !failure_.ok(); });
            if (lane.queue.empty() || !failure_.ok()) return;
            frame = std::move(lane.queue.front());
            lane.queue.pop_front();
        }
        changed_.notify_all();
        Status s = (this->*write)(frame);
        if (!s) {
            std::lock_guard lock(lock_);
            if (failure_.ok()) failure_ = s;
            video_.queue.clear();
            pictures_.queue.clear();
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

namespace {

Status PictureOf(const ReceivedFrame& frame, uint64_t number, image::Image& picture) {
    if (Status s = image::ImageFromDib(frame.bits.data(), frame.bits.size(), frame.width, frame.height,
                                       frame.bitsPerPixel, picture);
        !s)
        return Status::Error("frame " + std::to_string(number) + ": " + s.message());
    return Status::Ok();
}

} // namespace

Status CaptureWriter::writePicture(const Queued& frame) {
    image::Image picture;
    if (Status s = PictureOf(*frame.second, frame.first, picture); !s) return s;
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06llu.png", static_cast<unsigned long long>(frame.first));
    if (Status s = image::WritePng(output_.folder + name, picture); !s) return s;
    ++picturesWritten_;
    return Status::Ok();
}

Status CaptureWriter::writeVideo(const Queued& frame) {
    image::Image picture;
    if (Status s = PictureOf(*frame.second, frame.first, picture); !s) return s;
    if (videos_.empty()) {
        if (Status s = openVideo(picture.width(), picture.height()); !s) return s;
    } else if (picture.width() != width_ || picture.height() != height_) {
        return Status::Error("frame " + std::to_string(frame.first) + " changed size to " +
                             std::to_string(picture.width()) + " x " + std::to_string(picture.height()));
    }
    if (output_.video == VideoKind::Avi) {
        std::vector<uint8_t> jpeg;
        if (Status s =
                image::EncodeJpeg(picture, output_.jpegQuality, jpeg, "frame " + std::to_string(frame.first));
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
