// Buffers and 2-D textures: their storage, Map/Unmap rules and content versions.
//
// Every resource carries a content version. Writes through the CPU (Map, UpdateSubresource, copies,
// initial data) give it a fresh unique version; clears and draws give it a version derived from what
// they did, so that the same clear followed by the same draw reproduces the same version frame after
// frame. The rasteriser's coverage cache keys on the version of the depth-stencil surface.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d10/device_child.h"
#include "platform/d3d10/format.h"

namespace platform::d3d10 {

uint64_t NewUniqueVersion();

// Storage with a stable address and 64-byte alignment.
class AlignedBytes {
public:
    AlignedBytes() = default;
    explicit AlignedBytes(size_t bytes);
    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }

private:
    struct Free {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t, Free> data_;
    size_t size_ = 0;
};

class Buffer final : public DeviceChild<ID3D10Buffer, Buffer> {
public:
    static bool answers(REFIID riid) { return riid == IID_ID3D10Resource || riid == IID_ID3D10Buffer; }
    // Validates the description; E_INVALIDARG for a bad one, E_OUTOFMEMORY when storage fails.
    static HRESULT Create(Device* device, const D3D10_BUFFER_DESC& desc,
                          const D3D10_SUBRESOURCE_DATA* initial, Buffer** out);

    void STDMETHODCALLTYPE GetType(D3D10_RESOURCE_DIMENSION* type) override {
        *type = D3D10_RESOURCE_DIMENSION_BUFFER;
    }
    void STDMETHODCALLTYPE SetEvictionPriority(UINT priority) override { eviction_ = priority; }
    UINT STDMETHODCALLTYPE GetEvictionPriority() override { return eviction_; }
    HRESULT STDMETHODCALLTYPE Map(D3D10_MAP type, UINT flags, void** data) override;
    void STDMETHODCALLTYPE Unmap() override { mapped_ = false; }
    void STDMETHODCALLTYPE GetDesc(D3D10_BUFFER_DESC* desc) override { *desc = desc_; }

    const D3D10_BUFFER_DESC& desc() const { return desc_; }
    uint8_t* data() { return storage_.data(); }
    const uint8_t* data() const { return storage_.data(); }
    size_t size() const { return desc_.ByteWidth; }
    uint64_t version() const { return version_; }
    void setVersion(uint64_t v) { version_ = v; }
    bool mapped() const { return mapped_; }

private:
    Buffer(Device* device, const D3D10_BUFFER_DESC& desc, AlignedBytes storage)
        : DeviceChild(device), desc_(desc), storage_(std::move(storage)) {}
    D3D10_BUFFER_DESC desc_;
    AlignedBytes storage_;
    uint64_t version_ = NewUniqueVersion();
    UINT eviction_ = 0;
    bool mapped_ = false;
};

class Texture2D final : public DeviceChild<ID3D10Texture2D, Texture2D> {
public:
    static bool answers(REFIID riid) { return riid == IID_ID3D10Resource || riid == IID_ID3D10Texture2D; }
    static HRESULT Create(Device* device, const D3D10_TEXTURE2D_DESC& desc,
                          const D3D10_SUBRESOURCE_DATA* initial, Texture2D** out);

    void STDMETHODCALLTYPE GetType(D3D10_RESOURCE_DIMENSION* type) override {
        *type = D3D10_RESOURCE_DIMENSION_TEXTURE2D;
    }
    void STDMETHODCALLTYPE SetEvictionPriority(UINT priority) override { eviction_ = priority; }
    UINT STDMETHODCALLTYPE GetEvictionPriority() override { return eviction_; }
    HRESULT STDMETHODCALLTYPE Map(UINT subresource, D3D10_MAP type, UINT flags,
                                  D3D10_MAPPED_TEXTURE2D* mapped) override;
    void STDMETHODCALLTYPE Unmap(UINT subresource) override;
    void STDMETHODCALLTYPE GetDesc(D3D10_TEXTURE2D_DESC* desc) override { *desc = desc_; }

    const D3D10_TEXTURE2D_DESC& desc() const { return desc_; }
    const FormatInfo& format() const { return *format_; }
    uint32_t width() const { return desc_.Width; }
    uint32_t height() const { return desc_.Height; }
    size_t rowPitch() const { return rowPitch_; }
    uint8_t* row(uint32_t y) { return storage_.data() + y * rowPitch_; }
    const uint8_t* row(uint32_t y) const { return storage_.data() + y * rowPitch_; }
    uint64_t version() const { return version_; }
    void setVersion(uint64_t v) { version_ = v; }
    bool mapped() const { return mapped_; }

private:
    Texture2D(Device* device, const D3D10_TEXTURE2D_DESC& desc, const FormatInfo* format, size_t pitch,
              AlignedBytes storage)
        : DeviceChild(device), desc_(desc), format_(format), rowPitch_(pitch), storage_(std::move(storage)) {}
    D3D10_TEXTURE2D_DESC desc_;
    const FormatInfo* format_;
    size_t rowPitch_;
    AlignedBytes storage_;
    uint64_t version_ = NewUniqueVersion();
    UINT eviction_ = 0;
    bool mapped_ = false;
};

// The resource behind an ID3D10Resource of this device, or nullptr for a foreign or unknown object.
Buffer* AsBuffer(ID3D10Resource* resource);
Texture2D* AsTexture2D(ID3D10Resource* resource);

} // namespace platform::d3d10
