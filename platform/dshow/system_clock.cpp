// System Reference Clock: the monotonic clock in 100 ns units. Advise requests are served by one
// thread per clock that sets the event (AdviseTime) or releases the semaphore each period
// (AdvisePeriodic) when the clock reaches their time.
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include <strmif.h>
#include <vfwmsgs.h>
#include <windows.h>

#include "platform/dshow/system_classes.h"

namespace platform::dshow {
namespace {

REFERENCE_TIME now() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() / 100;
}

class CSystemClock final : public CUnknown, public IReferenceClock {
public:
    explicit CSystemClock(LPUNKNOWN pUnk) : CUnknown(L"System Clock", pUnk) {}
    ~CSystemClock() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IReferenceClock) return GetInterface(static_cast<IReferenceClock*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    // S_FALSE when the time has not moved since the previous call, as DirectShow's clocks answer.
    STDMETHODIMP GetTime(REFERENCE_TIME* pTime) override {
        if (!pTime) return E_POINTER;
        std::lock_guard lock(mutex_);
        REFERENCE_TIME t = now();
        if (t < last_) t = last_;
        HRESULT hr = t == last_ ? S_FALSE : S_OK;
        last_ = t;
        *pTime = t;
        return hr;
    }

    STDMETHODIMP AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                            DWORD_PTR* pdwAdviseCookie) override {
        if (!pdwAdviseCookie) return E_POINTER;
        if (!hEvent || baseTime + streamTime <= 0) return E_INVALIDARG;
        return add({baseTime + streamTime, 0, reinterpret_cast<HANDLE>(hEvent), false}, pdwAdviseCookie);
    }

    STDMETHODIMP AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE hSemaphore,
                                DWORD_PTR* pdwAdviseCookie) override {
        if (!pdwAdviseCookie) return E_POINTER;
        if (!hSemaphore || startTime <= 0 || periodTime <= 0) return E_INVALIDARG;
        return add({startTime, periodTime, reinterpret_cast<HANDLE>(hSemaphore), true}, pdwAdviseCookie);
    }

    STDMETHODIMP Unadvise(DWORD_PTR dwAdviseCookie) override {
        std::lock_guard lock(mutex_);
        return advises_.erase(dwAdviseCookie) ? S_OK : S_FALSE;
    }

private:
    struct Advise {
        REFERENCE_TIME due;
        REFERENCE_TIME period; // 0: once
        HANDLE handle;
        bool semaphore;
    };

    HRESULT add(Advise a, DWORD_PTR* cookie) {
        std::lock_guard lock(mutex_);
        *cookie = nextCookie_++;
        advises_[*cookie] = a;
        if (!thread_.joinable()) thread_ = std::thread([this] { serve(); });
        changed_.notify_all();
        return S_OK;
    }

    void serve() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            REFERENCE_TIME t = now(), next = -1;
            for (auto it = advises_.begin(); it != advises_.end();) {
                Advise& a = it->second;
                if (a.due <= t) {
                    if (a.semaphore)
                        ReleaseSemaphore(a.handle, 1, nullptr);
                    else
                        SetEvent(a.handle);
                    if (!a.period) {
                        it = advises_.erase(it);
                        continue;
                    }
                    a.due += a.period;
                }
                if (next < 0 || a.due < next) next = a.due;
                ++it;
            }
            if (next < 0)
                changed_.wait(lock);
            else
                changed_.wait_for(lock, std::chrono::nanoseconds((next - t) * 100));
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<DWORD_PTR, Advise> advises_;
    DWORD_PTR nextCookie_ = 1;
    REFERENCE_TIME last_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace

CUnknown* WINAPI CreateSystemClock(LPUNKNOWN pUnk, HRESULT* phr) {
    return NewObject<CSystemClock>(phr, pUnk);
}

} // namespace platform::dshow
