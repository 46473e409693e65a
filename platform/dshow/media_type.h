// CMediaType: an AM_MEDIA_TYPE that owns its format block (allocated with CoTaskMemAlloc), and the
// free functions over plain AM_MEDIA_TYPEs.
#pragma once

#include <strmif.h>

// Frees the format block and the pUnk reference, leaving the structure itself.
void WINAPI FreeMediaType(AM_MEDIA_TYPE& mt);
// Frees a type made by CreateMediaType (or handed out by an enumerator) together with its block.
void WINAPI DeleteMediaType(AM_MEDIA_TYPE* pmt);
// A CoTaskMemAlloc'd copy, or null when memory runs out.
AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* pSrc);
HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource);

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    explicit CMediaType(const GUID* majortype);
    CMediaType(const AM_MEDIA_TYPE& rt); // a failed copy leaves the format empty
    CMediaType(const CMediaType& rt);
    ~CMediaType();

    CMediaType& operator=(const AM_MEDIA_TYPE& rt);
    CMediaType& operator=(const CMediaType& rt);
    // Equal major type, subtype, format type and format bytes (the sample fields do not count).
    bool operator==(const CMediaType& rt) const;
    bool operator!=(const CMediaType& rt) const { return !(*this == rt); }

    HRESULT Set(const CMediaType& rt);
    HRESULT Set(const AM_MEDIA_TYPE& rt);
    BOOL IsValid() const { return majortype != GUID_NULL; }

    const GUID* Type() const { return &majortype; }
    void SetType(const GUID* t) { majortype = *t; }
    const GUID* Subtype() const { return &subtype; }
    void SetSubtype(const GUID* t) { subtype = *t; }
    const GUID* FormatType() const { return &formattype; }
    void SetFormatType(const GUID* t) { formattype = *t; }

    BOOL IsFixedSize() const { return bFixedSizeSamples; }
    BOOL IsTemporalCompressed() const { return bTemporalCompression; }
    ULONG GetSampleSize() const { return bFixedSizeSamples ? lSampleSize : 0; }
    void SetSampleSize(ULONG sz);
    void SetVariableSize() { bFixedSizeSamples = FALSE; }
    void SetTemporalCompression(BOOL bCompressed) { bTemporalCompression = bCompressed; }

    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }
    BOOL SetFormat(const BYTE* pFormat, ULONG length);
    void ResetFormatBuffer();
    // A zeroed block of the given length (the old block is freed), or null.
    BYTE* AllocFormatBuffer(ULONG length);
    // The block resized, keeping what fits, or null (the old block is kept).
    BYTE* ReallocFormatBuffer(ULONG length);

    void InitMediaType();
    // True when the major type or the format type is left open (GUID_NULL).
    BOOL IsPartiallySpecified() const;
    // True when every field the partial type specifies matches this type.
    BOOL MatchesPartial(const CMediaType* ppartial) const;
};
