#include "platform/d3d10/resources.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/d3d10/coverage_cache.h"
#include "platform/d3d10/device.h"
#include "platform/d3d10/output_merger.h"
#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

namespace platform::d3d10 {

uint64_t NewUniqueVersion() {
    // Counted from the top half of the range so that unique versions stay apart from derived ones.
    static std::atomic<uint64_t> next{uint64_t(1) << 63};
    return next.fetch_add(1, std::memory_order_relaxed);
}

AlignedBytes::AlignedBytes(size_t bytes) : size_(bytes) {
    size_t rounded = (bytes + 63) / 64 * 64;
    auto* p = static_cast<uint8_t*>(::operator new(rounded ? rounded : 64, std::align_val_t(64)));
    std::memset(p, 0, rounded ? rounded : 64);
    data_.reset(p);
}

void AlignedBytes::Free::operator()(uint8_t* p) const {
    ::operator delete(p, std::align_val_t(64));
}

namespace {

// Usage rules of Direct3D 10: default resources have no CPU access, dynamic ones are CPU-write only
// and never render or depth targets, staging ones have CPU access and no bind flags, immutable ones
// need initial data and no CPU access.
bool validUsage(D3D10_USAGE usage, UINT bind, UINT cpu, bool hasInitialData) {
    const UINT cpuBits = D3D10_CPU_ACCESS_READ | D3D10_CPU_ACCESS_WRITE;
    if (cpu & ~cpuBits) return false;
    switch (usage) {
    case D3D10_USAGE_DEFAULT:
        return cpu == 0;
    case D3D10_USAGE_IMMUTABLE:
        return cpu == 0 && hasInitialData;
    case D3D10_USAGE_DYNAMIC:
        return cpu == D3D10_CPU_ACCESS_WRITE &&
               !(bind & (D3D10_BIND_RENDER_TARGET | D3D10_BIND_DEPTH_STENCIL | D3D10_BIND_STREAM_OUTPUT));
    case D3D10_USAGE_STAGING:
        return bind == 0 && cpu != 0;
    default:
        return false;
    }
}

// Which map types a resource allows: READ needs CPU read access, the writes need write access;
// WRITE_DISCARD and WRITE_NO_OVERWRITE are for dynamic resources only.
bool validMap(D3D10_USAGE usage, UINT cpu, D3D10_MAP type) {
    bool read = cpu & D3D10_CPU_ACCESS_READ, write = cpu & D3D10_CPU_ACCESS_WRITE;
    switch (type) {
    case D3D10_MAP_READ:
        return read;
    case D3D10_MAP_WRITE:
        return write && usage == D3D10_USAGE_STAGING;
    case D3D10_MAP_READ_WRITE:
        return read && write;
    case D3D10_MAP_WRITE_DISCARD:
    case D3D10_MAP_WRITE_NO_OVERWRITE:
        return write && usage == D3D10_USAGE_DYNAMIC;
    default:
        return false;
    }
}

} // namespace

HRESULT Buffer::Create(Device* device, const D3D10_BUFFER_DESC& desc, const D3D10_SUBRESOURCE_DATA* initial,
                       Buffer** out) {
    *out = nullptr;
    const UINT bindBits = D3D10_BIND_VERTEX_BUFFER | D3D10_BIND_INDEX_BUFFER | D3D10_BIND_CONSTANT_BUFFER |
                          D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_STREAM_OUTPUT;
    if (desc.ByteWidth == 0 || (desc.BindFlags & ~bindBits) ||
        !validUsage(desc.Usage, desc.BindFlags, desc.CPUAccessFlags, initial != nullptr) ||
        (initial && !initial->pSysMem))
        return E_INVALIDARG;
    // Constant buffers come in whole 16-byte registers and may not be bound any other way.
    if ((desc.BindFlags & D3D10_BIND_CONSTANT_BUFFER) &&
        (desc.ByteWidth % 16 != 0 || desc.BindFlags != D3D10_BIND_CONSTANT_BUFFER))
        return E_INVALIDARG;
    try {
        AlignedBytes storage(desc.ByteWidth);
        if (initial) std::memcpy(storage.data(), initial->pSysMem, desc.ByteWidth);
        *out = new Buffer(device, desc, std::move(storage));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Buffer::Map(D3D10_MAP type, UINT flags, void** data) {
    if (!data) return E_INVALIDARG;
    *data = nullptr;
    if (mapped_ || (flags & ~UINT(D3D10_MAP_FLAG_DO_NOT_WAIT)) ||
        !validMap(desc_.Usage, desc_.CPUAccessFlags, type))
        return E_INVALIDARG;
    if (HRESULT hr = InjectedFault("ID3D10Buffer::Map"); FAILED(hr)) return hr;
    mapped_ = true;
    if (type != D3D10_MAP_READ) version_ = NewUniqueVersion();
    *data = storage_.data();
    return S_OK;
}

HRESULT Texture2D::Create(Device* device, const D3D10_TEXTURE2D_DESC& desc,
                          const D3D10_SUBRESOURCE_DATA* initial, Texture2D** out) {
    *out = nullptr;
    const FormatInfo* format = GetFormatInfo(desc.Format);
    const UINT bindBits = D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET | D3D10_BIND_DEPTH_STENCIL;
    if (!format || desc.Width == 0 || desc.Height == 0 || desc.Width > D3D10_REQ_TEXTURE2D_U_OR_V_DIMENSION ||
        desc.Height > D3D10_REQ_TEXTURE2D_U_OR_V_DIMENSION || desc.ArraySize != 1 ||
        desc.SampleDesc.Count != 1 || desc.SampleDesc.Quality != 0 || (desc.BindFlags & ~bindBits) ||
        !validUsage(desc.Usage, desc.BindFlags, desc.CPUAccessFlags, initial != nullptr) ||
        (initial && !initial->pSysMem))
        return E_INVALIDARG;
    if (format->depthStencil ? (desc.BindFlags & (D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET))
                             : (desc.BindFlags & D3D10_BIND_DEPTH_STENCIL) || !format->color)
        return E_INVALIDARG;
    if (desc.MipLevels != 1) {
        FIXME("d3d10", "only single-level textures exist on this device (MipLevels %u)", desc.MipLevels);
        return E_NOTIMPL;
    }
    size_t rowBytes = size_t(desc.Width) * format->bytes;
    size_t pitch = (rowBytes + 63) / 64 * 64;
    // A pitch that is a multiple of 4 KB puts a column's texels in one set of the first-level cache
    // (and of few in the second), so that a sampler walking down the texture evicts its own lines.
    if (pitch % 4096 == 0) pitch += 64;
    try {
        AlignedBytes storage(pitch * (size_t(desc.Height) + 1) + 64);
        if (initial) {
            size_t srcPitch = initial->SysMemPitch ? initial->SysMemPitch : rowBytes;
            if (srcPitch < rowBytes) return E_INVALIDARG;
            for (UINT y = 0; y < desc.Height; ++y)
                std::memcpy(storage.data() + y * pitch,
                            static_cast<const uint8_t*>(initial->pSysMem) + y * srcPitch, rowBytes);
        }
        *out = new Texture2D(device, desc, format, pitch, std::move(storage));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Texture2D::Map(UINT subresource, D3D10_MAP type, UINT flags, D3D10_MAPPED_TEXTURE2D* mapped) {
    if (!mapped) return E_INVALIDARG;
    mapped->pData = nullptr;
    mapped->RowPitch = 0;
    if (subresource != 0 || mapped_ || (flags & ~UINT(D3D10_MAP_FLAG_DO_NOT_WAIT)) ||
        !validMap(desc_.Usage, desc_.CPUAccessFlags, type))
        return E_INVALIDARG;
    if (HRESULT hr = InjectedFault("ID3D10Texture2D::Map"); FAILED(hr)) return hr;
    mapped_ = true;
    if (type == D3D10_MAP_READ) {
        // Reading through an alias reads the source's bytes; the source hands them over before it
        // changes (detachAliases), so the pointer stays valid and unchanged until Unmap.
        mapped->pData = const_cast<uint8_t*>(contents());
    } else {
        // Discarded contents are kept all the same: a caller may rely on the bytes it did not rewrite.
        mapped->pData = beginWrite(false);
        version_ = NewUniqueVersion();
    }
    mapped->RowPitch = UINT(rowPitch_);
    return S_OK;
}

Texture2D::~Texture2D() {
    if (aliasOf_) dropAlias(false);
}

const uint8_t* Texture2D::contents() {
    if (aliasOf_) return aliasOf_->storage_.data();
    if (pending_) fillPending();
    return storage_.data();
}

uint8_t* Texture2D::beginWrite(bool whole) {
    if (whole) {
        releaseForWhole();
    } else {
        if (aliasOf_) dropAlias(true);
        detachAliases(true);
        if (pending_) fillPending();
    }
    filled_ = {};
    return storage_.data();
}

void Texture2D::releaseForWhole() {
    if (aliasOf_) dropAlias(false);
    detachAliases(false);
    clearFilled();
}

// The bytes are left as they are (and so is the note of what they hold) until something reads them.
void Texture2D::setPendingClear(const uint8_t* texel) {
    releaseForWhole();
    std::memcpy(clearTexel_, texel, format_->bytes);
    pending_ = true;
}

bool Texture2D::mayDrawOverClear(const CoverageRecord& draw) const {
    if (!pending_ || drawnOverCount_ == kMaxDrawsOverClear) return false;
    const PixelRect& b = draw.key.bounds;
    for (size_t k = 0; k < drawnOverCount_; ++k) {
        const CoverageRecord& d = *drawnOver_[k];
        const PixelRect& o = d.key.bounds;
        if (b.left < o.right && o.left < b.right && b.top < o.bottom && o.top < b.bottom) return false;
    }
    return true;
}

void Texture2D::drewOverClear(std::shared_ptr<const CoverageRecord> draw) {
    drawnOver_[drawnOverCount_++] = std::move(draw);
}

void Texture2D::forgetDrawsOverClear() {
    for (size_t k = 0; k < drawnOverCount_; ++k) drawnOver_[k].reset();
    drawnOverCount_ = 0;
}

bool Texture2D::filledAroundAlready() const {
    if (drawnOverCount_ == 0 || filled_.count != drawnOverCount_ ||
        std::memcmp(filled_.texel, clearTexel_, format_->bytes) != 0)
        return false;
    for (size_t k = 0; k < drawnOverCount_; ++k) {
        const auto& noted = filled_.draws[k];
        if (noted.owner_before(drawnOver_[k]) || drawnOver_[k].owner_before(noted)) return false;
    }
    return true;
}

void Texture2D::deferWrites(std::shared_ptr<const RecordedWrites> writes) {
    if (pending_)
        deferred_.push_back(std::move(writes));
    else
        writes->replay(beginWrite(false));
}

void Texture2D::fillPending() {
    const size_t count = drawnOverCount_;
    if (!filledAroundAlready()) {
        // The draws over the clear, left to right.
        const CoverageRecord* drawn[kMaxDrawsOverClear];
        for (size_t k = 0; k < count; ++k) drawn[k] = drawnOver_[k].get();
        for (size_t k = 1; k < count; ++k)
            for (size_t j = k; j > 0 && drawn[j]->key.bounds.left < drawn[j - 1]->key.bounds.left; --j)
                std::swap(drawn[j], drawn[j - 1]);
        const std::vector<CoverageBand>* bands[kMaxDrawsOverClear];
        for (size_t k = 0; k < count; ++k) bands[k] = &drawn[k]->bands;
        WorkerPool& workers = device()->workers();
        const ClearFill fill{storage_.data(), rowPitch_,      desc_.Width,
                             desc_.Height,    format_->bytes, clearTexel_};
        const PixelRect whole{0, 0, int32_t(desc_.Width), int32_t(desc_.Height)};
        workers.run([&](unsigned part) {
            FillClear(fill, PartRowRange(whole, part, workers.threads()), bands, count);
        });
    }
    filled_ = {};
    for (size_t k = 0; k < count; ++k) filled_.draws[k] = drawnOver_[k];
    filled_.count = count;
    std::memcpy(filled_.texel, clearTexel_, format_->bytes);
    pending_ = false;
    forgetDrawsOverClear();
    for (const auto& w : deferred_) w->replay(storage_.data());
    deferred_.clear();
}

// One aliasing staging texture (a mapped one, if any) takes over the current buffer, so that a
// pointer it has handed out by Map stays valid and unchanged; this texture continues in the staging
// texture's former buffer, with the bytes copied back when they are to be kept. Every other alias
// first copies the bytes into a buffer of its own.
void Texture2D::detachAliases(bool keepBytes) {
    if (aliases_.empty()) return;
    auto keeper =
        std::find_if(aliases_.begin(), aliases_.end(), [](const Texture2D* a) { return a->mapped_; });
    if (keeper != aliases_.end()) std::iter_swap(keeper, aliases_.end() - 1);
    while (aliases_.size() > 1) aliases_.front()->dropAlias(true);
    Texture2D* alias = aliases_.back();
    aliases_.pop_back();
    alias->storage_.swap(storage_);
    std::swap(alias->filled_, filled_);
    alias->aliasOf_ = nullptr;
    if (keepBytes) {
        std::memcpy(storage_.data(), alias->storage_.data(), storage_.size());
        filled_ = alias->filled_;
    }
    pipelineRelease(); // the alias's reference
}

void Texture2D::dropAlias(bool keepBytes) {
    Texture2D* source = aliasOf_;
    aliasOf_ = nullptr;
    std::erase(source->aliases_, this);
    if (keepBytes) {
        std::memcpy(storage_.data(), source->storage_.data(), storage_.size());
        filled_ = source->filled_;
    }
    source->pipelineRelease();
}

void Texture2D::aliasTo(Texture2D* source) {
    releaseForWhole();
    source->contents();
    source->pipelineAddRef();
    source->aliases_.push_back(this);
    aliasOf_ = source;
}

void Texture2D::Unmap(UINT subresource) {
    if (subresource == 0) mapped_ = false;
}

Buffer* AsBuffer(ID3D10Resource* resource) {
    if (!resource) return nullptr;
    D3D10_RESOURCE_DIMENSION type;
    resource->GetType(&type);
    return type == D3D10_RESOURCE_DIMENSION_BUFFER
               ? static_cast<Buffer*>(static_cast<ID3D10Buffer*>(resource))
               : nullptr;
}

Texture2D* AsTexture2D(ID3D10Resource* resource) {
    if (!resource) return nullptr;
    D3D10_RESOURCE_DIMENSION type;
    resource->GetType(&type);
    return type == D3D10_RESOURCE_DIMENSION_TEXTURE2D
               ? static_cast<Texture2D*>(static_cast<ID3D10Texture2D*>(resource))
               : nullptr;
}

} // namespace platform::d3d10
