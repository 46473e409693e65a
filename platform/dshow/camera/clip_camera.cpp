#include "platform/dshow/camera/clip_camera.h"

#include <algorithm>
#include <cmath>
#include <map>

#include <vfwmsgs.h>

#include "platform/win32/debug.h"

namespace platform::camera {

ClipCamera::ClipCamera(const ClipCameraDefinition& definition) : name_(ToUtf8(definition.name)) {
    std::map<std::string, JpegClip*> byPath; // null for a clip that cannot be played
    for (const ClipFormat& declared : definition.formats) {
        CameraFormat f;
        f.width = declared.width;
        f.height = declared.height;
        f.interval = f.minInterval = f.maxInterval = std::llround(1e7 / declared.fps);
        // Seconds per frame as a fraction, to a thousandth of a frame per second.
        f.intervalNumerator = 1000;
        f.intervalDenominator = static_cast<uint32_t>(std::lround(declared.fps * 1000));

        JpegClip* clip = nullptr;
        const std::string path = definition.ClipFor(f.width, f.height);
        if (path.empty()) {
            ERR("dshow", "camera \"%s\" will deliver no frames at %ux%u: it has no clip of that size",
                name_.c_str(), f.width, f.height);
        } else if (auto known = byPath.find(path); known != byPath.end()) {
            clip = known->second;
        } else {
            auto candidate = std::make_unique<JpegClip>();
            std::string error;
            if (!candidate->Open(path, error)) {
                ERR("dshow", "camera \"%s\" will deliver no frames at %ux%u: cannot read clip %s",
                    name_.c_str(), f.width, f.height, error.c_str());
            } else if (candidate->width() != f.width || candidate->height() != f.height) {
                ERR("dshow", "camera \"%s\" will deliver no frames at %ux%u: clip '%s' is %ux%u",
                    name_.c_str(), f.width, f.height, path.c_str(), candidate->width(), candidate->height());
            } else {
                clip = candidate.get();
                clips_.push_back(std::move(candidate));
            }
            byPath[path] = clip;
        }
        f.maxFrameBytes = clip ? static_cast<uint32_t>(clip->maxFrameBytes()) : f.width * f.height * 2;
        formats_.push_back(f);
        formatClips_.push_back(clip);
    }
}

HRESULT ClipCamera::Start(const CameraFormat& format) {
    for (size_t i = 0; i < formats_.size(); ++i) {
        if (!formats_[i].sameSize(format) || formats_[i].interval != format.interval) continue;
        playing_ = formatClips_[i];
        interval_ = format.interval;
        nextDue_ = -1;
        shown_ = 0;
        return S_OK;
    }
    return VFW_E_INVALIDMEDIATYPE;
}

FrameStatus ClipCamera::NextFrame(StreamClock& clock, const WakeSignal& wake, uint64_t seen, BYTE* buffer,
                                  size_t capacity, size_t& length, REFERENCE_TIME& timestamp) {
    length = 0;
    for (;;) {
        if (!playing_ || interval_ <= 0) { // a camera without frames
            wake.Wait(seen);
            wake.Drain();
            return FrameStatus::Interrupted;
        }
        REFERENCE_TIME now = clock.Now();
        if (nextDue_ < 0)
            nextDue_ = std::max<REFERENCE_TIME>(0, (now + interval_ - 1) / interval_ * interval_);
        if (now < nextDue_) {
            if (wake.WaitFor(seen, std::chrono::nanoseconds((nextDue_ - now) * 100))) {
                wake.Drain();
                return FrameStatus::Interrupted;
            }
            continue;
        }
        if (now - nextDue_ >= interval_) nextDue_ = now / interval_ * interval_; // behind: drop frames
        const REFERENCE_TIME due = nextDue_;
        nextDue_ += interval_;

        size_t index;
        if (playing_->rateNumerator() && playing_->rateDenominator()) {
            // The clip frame nearest the due time (frame intervals are rounded to 100 ns).
            auto unit = static_cast<unsigned __int128>(playing_->rateDenominator()) * 10000000;
            auto frames =
                (static_cast<unsigned __int128>(due) * playing_->rateNumerator() * 2 + unit) / (2 * unit);
            index = static_cast<size_t>(frames % playing_->frameCount());
        } else {
            index = static_cast<size_t>(shown_ % playing_->frameCount());
        }
        ++shown_;
        if (!playing_->ReadFrame(index, buffer, capacity, length)) {
            if (!readFailed_)
                ERR("dshow", "camera \"%s\": cannot read frame %zu of '%s'", name_.c_str(), index,
                    playing_->path().c_str());
            readFailed_ = true;
            continue;
        }
        timestamp = due;
        return FrameStatus::Frame;
    }
}

void ClipCamera::Stop() {
    playing_ = nullptr;
}

} // namespace platform::camera
