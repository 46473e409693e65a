// Reference counting and identity shared by every object the device creates.
//
// An object has two counts: the public one (AddRef/Release by the application) and the pipeline's
// (the device's bindings, through Bound<T>). While the public count is above zero the object holds a
// reference on its device, as Direct3D 10 children do; when it falls to zero the object lets go of
// the device but lives on until the pipeline unbinds it, so "create, bind, Release" works and
// releasing the device does not leak what is still bound.
#pragma once

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include <d3d10.h>

namespace platform::d3d10 {

class Device;

// Counts every live object of the device layer, for leak checks in tests.
std::atomic<long>& LiveObjects();

// Application data attached to an object by GUID (SetPrivateData and friends).
class PrivateDataStore {
public:
    PrivateDataStore() = default;
    ~PrivateDataStore();
    PrivateDataStore(const PrivateDataStore&) = delete;
    PrivateDataStore& operator=(const PrivateDataStore&) = delete;

    HRESULT get(REFGUID guid, UINT* size, void* data);
    HRESULT set(REFGUID guid, UINT size, const void* data);
    HRESULT setInterface(REFGUID guid, const IUnknown* data);

private:
    std::mutex mutex_;
    struct Entry {
        GUID guid;
        std::vector<unsigned char> bytes;
        IUnknown* object = nullptr;
    };
    std::vector<Entry> entries_;
};

class DeviceChildBase {
public:
    explicit DeviceChildBase(Device* device);
    virtual ~DeviceChildBase();
    DeviceChildBase(const DeviceChildBase&) = delete;
    DeviceChildBase& operator=(const DeviceChildBase&) = delete;

    ULONG publicAddRef();
    ULONG publicRelease();
    void pipelineAddRef() { refs_.fetch_add(1, std::memory_order_relaxed); }
    void pipelineRelease();

    Device* device() const { return device_; }
    void getDevice(ID3D10Device** out) const;
    PrivateDataStore& privateData() { return private_; }

private:
    // Public count in the high 32 bits, pipeline count in the low 32: whichever release brings the
    // whole to zero deletes the object, so the two kinds of release cannot both delete it.
    static constexpr uint64_t kPublicOne = uint64_t(1) << 32;
    Device* device_;
    std::atomic<uint64_t> refs_{kPublicOne};
    PrivateDataStore private_;
};

// Implements IUnknown and ID3D10DeviceChild for an interface I; Derived lists the interface
// identifiers it answers through a static `answers(REFIID)`.
template <class I, class Derived>
class DeviceChild : public I, public DeviceChildBase {
public:
    explicit DeviceChild(Device* device) : DeviceChildBase(device) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3D10DeviceChild || Derived::answers(riid)) {
            *out = static_cast<I*>(this);
            publicAddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return publicAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return publicRelease(); }
    void STDMETHODCALLTYPE GetDevice(ID3D10Device** out) override { getDevice(out); }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* size, void* data) override {
        return privateData().get(guid, size, data);
    }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT size, const void* data) override {
        return privateData().set(guid, size, data);
    }
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* data) override {
        return privateData().setInterface(guid, data);
    }
};

// The pipeline's reference to a bound object.
template <class T>
class Bound {
public:
    Bound() = default;
    Bound(const Bound& o) : Bound(o.p_) {}
    explicit Bound(T* p) : p_(p) {
        if (p_) p_->pipelineAddRef();
    }
    ~Bound() { reset(); }
    Bound& operator=(const Bound& o) {
        Bound(o).swap(*this);
        return *this;
    }
    Bound& operator=(T* p) {
        Bound(p).swap(*this);
        return *this;
    }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->pipelineRelease();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void swap(Bound& o) noexcept { std::swap(p_, o.p_); }
    // Hands out a public reference, as the Get* methods of the device do.
    template <class I>
    void copyTo(I** out) const {
        if (!out) return;
        *out = p_;
        if (p_) p_->AddRef();
    }

private:
    T* p_ = nullptr;
};

} // namespace platform::d3d10
