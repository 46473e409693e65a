// Buffers and 2-D textures: their storage, Map/Unmap rules and content versions.
//
// A texture's bytes may be pending rather than written: a clear not yet filled in (followed, on a
// depth-stencil surface, by the recorded writes of draws replayed onto it), or, for a staging texture,
// the bytes of the texture it was last copied from, for as long as that texture is unchanged. Nothing
// can observe the difference: every read of the bytes goes through contents(), which fills them in, and
// every write through beginWrite(), which first hands an aliasing staging texture its own copy. So a
// frame's clears that nothing reads cost nothing, and a copy to staging that is mapped and read costs
// no copy.
//
// Every resource carries a content version. Writes through the CPU (Map, UpdateSubresource, copies,
// initial data) give it a fresh unique version; clears and draws give it a version derived from what
// they did, so that the same clear followed by the same draw reproduces the same version frame after
// frame. The rasteriser's coverage cache keys on the version of the depth-stencil surface.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d10/device_child.h"
#include "platform/d3d10/format.h"
#include "platform/d3d10/output_merger.h"

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
    void swap(AlignedBytes& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
    }

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

// Writes an earlier draw recorded, to be replayed onto a texture's bytes (base = texel 0).
class RecordedWrites {
public:
    virtual ~RecordedWrites() = default;
    virtual void replay(uint8_t* base) const = 0;
};

struct CoverageRecord;

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
    uint64_t version() const { return version_; }
    void setVersion(uint64_t v) { version_ = v; }
    bool mapped() const { return mapped_; }

    // The texture's bytes for reading (texel 0; rows rowPitch() apart), pending ones filled in first.
    // Storage holds one row and 64 bytes beyond the last texel, so a 2 x 2 texel fetch at the last
    // row or column stays inside it.
    const uint8_t* contents();
    // The texture's own bytes, about to be changed: an aliasing staging texture gets its copy first,
    // and unless `whole` (every byte will be overwritten) pending bytes are filled in.
    uint8_t* beginWrite(bool whole);
    // Every texel now reads as `texel` (format().bytes bytes), without writing them yet.
    void setPendingClear(const uint8_t* texel);
    // The pending clear texel, or null when the bytes are written.
    const uint8_t* pendingClear() const { return pending_ ? clearTexel_ : nullptr; }
    // With a clear pending: these writes follow it, in order; otherwise they are written at once.
    void deferWrites(std::shared_ptr<const RecordedWrites> writes);
    // A draw has filled in the pending clear itself (every row, while drawing).
    void clearFilled() {
        pending_ = false;
        deferred_.clear();
        forgetDrawsOverClear();
    }
    // The own bytes for a draw that writes them in place, a pending clear left for the draw to fill in
    // (aliasing staging textures get their copies first).
    uint8_t* beginDraw() {
        detachAliases(true);
        return storage_.data();
    }
    // Makes this staging texture read as `source`'s current bytes (the source's pending bytes filled).
    void aliasTo(Texture2D* source);
    bool aliasing() const { return aliasOf_ != nullptr; }

    // A pending clear can stay pending around draws that wrote each of their pixels once, in place (the
    // rest of the texture still reads as the clear): for as many draws as kMaxDrawsOverClear whose
    // bounds overlap none of the others'. Whatever next needs the bytes fills the clear in around them,
    // on the device's workers.
    bool mayDrawOverClear(const CoverageRecord& draw) const;
    void drewOverClear(std::shared_ptr<const CoverageRecord> draw);
    bool drawnOverClear() const { return drawnOverCount_ != 0; }
    // Fills in a pending clear now (around the draws over it).
    void fillPendingClear() {
        if (pending_) fillPending();
    }
    // The note of what the bytes hold outside the pixels of the draws a clear was last filled in
    // around: those draws' clear texel, for as long as nothing else has written the bytes. When the same
    // draws come again over the same clear, nothing needs filling in. The note goes with the bytes when
    // an aliasing staging texture takes them over.
    void forgetFilledAround() { filled_ = {}; }

    ~Texture2D() override;

private:
    Texture2D(Device* device, const D3D10_TEXTURE2D_DESC& desc, const FormatInfo* format, size_t pitch,
              AlignedBytes storage)
        : DeviceChild(device), desc_(desc), format_(format), rowPitch_(pitch), storage_(std::move(storage)) {}
    void fillPending();
    void detachAliases(bool keepBytes);
    void dropAlias(bool keepBytes);
    // Ends aliasing both ways and drops the pending clear, before every byte is replaced.
    void releaseForWhole();

    struct FilledAround {
        // Compared by owner: live or expired records; none: no note.
        std::array<std::weak_ptr<const CoverageRecord>, kMaxDrawsOverClear> draws;
        size_t count = 0;
        uint8_t texel[16] = {};
    };
    bool filledAroundAlready() const;
    void forgetDrawsOverClear();

    D3D10_TEXTURE2D_DESC desc_;
    const FormatInfo* format_;
    size_t rowPitch_;
    AlignedBytes storage_;
    uint64_t version_ = NewUniqueVersion();
    UINT eviction_ = 0;
    bool mapped_ = false;
    bool pending_ = false;
    uint8_t clearTexel_[16] = {};
    std::vector<std::shared_ptr<const RecordedWrites>> deferred_;
    // In the order they were drawn; held in place, so that steady frames allocate nothing.
    std::array<std::shared_ptr<const CoverageRecord>, kMaxDrawsOverClear> drawnOver_;
    size_t drawnOverCount_ = 0;
    // A staging texture's source while it aliases it (kept alive); a source's aliasing staging textures.
    Texture2D* aliasOf_ = nullptr;
    std::vector<Texture2D*> aliases_;
    FilledAround filled_; // describes storage_
};

// The resource behind an ID3D10Resource of this device, or nullptr for a foreign or unknown object.
Buffer* AsBuffer(ID3D10Resource* resource);
Texture2D* AsTexture2D(ID3D10Resource* resource);

} // namespace platform::d3d10
