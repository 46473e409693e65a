// CFrameSink: the host's video renderer. It takes uncompressed RGB24 or RGB32 video, holds each sample
// until the graph's clock reaches the sample's start time (as a video renderer does, so a live source
// is drawn at its own rate, not as fast as it can fill samples) and hands a copy of the frame to the
// host's consumer on the streaming thread. A sample that is late is handed on at once.
//
// Stop, flush and end of stream end any wait at once. The sink keeps counts the host reports.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <streams.h>

namespace tools::unfold {

struct ReceivedFrame {
    std::vector<uint8_t> bits; // the sample's bytes, as delivered
    uint32_t width = 0;
    int32_t height = 0; // positive: rows bottom-up
    uint32_t bitsPerPixel = 0;
    REFERENCE_TIME start = 0, stop = 0; // stream time, 100 ns
    bool repeated = false;              // the same bytes as the frame before
};

class CFrameSink : public CBaseFilter {
public:
    using Consumer = std::function<void(ReceivedFrame&&)>;

    explicit CFrameSink(Consumer consumer);
    ~CFrameSink() override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    IPin* InputPin();

    struct Counts {
        uint64_t received = 0; // frames handed to the consumer
        uint64_t late = 0;     // of those, frames that came after their start time
        uint64_t repeated = 0; // of those, frames equal to the frame before
        bool ended = false;    // end of stream came
    };
    Counts counts() const;

private:
    class SinkPin;
    friend class SinkPin;

    HRESULT render(IMediaSample* sample);
    // Waits until the clock reaches stream time `start`; false when told to stop meanwhile.
    bool waitUntil(REFERENCE_TIME start);
    void abortWaits(bool abort);

    CCritSec m_lock;
    std::unique_ptr<SinkPin> m_pin;
    Consumer m_consumer;
    HANDLE m_due = nullptr; // auto-reset: the clock reached the awaited time, or waits are aborted
    std::atomic<bool> m_aborting{true}; // while stopped or flushing
    std::vector<uint8_t> m_previous;
    std::atomic<uint64_t> m_received{0}, m_late{0}, m_repeated{0};
    std::atomic<bool> m_ended{false};
};

} // namespace tools::unfold
