#include "platform/d3d10/device_child.h"

#include "platform/d3d10/device.h"

namespace platform::d3d10 {

std::atomic<long>& LiveObjects() {
    static std::atomic<long> count{0};
    return count;
}

DeviceChildBase::DeviceChildBase(Device* device) : device_(device) {
    device_->AddRef();
    LiveObjects()++;
}

DeviceChildBase::~DeviceChildBase() {
    LiveObjects()--;
}

ULONG DeviceChildBase::publicAddRef() {
    uint64_t before = refs_.fetch_add(kPublicOne, std::memory_order_relaxed);
    // An object kept only by the pipeline that the device hands out again takes back its device.
    if ((before >> 32) == 0) device_->AddRef();
    return ULONG((before >> 32) + 1);
}

ULONG DeviceChildBase::publicRelease() {
    uint64_t left = refs_.fetch_sub(kPublicOne, std::memory_order_acq_rel) - kPublicOne;
    ULONG publicLeft = ULONG(left >> 32);
    if (publicLeft == 0) {
        // The object lets go of its device with its last public reference; it stays alive while it is
        // bound, and its destructor never touches the device.
        Device* device = device_;
        if (left == 0) delete this;
        device->Release();
    }
    return publicLeft;
}

void DeviceChildBase::pipelineRelease() {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void DeviceChildBase::getDevice(ID3D10Device** out) const {
    if (!out) return;
    *out = device_;
    device_->AddRef();
}

PrivateDataStore::~PrivateDataStore() {
    for (Entry& e : entries_)
        if (e.object) e.object->Release();
}

HRESULT PrivateDataStore::get(REFGUID guid, UINT* size, void* data) {
    if (!size) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    for (Entry& e : entries_) {
        if (e.guid != guid) continue;
        UINT needed = e.object ? UINT(sizeof(IUnknown*)) : UINT(e.bytes.size());
        if (!data) {
            *size = needed;
            return S_OK;
        }
        if (*size < needed) {
            *size = needed;
            return DXGI_ERROR_MORE_DATA;
        }
        *size = needed;
        if (e.object) {
            e.object->AddRef();
            std::memcpy(data, &e.object, sizeof(IUnknown*));
        } else if (needed) {
            std::memcpy(data, e.bytes.data(), needed);
        }
        return S_OK;
    }
    *size = 0;
    return DXGI_ERROR_NOT_FOUND;
}

HRESULT PrivateDataStore::set(REFGUID guid, UINT size, const void* data) {
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->guid != guid) continue;
        if (it->object) it->object->Release();
        entries_.erase(it);
        break;
    }
    if (!data) return S_OK; // a null pointer deletes the entry
    Entry e{guid, {}, nullptr};
    e.bytes.assign(static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);
    entries_.push_back(std::move(e));
    return S_OK;
}

HRESULT PrivateDataStore::setInterface(REFGUID guid, const IUnknown* object) {
    set(guid, 0, nullptr);
    if (!object) return S_OK;
    std::lock_guard lock(mutex_);
    Entry e{guid, {}, const_cast<IUnknown*>(object)};
    e.object->AddRef();
    entries_.push_back(std::move(e));
    return S_OK;
}

} // namespace platform::d3d10
