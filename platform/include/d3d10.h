// Direct3D 10: the interfaces whole, in Windows' method order (so their method tables are Windows'),
// with the real names, values and signatures; the types and constants are the subset this system
// uses. The device behind it is the platform's software device.
#pragma once

#include "d3dcommon.h"
#include "dxgi.h"

#define D3D10_SDK_VERSION 29
#define D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT 8
#define D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT 16
#define D3D10_COMMONSHADER_CONSTANT_BUFFER_API_SLOT_COUNT 14
#define D3D10_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT 128
#define D3D10_COMMONSHADER_SAMPLER_SLOT_COUNT 16
#define D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE 16
#define D3D10_REQ_TEXTURE2D_U_OR_V_DIMENSION 8192
#define D3D10_APPEND_ALIGNED_ELEMENT 0xffffffff
#define D3D10_DEFAULT_STENCIL_READ_MASK 0xff
#define D3D10_DEFAULT_STENCIL_WRITE_MASK 0xff
#define D3D10_FLOAT32_MAX 3.402823466e+38f

typedef RECT D3D10_RECT;

typedef enum D3D10_DRIVER_TYPE {
    D3D10_DRIVER_TYPE_HARDWARE = 0,
    D3D10_DRIVER_TYPE_REFERENCE = 1,
    D3D10_DRIVER_TYPE_NULL = 2,
    D3D10_DRIVER_TYPE_SOFTWARE = 3,
    D3D10_DRIVER_TYPE_WARP = 5
} D3D10_DRIVER_TYPE;

typedef enum D3D10_CREATE_DEVICE_FLAG {
    D3D10_CREATE_DEVICE_SINGLETHREADED = 0x1,
    D3D10_CREATE_DEVICE_DEBUG = 0x2,
    D3D10_CREATE_DEVICE_SWITCH_TO_REF = 0x4,
    D3D10_CREATE_DEVICE_PREVENT_INTERNAL_THREADING_OPTIMIZATIONS = 0x8
} D3D10_CREATE_DEVICE_FLAG;

typedef enum D3D10_USAGE {
    D3D10_USAGE_DEFAULT = 0,
    D3D10_USAGE_IMMUTABLE = 1,
    D3D10_USAGE_DYNAMIC = 2,
    D3D10_USAGE_STAGING = 3
} D3D10_USAGE;

typedef enum D3D10_BIND_FLAG {
    D3D10_BIND_VERTEX_BUFFER = 0x1,
    D3D10_BIND_INDEX_BUFFER = 0x2,
    D3D10_BIND_CONSTANT_BUFFER = 0x4,
    D3D10_BIND_SHADER_RESOURCE = 0x8,
    D3D10_BIND_STREAM_OUTPUT = 0x10,
    D3D10_BIND_RENDER_TARGET = 0x20,
    D3D10_BIND_DEPTH_STENCIL = 0x40
} D3D10_BIND_FLAG;

typedef enum D3D10_CPU_ACCESS_FLAG {
    D3D10_CPU_ACCESS_WRITE = 0x10000,
    D3D10_CPU_ACCESS_READ = 0x20000
} D3D10_CPU_ACCESS_FLAG;

typedef enum D3D10_RESOURCE_MISC_FLAG {
    D3D10_RESOURCE_MISC_GENERATE_MIPS = 0x1,
    D3D10_RESOURCE_MISC_SHARED = 0x2,
    D3D10_RESOURCE_MISC_TEXTURECUBE = 0x4
} D3D10_RESOURCE_MISC_FLAG;

typedef enum D3D10_RESOURCE_DIMENSION {
    D3D10_RESOURCE_DIMENSION_UNKNOWN = 0,
    D3D10_RESOURCE_DIMENSION_BUFFER = 1,
    D3D10_RESOURCE_DIMENSION_TEXTURE1D = 2,
    D3D10_RESOURCE_DIMENSION_TEXTURE2D = 3,
    D3D10_RESOURCE_DIMENSION_TEXTURE3D = 4
} D3D10_RESOURCE_DIMENSION;

typedef enum D3D10_MAP {
    D3D10_MAP_READ = 1,
    D3D10_MAP_WRITE = 2,
    D3D10_MAP_READ_WRITE = 3,
    D3D10_MAP_WRITE_DISCARD = 4,
    D3D10_MAP_WRITE_NO_OVERWRITE = 5
} D3D10_MAP;

typedef enum D3D10_MAP_FLAG { D3D10_MAP_FLAG_DO_NOT_WAIT = 0x100000 } D3D10_MAP_FLAG;

typedef enum D3D10_RTV_DIMENSION {
    D3D10_RTV_DIMENSION_UNKNOWN = 0,
    D3D10_RTV_DIMENSION_BUFFER = 1,
    D3D10_RTV_DIMENSION_TEXTURE1D = 2,
    D3D10_RTV_DIMENSION_TEXTURE1DARRAY = 3,
    D3D10_RTV_DIMENSION_TEXTURE2D = 4,
    D3D10_RTV_DIMENSION_TEXTURE2DARRAY = 5,
    D3D10_RTV_DIMENSION_TEXTURE2DMS = 6,
    D3D10_RTV_DIMENSION_TEXTURE2DMSARRAY = 7,
    D3D10_RTV_DIMENSION_TEXTURE3D = 8
} D3D10_RTV_DIMENSION;

typedef enum D3D10_DSV_DIMENSION {
    D3D10_DSV_DIMENSION_UNKNOWN = 0,
    D3D10_DSV_DIMENSION_TEXTURE1D = 1,
    D3D10_DSV_DIMENSION_TEXTURE1DARRAY = 2,
    D3D10_DSV_DIMENSION_TEXTURE2D = 3,
    D3D10_DSV_DIMENSION_TEXTURE2DARRAY = 4,
    D3D10_DSV_DIMENSION_TEXTURE2DMS = 5,
    D3D10_DSV_DIMENSION_TEXTURE2DMSARRAY = 6
} D3D10_DSV_DIMENSION;

typedef enum D3D10_INPUT_CLASSIFICATION {
    D3D10_INPUT_PER_VERTEX_DATA = 0,
    D3D10_INPUT_PER_INSTANCE_DATA = 1
} D3D10_INPUT_CLASSIFICATION;

typedef enum D3D10_FILL_MODE { D3D10_FILL_WIREFRAME = 2, D3D10_FILL_SOLID = 3 } D3D10_FILL_MODE;
typedef enum D3D10_CULL_MODE {
    D3D10_CULL_NONE = 1,
    D3D10_CULL_FRONT = 2,
    D3D10_CULL_BACK = 3
} D3D10_CULL_MODE;

typedef enum D3D10_COMPARISON_FUNC {
    D3D10_COMPARISON_NEVER = 1,
    D3D10_COMPARISON_LESS = 2,
    D3D10_COMPARISON_EQUAL = 3,
    D3D10_COMPARISON_LESS_EQUAL = 4,
    D3D10_COMPARISON_GREATER = 5,
    D3D10_COMPARISON_NOT_EQUAL = 6,
    D3D10_COMPARISON_GREATER_EQUAL = 7,
    D3D10_COMPARISON_ALWAYS = 8
} D3D10_COMPARISON_FUNC;

typedef enum D3D10_DEPTH_WRITE_MASK {
    D3D10_DEPTH_WRITE_MASK_ZERO = 0,
    D3D10_DEPTH_WRITE_MASK_ALL = 1
} D3D10_DEPTH_WRITE_MASK;

typedef enum D3D10_STENCIL_OP {
    D3D10_STENCIL_OP_KEEP = 1,
    D3D10_STENCIL_OP_ZERO = 2,
    D3D10_STENCIL_OP_REPLACE = 3,
    D3D10_STENCIL_OP_INCR_SAT = 4,
    D3D10_STENCIL_OP_DECR_SAT = 5,
    D3D10_STENCIL_OP_INVERT = 6,
    D3D10_STENCIL_OP_INCR = 7,
    D3D10_STENCIL_OP_DECR = 8
} D3D10_STENCIL_OP;

typedef enum D3D10_BLEND {
    D3D10_BLEND_ZERO = 1,
    D3D10_BLEND_ONE = 2,
    D3D10_BLEND_SRC_COLOR = 3,
    D3D10_BLEND_INV_SRC_COLOR = 4,
    D3D10_BLEND_SRC_ALPHA = 5,
    D3D10_BLEND_INV_SRC_ALPHA = 6,
    D3D10_BLEND_DEST_ALPHA = 7,
    D3D10_BLEND_INV_DEST_ALPHA = 8,
    D3D10_BLEND_DEST_COLOR = 9,
    D3D10_BLEND_INV_DEST_COLOR = 10,
    D3D10_BLEND_SRC_ALPHA_SAT = 11,
    D3D10_BLEND_BLEND_FACTOR = 14,
    D3D10_BLEND_INV_BLEND_FACTOR = 15,
    D3D10_BLEND_SRC1_COLOR = 16,
    D3D10_BLEND_INV_SRC1_COLOR = 17,
    D3D10_BLEND_SRC1_ALPHA = 18,
    D3D10_BLEND_INV_SRC1_ALPHA = 19
} D3D10_BLEND;

typedef enum D3D10_BLEND_OP {
    D3D10_BLEND_OP_ADD = 1,
    D3D10_BLEND_OP_SUBTRACT = 2,
    D3D10_BLEND_OP_REV_SUBTRACT = 3,
    D3D10_BLEND_OP_MIN = 4,
    D3D10_BLEND_OP_MAX = 5
} D3D10_BLEND_OP;

typedef enum D3D10_COLOR_WRITE_ENABLE {
    D3D10_COLOR_WRITE_ENABLE_RED = 1,
    D3D10_COLOR_WRITE_ENABLE_GREEN = 2,
    D3D10_COLOR_WRITE_ENABLE_BLUE = 4,
    D3D10_COLOR_WRITE_ENABLE_ALPHA = 8,
    D3D10_COLOR_WRITE_ENABLE_ALL = 15
} D3D10_COLOR_WRITE_ENABLE;

typedef enum D3D10_FILTER {
    D3D10_FILTER_MIN_MAG_MIP_POINT = 0,
    D3D10_FILTER_MIN_MAG_POINT_MIP_LINEAR = 0x1,
    D3D10_FILTER_MIN_POINT_MAG_LINEAR_MIP_POINT = 0x4,
    D3D10_FILTER_MIN_POINT_MAG_MIP_LINEAR = 0x5,
    D3D10_FILTER_MIN_LINEAR_MAG_MIP_POINT = 0x10,
    D3D10_FILTER_MIN_LINEAR_MAG_POINT_MIP_LINEAR = 0x11,
    D3D10_FILTER_MIN_MAG_LINEAR_MIP_POINT = 0x14,
    D3D10_FILTER_MIN_MAG_MIP_LINEAR = 0x15,
    D3D10_FILTER_ANISOTROPIC = 0x55,
    D3D10_FILTER_COMPARISON_MIN_MAG_MIP_POINT = 0x80,
    D3D10_FILTER_COMPARISON_MIN_MAG_MIP_LINEAR = 0x95,
    D3D10_FILTER_COMPARISON_ANISOTROPIC = 0xd5
} D3D10_FILTER;

typedef enum D3D10_TEXTURE_ADDRESS_MODE {
    D3D10_TEXTURE_ADDRESS_WRAP = 1,
    D3D10_TEXTURE_ADDRESS_MIRROR = 2,
    D3D10_TEXTURE_ADDRESS_CLAMP = 3,
    D3D10_TEXTURE_ADDRESS_BORDER = 4,
    D3D10_TEXTURE_ADDRESS_MIRROR_ONCE = 5
} D3D10_TEXTURE_ADDRESS_MODE;

typedef enum D3D10_CLEAR_FLAG { D3D10_CLEAR_DEPTH = 0x1, D3D10_CLEAR_STENCIL = 0x2 } D3D10_CLEAR_FLAG;

typedef struct D3D10_BUFFER_DESC {
    UINT ByteWidth;
    D3D10_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
} D3D10_BUFFER_DESC;

typedef struct D3D10_TEXTURE2D_DESC {
    UINT Width;
    UINT Height;
    UINT MipLevels;
    UINT ArraySize;
    DXGI_FORMAT Format;
    DXGI_SAMPLE_DESC SampleDesc;
    D3D10_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
} D3D10_TEXTURE2D_DESC;

typedef struct D3D10_SUBRESOURCE_DATA {
    const void* pSysMem;
    UINT SysMemPitch;
    UINT SysMemSlicePitch;
} D3D10_SUBRESOURCE_DATA;

typedef struct D3D10_MAPPED_TEXTURE2D {
    void* pData;
    UINT RowPitch;
} D3D10_MAPPED_TEXTURE2D;

typedef struct D3D10_BOX {
    UINT left;
    UINT top;
    UINT front;
    UINT right;
    UINT bottom;
    UINT back;
} D3D10_BOX;

typedef struct D3D10_VIEWPORT {
    INT TopLeftX;
    INT TopLeftY;
    UINT Width;
    UINT Height;
    FLOAT MinDepth;
    FLOAT MaxDepth;
} D3D10_VIEWPORT;

typedef struct D3D10_INPUT_ELEMENT_DESC {
    LPCSTR SemanticName;
    UINT SemanticIndex;
    DXGI_FORMAT Format;
    UINT InputSlot;
    UINT AlignedByteOffset;
    D3D10_INPUT_CLASSIFICATION InputSlotClass;
    UINT InstanceDataStepRate;
} D3D10_INPUT_ELEMENT_DESC;

typedef struct D3D10_RASTERIZER_DESC {
    D3D10_FILL_MODE FillMode;
    D3D10_CULL_MODE CullMode;
    BOOL FrontCounterClockwise;
    INT DepthBias;
    FLOAT DepthBiasClamp;
    FLOAT SlopeScaledDepthBias;
    BOOL DepthClipEnable;
    BOOL ScissorEnable;
    BOOL MultisampleEnable;
    BOOL AntialiasedLineEnable;
} D3D10_RASTERIZER_DESC;

typedef struct D3D10_BLEND_DESC {
    BOOL AlphaToCoverageEnable;
    BOOL BlendEnable[8];
    D3D10_BLEND SrcBlend;
    D3D10_BLEND DestBlend;
    D3D10_BLEND_OP BlendOp;
    D3D10_BLEND SrcBlendAlpha;
    D3D10_BLEND DestBlendAlpha;
    D3D10_BLEND_OP BlendOpAlpha;
    UINT8 RenderTargetWriteMask[8];
} D3D10_BLEND_DESC;

typedef struct D3D10_DEPTH_STENCILOP_DESC {
    D3D10_STENCIL_OP StencilFailOp;
    D3D10_STENCIL_OP StencilDepthFailOp;
    D3D10_STENCIL_OP StencilPassOp;
    D3D10_COMPARISON_FUNC StencilFunc;
} D3D10_DEPTH_STENCILOP_DESC;

typedef struct D3D10_DEPTH_STENCIL_DESC {
    BOOL DepthEnable;
    D3D10_DEPTH_WRITE_MASK DepthWriteMask;
    D3D10_COMPARISON_FUNC DepthFunc;
    BOOL StencilEnable;
    UINT8 StencilReadMask;
    UINT8 StencilWriteMask;
    D3D10_DEPTH_STENCILOP_DESC FrontFace;
    D3D10_DEPTH_STENCILOP_DESC BackFace;
} D3D10_DEPTH_STENCIL_DESC;

typedef struct D3D10_SAMPLER_DESC {
    D3D10_FILTER Filter;
    D3D10_TEXTURE_ADDRESS_MODE AddressU;
    D3D10_TEXTURE_ADDRESS_MODE AddressV;
    D3D10_TEXTURE_ADDRESS_MODE AddressW;
    FLOAT MipLODBias;
    UINT MaxAnisotropy;
    D3D10_COMPARISON_FUNC ComparisonFunc;
    FLOAT BorderColor[4];
    FLOAT MinLOD;
    FLOAT MaxLOD;
} D3D10_SAMPLER_DESC;

typedef struct D3D10_BUFFER_SRV {
    UINT ElementOffset;
    UINT ElementWidth;
} D3D10_BUFFER_SRV;
typedef struct D3D10_TEX2D_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
} D3D10_TEX2D_SRV;
typedef struct D3D10_TEX2D_ARRAY_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
    UINT FirstArraySlice;
    UINT ArraySize;
} D3D10_TEX2D_ARRAY_SRV;

typedef struct D3D10_SHADER_RESOURCE_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D10_SRV_DIMENSION ViewDimension;
    union {
        D3D10_BUFFER_SRV Buffer;
        D3D10_TEX2D_SRV Texture2D;
        D3D10_TEX2D_ARRAY_SRV Texture2DArray;
    };
} D3D10_SHADER_RESOURCE_VIEW_DESC;

typedef struct D3D10_BUFFER_RTV {
    UINT ElementOffset;
    UINT ElementWidth;
} D3D10_BUFFER_RTV;
typedef struct D3D10_TEX2D_RTV {
    UINT MipSlice;
} D3D10_TEX2D_RTV;
typedef struct D3D10_TEX2D_ARRAY_RTV {
    UINT MipSlice;
    UINT FirstArraySlice;
    UINT ArraySize;
} D3D10_TEX2D_ARRAY_RTV;

typedef struct D3D10_RENDER_TARGET_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D10_RTV_DIMENSION ViewDimension;
    union {
        D3D10_BUFFER_RTV Buffer;
        D3D10_TEX2D_RTV Texture2D;
        D3D10_TEX2D_ARRAY_RTV Texture2DArray;
    };
} D3D10_RENDER_TARGET_VIEW_DESC;

typedef struct D3D10_TEX2D_DSV {
    UINT MipSlice;
} D3D10_TEX2D_DSV;
typedef struct D3D10_TEX2D_ARRAY_DSV {
    UINT MipSlice;
    UINT FirstArraySlice;
    UINT ArraySize;
} D3D10_TEX2D_ARRAY_DSV;

typedef struct D3D10_DEPTH_STENCIL_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D10_DSV_DIMENSION ViewDimension;
    union {
        D3D10_TEX2D_DSV Texture2D;
        D3D10_TEX2D_ARRAY_DSV Texture2DArray;
    };
} D3D10_DEPTH_STENCIL_VIEW_DESC;

typedef struct D3D10_TEXTURE1D_DESC {
    UINT Width;
    UINT MipLevels;
    UINT ArraySize;
    DXGI_FORMAT Format;
    D3D10_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
} D3D10_TEXTURE1D_DESC;

typedef struct D3D10_TEXTURE3D_DESC {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    DXGI_FORMAT Format;
    D3D10_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
} D3D10_TEXTURE3D_DESC;

typedef struct D3D10_MAPPED_TEXTURE3D {
    void* pData;
    UINT RowPitch;
    UINT DepthPitch;
} D3D10_MAPPED_TEXTURE3D;

typedef struct D3D10_SO_DECLARATION_ENTRY {
    LPCSTR SemanticName;
    UINT SemanticIndex;
    BYTE StartComponent;
    BYTE ComponentCount;
    BYTE OutputSlot;
} D3D10_SO_DECLARATION_ENTRY;

typedef enum D3D10_QUERY {
    D3D10_QUERY_EVENT = 0,
    D3D10_QUERY_OCCLUSION = 1,
    D3D10_QUERY_TIMESTAMP = 2,
    D3D10_QUERY_TIMESTAMP_DISJOINT = 3,
    D3D10_QUERY_PIPELINE_STATISTICS = 4,
    D3D10_QUERY_OCCLUSION_PREDICATE = 5,
    D3D10_QUERY_SO_STATISTICS = 6,
    D3D10_QUERY_SO_OVERFLOW_PREDICATE = 7
} D3D10_QUERY;

typedef struct D3D10_QUERY_DESC {
    D3D10_QUERY Query;
    UINT MiscFlags;
} D3D10_QUERY_DESC;

typedef enum D3D10_ASYNC_GETDATA_FLAG { D3D10_ASYNC_GETDATA_DONOTFLUSH = 0x1 } D3D10_ASYNC_GETDATA_FLAG;

typedef enum D3D10_COUNTER {
    D3D10_COUNTER_GPU_IDLE = 0,
    D3D10_COUNTER_VERTEX_PROCESSING = 1,
    D3D10_COUNTER_GEOMETRY_PROCESSING = 2,
    D3D10_COUNTER_PIXEL_PROCESSING = 3,
    D3D10_COUNTER_OTHER_GPU_PROCESSING = 4,
    D3D10_COUNTER_HOST_ADAPTER_BANDWIDTH_UTILIZATION = 5,
    D3D10_COUNTER_LOCAL_VIDMEM_BANDWIDTH_UTILIZATION = 6,
    D3D10_COUNTER_VERTEX_THROUGHPUT_UTILIZATION = 7,
    D3D10_COUNTER_TRIANGLE_SETUP_THROUGHPUT_UTILIZATION = 8,
    D3D10_COUNTER_FILLRATE_THROUGHPUT_UTILIZATION = 9,
    D3D10_COUNTER_VS_MEMORY_LIMITED = 10,
    D3D10_COUNTER_VS_COMPUTATION_LIMITED = 11,
    D3D10_COUNTER_GS_MEMORY_LIMITED = 12,
    D3D10_COUNTER_GS_COMPUTATION_LIMITED = 13,
    D3D10_COUNTER_PS_MEMORY_LIMITED = 14,
    D3D10_COUNTER_PS_COMPUTATION_LIMITED = 15,
    D3D10_COUNTER_POST_TRANSFORM_CACHE_HIT_RATE = 16,
    D3D10_COUNTER_TEXTURE_CACHE_HIT_RATE = 17,
    D3D10_COUNTER_DEVICE_DEPENDENT_0 = 0x40000000
} D3D10_COUNTER;

typedef enum D3D10_COUNTER_TYPE {
    D3D10_COUNTER_TYPE_FLOAT32 = 0,
    D3D10_COUNTER_TYPE_UINT16 = 1,
    D3D10_COUNTER_TYPE_UINT32 = 2,
    D3D10_COUNTER_TYPE_UINT64 = 3
} D3D10_COUNTER_TYPE;

typedef struct D3D10_COUNTER_DESC {
    D3D10_COUNTER Counter;
    UINT MiscFlags;
} D3D10_COUNTER_DESC;

typedef struct D3D10_COUNTER_INFO {
    D3D10_COUNTER LastDeviceDependentCounter;
    UINT NumSimultaneousCounters;
    UINT8 NumDetectableParallelUnits;
} D3D10_COUNTER_INFO;

DEFINE_GUID(IID_ID3D10DeviceChild, 0x9B7E4C00, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89,
            0xF0);
DEFINE_GUID(IID_ID3D10Resource, 0x9B7E4C01, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89, 0xF0);
DEFINE_GUID(IID_ID3D10Buffer, 0x9B7E4C02, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89, 0xF0);
DEFINE_GUID(IID_ID3D10Texture2D, 0x9B7E4C04, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89, 0xF0);
DEFINE_GUID(IID_ID3D10View, 0xC902B03F, 0x60A7, 0x49BA, 0x99, 0x36, 0x2A, 0x3A, 0xB3, 0x7A, 0x7E, 0x33);
DEFINE_GUID(IID_ID3D10ShaderResourceView, 0x9B7E4C07, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6,
            0x89, 0xF0);
DEFINE_GUID(IID_ID3D10RenderTargetView, 0x9B7E4C08, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89,
            0xF0);
DEFINE_GUID(IID_ID3D10DepthStencilView, 0x9B7E4C09, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89,
            0xF0);
DEFINE_GUID(IID_ID3D10VertexShader, 0x9B7E4C0A, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89,
            0xF0);
DEFINE_GUID(IID_ID3D10GeometryShader, 0x6316BE88, 0x54CD, 0x4040, 0xAB, 0x44, 0x20, 0x46, 0x1B, 0xC8, 0x1F,
            0x68);
DEFINE_GUID(IID_ID3D10PixelShader, 0x4968B601, 0x9D00, 0x4CDE, 0x83, 0x46, 0x8E, 0x7F, 0x67, 0x58, 0x19,
            0xB6);
DEFINE_GUID(IID_ID3D10InputLayout, 0x9B7E4C0B, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89,
            0xF0);
DEFINE_GUID(IID_ID3D10SamplerState, 0x9B7E4C0C, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89,
            0xF0);
DEFINE_GUID(IID_ID3D10Device, 0x9B7E4C0F, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89, 0xF0);
DEFINE_GUID(IID_ID3D10DepthStencilState, 0x2B4B1CC8, 0xA4AD, 0x41F8, 0x83, 0x22, 0xCA, 0x86, 0xFC, 0x3E, 0xC6,
            0x75);
DEFINE_GUID(IID_ID3D10BlendState, 0xEDAD8D19, 0x8A35, 0x4D6D, 0x85, 0x66, 0x2E, 0xA2, 0x76, 0xCD, 0xE1, 0x61);
DEFINE_GUID(IID_ID3D10RasterizerState, 0xA2A07292, 0x89AF, 0x4345, 0xBE, 0x2E, 0xC5, 0x3D, 0x9F, 0xBB, 0x6E,
            0x9F);

DEFINE_GUID(IID_ID3D10Texture1D, 0x9B7E4C03, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89, 0xF0);
DEFINE_GUID(IID_ID3D10Texture3D, 0x9B7E4C05, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89, 0xF0);
DEFINE_GUID(IID_ID3D10Asynchronous, 0x9B7E4C0D, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89,
            0xF0);
DEFINE_GUID(IID_ID3D10Query, 0x9B7E4C0E, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89, 0xF0);
DEFINE_GUID(IID_ID3D10Predicate, 0x9B7E4C10, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89, 0xF0);
DEFINE_GUID(IID_ID3D10Counter, 0x9B7E4C11, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89, 0xF0);
DEFINE_GUID(IID_ID3D10Multithread, 0x9B7E4E00, 0x342C, 0x4106, 0xA1, 0x9F, 0x4F, 0x27, 0x04, 0xF6, 0x89,
            0xF0);

struct ID3D10Device;

struct ID3D10DeviceChild : public IUnknown {
    virtual void STDMETHODCALLTYPE GetDevice(ID3D10Device** ppDevice) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* pDataSize, void* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT DataSize, const void* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* pData) = 0;

protected:
    ~ID3D10DeviceChild() = default;
};

struct ID3D10DepthStencilState : public ID3D10DeviceChild {
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_DEPTH_STENCIL_DESC* pDesc) = 0;

protected:
    ~ID3D10DepthStencilState() = default;
};

struct ID3D10BlendState : public ID3D10DeviceChild {
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_BLEND_DESC* pDesc) = 0;

protected:
    ~ID3D10BlendState() = default;
};

struct ID3D10RasterizerState : public ID3D10DeviceChild {
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_RASTERIZER_DESC* pDesc) = 0;

protected:
    ~ID3D10RasterizerState() = default;
};

struct ID3D10SamplerState : public ID3D10DeviceChild {
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_SAMPLER_DESC* pDesc) = 0;

protected:
    ~ID3D10SamplerState() = default;
};

struct ID3D10Resource : public ID3D10DeviceChild {
    virtual void STDMETHODCALLTYPE GetType(D3D10_RESOURCE_DIMENSION* rType) = 0;
    virtual void STDMETHODCALLTYPE SetEvictionPriority(UINT EvictionPriority) = 0;
    virtual UINT STDMETHODCALLTYPE GetEvictionPriority() = 0;

protected:
    ~ID3D10Resource() = default;
};

struct ID3D10Buffer : public ID3D10Resource {
    virtual HRESULT STDMETHODCALLTYPE Map(D3D10_MAP MapType, UINT MapFlags, void** ppData) = 0;
    virtual void STDMETHODCALLTYPE Unmap() = 0;
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_BUFFER_DESC* pDesc) = 0;

protected:
    ~ID3D10Buffer() = default;
};

struct ID3D10Texture1D : public ID3D10Resource {
    virtual HRESULT STDMETHODCALLTYPE Map(UINT Subresource, D3D10_MAP MapType, UINT MapFlags,
                                          void** ppData) = 0;
    virtual void STDMETHODCALLTYPE Unmap(UINT Subresource) = 0;
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_TEXTURE1D_DESC* pDesc) = 0;

protected:
    ~ID3D10Texture1D() = default;
};

struct ID3D10Texture2D : public ID3D10Resource {
    virtual HRESULT STDMETHODCALLTYPE Map(UINT Subresource, D3D10_MAP MapType, UINT MapFlags,
                                          D3D10_MAPPED_TEXTURE2D* pMappedTex2D) = 0;
    virtual void STDMETHODCALLTYPE Unmap(UINT Subresource) = 0;
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_TEXTURE2D_DESC* pDesc) = 0;

protected:
    ~ID3D10Texture2D() = default;
};

struct ID3D10Texture3D : public ID3D10Resource {
    virtual HRESULT STDMETHODCALLTYPE Map(UINT Subresource, D3D10_MAP MapType, UINT MapFlags,
                                          D3D10_MAPPED_TEXTURE3D* pMappedTex3D) = 0;
    virtual void STDMETHODCALLTYPE Unmap(UINT Subresource) = 0;
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_TEXTURE3D_DESC* pDesc) = 0;

protected:
    ~ID3D10Texture3D() = default;
};

struct ID3D10View : public ID3D10DeviceChild {
    virtual void STDMETHODCALLTYPE GetResource(ID3D10Resource** ppResource) = 0;

protected:
    ~ID3D10View() = default;
};

struct ID3D10ShaderResourceView : public ID3D10View {
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_SHADER_RESOURCE_VIEW_DESC* pDesc) = 0;

protected:
    ~ID3D10ShaderResourceView() = default;
};

struct ID3D10RenderTargetView : public ID3D10View {
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_RENDER_TARGET_VIEW_DESC* pDesc) = 0;

protected:
    ~ID3D10RenderTargetView() = default;
};

struct ID3D10DepthStencilView : public ID3D10View {
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_DEPTH_STENCIL_VIEW_DESC* pDesc) = 0;

protected:
    ~ID3D10DepthStencilView() = default;
};

struct ID3D10VertexShader : public ID3D10DeviceChild {

protected:
    ~ID3D10VertexShader() = default;
};
struct ID3D10GeometryShader : public ID3D10DeviceChild {

protected:
    ~ID3D10GeometryShader() = default;
};
struct ID3D10PixelShader : public ID3D10DeviceChild {

protected:
    ~ID3D10PixelShader() = default;
};
struct ID3D10InputLayout : public ID3D10DeviceChild {

protected:
    ~ID3D10InputLayout() = default;
};

struct ID3D10Asynchronous : public ID3D10DeviceChild {
    virtual void STDMETHODCALLTYPE Begin() = 0;
    virtual void STDMETHODCALLTYPE End() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetData(void* pData, UINT DataSize, UINT GetDataFlags) = 0;
    virtual UINT STDMETHODCALLTYPE GetDataSize() = 0;

protected:
    ~ID3D10Asynchronous() = default;
};

struct ID3D10Query : public ID3D10Asynchronous {
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_QUERY_DESC* pDesc) = 0;

protected:
    ~ID3D10Query() = default;
};

struct ID3D10Predicate : public ID3D10Query {

protected:
    ~ID3D10Predicate() = default;
};

struct ID3D10Counter : public ID3D10Asynchronous {
    virtual void STDMETHODCALLTYPE GetDesc(D3D10_COUNTER_DESC* pDesc) = 0;

protected:
    ~ID3D10Counter() = default;
};

struct ID3D10Device : public IUnknown {
    virtual void STDMETHODCALLTYPE VSSetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                        ID3D10Buffer* const* ppConstantBuffers) = 0;
    virtual void STDMETHODCALLTYPE PSSetShaderResources(
        UINT StartSlot, UINT NumViews, ID3D10ShaderResourceView* const* ppShaderResourceViews) = 0;
    virtual void STDMETHODCALLTYPE PSSetShader(ID3D10PixelShader* pPixelShader) = 0;
    virtual void STDMETHODCALLTYPE PSSetSamplers(UINT StartSlot, UINT NumSamplers,
                                                 ID3D10SamplerState* const* ppSamplers) = 0;
    virtual void STDMETHODCALLTYPE VSSetShader(ID3D10VertexShader* pVertexShader) = 0;
    virtual void STDMETHODCALLTYPE DrawIndexed(UINT IndexCount, UINT StartIndexLocation,
                                               INT BaseVertexLocation) = 0;
    virtual void STDMETHODCALLTYPE Draw(UINT VertexCount, UINT StartVertexLocation) = 0;
    virtual void STDMETHODCALLTYPE PSSetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                        ID3D10Buffer* const* ppConstantBuffers) = 0;
    virtual void STDMETHODCALLTYPE IASetInputLayout(ID3D10InputLayout* pInputLayout) = 0;
    virtual void STDMETHODCALLTYPE IASetVertexBuffers(UINT StartSlot, UINT NumBuffers,
                                                      ID3D10Buffer* const* ppVertexBuffers,
                                                      const UINT* pStrides, const UINT* pOffsets) = 0;
    virtual void STDMETHODCALLTYPE IASetIndexBuffer(ID3D10Buffer* pIndexBuffer, DXGI_FORMAT Format,
                                                    UINT Offset) = 0;
    virtual void STDMETHODCALLTYPE DrawIndexedInstanced(UINT IndexCountPerInstance, UINT InstanceCount,
                                                        UINT StartIndexLocation, INT BaseVertexLocation,
                                                        UINT StartInstanceLocation) = 0;
    virtual void STDMETHODCALLTYPE DrawInstanced(UINT VertexCountPerInstance, UINT InstanceCount,
                                                 UINT StartVertexLocation, UINT StartInstanceLocation) = 0;
    virtual void STDMETHODCALLTYPE GSSetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                        ID3D10Buffer* const* ppConstantBuffers) = 0;
    virtual void STDMETHODCALLTYPE GSSetShader(ID3D10GeometryShader* pShader) = 0;
    virtual void STDMETHODCALLTYPE IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY Topology) = 0;
    virtual void STDMETHODCALLTYPE VSSetShaderResources(
        UINT StartSlot, UINT NumViews, ID3D10ShaderResourceView* const* ppShaderResourceViews) = 0;
    virtual void STDMETHODCALLTYPE VSSetSamplers(UINT StartSlot, UINT NumSamplers,
                                                 ID3D10SamplerState* const* ppSamplers) = 0;
    virtual void STDMETHODCALLTYPE SetPredication(ID3D10Predicate* pPredicate, BOOL PredicateValue) = 0;
    virtual void STDMETHODCALLTYPE GSSetShaderResources(
        UINT StartSlot, UINT NumViews, ID3D10ShaderResourceView* const* ppShaderResourceViews) = 0;
    virtual void STDMETHODCALLTYPE GSSetSamplers(UINT StartSlot, UINT NumSamplers,
                                                 ID3D10SamplerState* const* ppSamplers) = 0;
    virtual void STDMETHODCALLTYPE OMSetRenderTargets(UINT NumViews,
                                                      ID3D10RenderTargetView* const* ppRenderTargetViews,
                                                      ID3D10DepthStencilView* pDepthStencilView) = 0;
    virtual void STDMETHODCALLTYPE OMSetBlendState(ID3D10BlendState* pBlendState, const FLOAT BlendFactor[4],
                                                   UINT SampleMask) = 0;
    virtual void STDMETHODCALLTYPE OMSetDepthStencilState(ID3D10DepthStencilState* pDepthStencilState,
                                                          UINT StencilRef) = 0;
    virtual void STDMETHODCALLTYPE SOSetTargets(UINT NumBuffers, ID3D10Buffer* const* ppSOTargets,
                                                const UINT* pOffsets) = 0;
    virtual void STDMETHODCALLTYPE DrawAuto() = 0;
    virtual void STDMETHODCALLTYPE RSSetState(ID3D10RasterizerState* pRasterizerState) = 0;
    virtual void STDMETHODCALLTYPE RSSetViewports(UINT NumViewports, const D3D10_VIEWPORT* pViewports) = 0;
    virtual void STDMETHODCALLTYPE RSSetScissorRects(UINT NumRects, const D3D10_RECT* pRects) = 0;
    virtual void STDMETHODCALLTYPE CopySubresourceRegion(ID3D10Resource* pDstResource, UINT DstSubresource,
                                                         UINT DstX, UINT DstY, UINT DstZ,
                                                         ID3D10Resource* pSrcResource, UINT SrcSubresource,
                                                         const D3D10_BOX* pSrcBox) = 0;
    virtual void STDMETHODCALLTYPE CopyResource(ID3D10Resource* pDstResource,
                                                ID3D10Resource* pSrcResource) = 0;
    virtual void STDMETHODCALLTYPE UpdateSubresource(ID3D10Resource* pDstResource, UINT DstSubresource,
                                                     const D3D10_BOX* pDstBox, const void* pSrcData,
                                                     UINT SrcRowPitch, UINT SrcDepthPitch) = 0;
    virtual void STDMETHODCALLTYPE ClearRenderTargetView(ID3D10RenderTargetView* pRenderTargetView,
                                                         const FLOAT ColorRGBA[4]) = 0;
    virtual void STDMETHODCALLTYPE ClearDepthStencilView(ID3D10DepthStencilView* pDepthStencilView,
                                                         UINT ClearFlags, FLOAT Depth, UINT8 Stencil) = 0;
    virtual void STDMETHODCALLTYPE GenerateMips(ID3D10ShaderResourceView* pShaderResourceView) = 0;
    virtual void STDMETHODCALLTYPE ResolveSubresource(ID3D10Resource* pDstResource, UINT DstSubresource,
                                                      ID3D10Resource* pSrcResource, UINT SrcSubresource,
                                                      DXGI_FORMAT Format) = 0;
    virtual void STDMETHODCALLTYPE VSGetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                        ID3D10Buffer** ppConstantBuffers) = 0;
    virtual void STDMETHODCALLTYPE PSGetShaderResources(UINT StartSlot, UINT NumViews,
                                                        ID3D10ShaderResourceView** ppShaderResourceViews) = 0;
    virtual void STDMETHODCALLTYPE PSGetShader(ID3D10PixelShader** ppPixelShader) = 0;
    virtual void STDMETHODCALLTYPE PSGetSamplers(UINT StartSlot, UINT NumSamplers,
                                                 ID3D10SamplerState** ppSamplers) = 0;
    virtual void STDMETHODCALLTYPE VSGetShader(ID3D10VertexShader** ppVertexShader) = 0;
    virtual void STDMETHODCALLTYPE PSGetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                        ID3D10Buffer** ppConstantBuffers) = 0;
    virtual void STDMETHODCALLTYPE IAGetInputLayout(ID3D10InputLayout** ppInputLayout) = 0;
    virtual void STDMETHODCALLTYPE IAGetVertexBuffers(UINT StartSlot, UINT NumBuffers,
                                                      ID3D10Buffer** ppVertexBuffers, UINT* pStrides,
                                                      UINT* pOffsets) = 0;
    virtual void STDMETHODCALLTYPE IAGetIndexBuffer(ID3D10Buffer** pIndexBuffer, DXGI_FORMAT* Format,
                                                    UINT* Offset) = 0;
    virtual void STDMETHODCALLTYPE GSGetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                        ID3D10Buffer** ppConstantBuffers) = 0;
    virtual void STDMETHODCALLTYPE GSGetShader(ID3D10GeometryShader** ppGeometryShader) = 0;
    virtual void STDMETHODCALLTYPE IAGetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY* pTopology) = 0;
    virtual void STDMETHODCALLTYPE VSGetShaderResources(UINT StartSlot, UINT NumViews,
                                                        ID3D10ShaderResourceView** ppShaderResourceViews) = 0;
    virtual void STDMETHODCALLTYPE VSGetSamplers(UINT StartSlot, UINT NumSamplers,
                                                 ID3D10SamplerState** ppSamplers) = 0;
    virtual void STDMETHODCALLTYPE GetPredication(ID3D10Predicate** ppPredicate, BOOL* pPredicateValue) = 0;
    virtual void STDMETHODCALLTYPE GSGetShaderResources(UINT StartSlot, UINT NumViews,
                                                        ID3D10ShaderResourceView** ppShaderResourceViews) = 0;
    virtual void STDMETHODCALLTYPE GSGetSamplers(UINT StartSlot, UINT NumSamplers,
                                                 ID3D10SamplerState** ppSamplers) = 0;
    virtual void STDMETHODCALLTYPE OMGetRenderTargets(UINT NumViews,
                                                      ID3D10RenderTargetView** ppRenderTargetViews,
                                                      ID3D10DepthStencilView** ppDepthStencilView) = 0;
    virtual void STDMETHODCALLTYPE OMGetBlendState(ID3D10BlendState** ppBlendState, FLOAT BlendFactor[4],
                                                   UINT* pSampleMask) = 0;
    virtual void STDMETHODCALLTYPE OMGetDepthStencilState(ID3D10DepthStencilState** ppDepthStencilState,
                                                          UINT* pStencilRef) = 0;
    virtual void STDMETHODCALLTYPE SOGetTargets(UINT NumBuffers, ID3D10Buffer** ppSOTargets,
                                                UINT* pOffsets) = 0;
    virtual void STDMETHODCALLTYPE RSGetState(ID3D10RasterizerState** ppRasterizerState) = 0;
    virtual void STDMETHODCALLTYPE RSGetViewports(UINT* NumViewports, D3D10_VIEWPORT* pViewports) = 0;
    virtual void STDMETHODCALLTYPE RSGetScissorRects(UINT* NumRects, D3D10_RECT* pRects) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceRemovedReason() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetExceptionMode(UINT RaiseFlags) = 0;
    virtual UINT STDMETHODCALLTYPE GetExceptionMode() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* pDataSize, void* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT DataSize, const void* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* pData) = 0;
    virtual void STDMETHODCALLTYPE ClearState() = 0;
    virtual void STDMETHODCALLTYPE Flush() = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBuffer(const D3D10_BUFFER_DESC* pDesc,
                                                   const D3D10_SUBRESOURCE_DATA* pInitialData,
                                                   ID3D10Buffer** ppBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateTexture1D(const D3D10_TEXTURE1D_DESC* pDesc,
                                                      const D3D10_SUBRESOURCE_DATA* pInitialData,
                                                      ID3D10Texture1D** ppTexture1D) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D10_TEXTURE2D_DESC* pDesc,
                                                      const D3D10_SUBRESOURCE_DATA* pInitialData,
                                                      ID3D10Texture2D** ppTexture2D) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateTexture3D(const D3D10_TEXTURE3D_DESC* pDesc,
                                                      const D3D10_SUBRESOURCE_DATA* pInitialData,
                                                      ID3D10Texture3D** ppTexture3D) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateShaderResourceView(ID3D10Resource* pResource,
                                                               const D3D10_SHADER_RESOURCE_VIEW_DESC* pDesc,
                                                               ID3D10ShaderResourceView** ppSRView) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateRenderTargetView(ID3D10Resource* pResource,
                                                             const D3D10_RENDER_TARGET_VIEW_DESC* pDesc,
                                                             ID3D10RenderTargetView** ppRTView) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDepthStencilView(ID3D10Resource* pResource,
                                                             const D3D10_DEPTH_STENCIL_VIEW_DESC* pDesc,
                                                             ID3D10DepthStencilView** ppDepthStencilView) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInputLayout(const D3D10_INPUT_ELEMENT_DESC* pInputElementDescs,
                                                        UINT NumElements,
                                                        const void* pShaderBytecodeWithInputSignature,
                                                        SIZE_T BytecodeLength,
                                                        ID3D10InputLayout** ppInputLayout) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateVertexShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                                         ID3D10VertexShader** ppVertexShader) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateGeometryShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                                           ID3D10GeometryShader** ppGeometryShader) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateGeometryShaderWithStreamOutput(
        const void* pShaderBytecode, SIZE_T BytecodeLength, const D3D10_SO_DECLARATION_ENTRY* pSODeclaration,
        UINT NumEntries, UINT OutputStreamStride, ID3D10GeometryShader** ppGeometryShader) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreatePixelShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                                        ID3D10PixelShader** ppPixelShader) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBlendState(const D3D10_BLEND_DESC* pBlendStateDesc,
                                                       ID3D10BlendState** ppBlendState) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDepthStencilState(
        const D3D10_DEPTH_STENCIL_DESC* pDepthStencilDesc, ID3D10DepthStencilState** ppDepthStencilState) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateRasterizerState(const D3D10_RASTERIZER_DESC* pRasterizerDesc,
                                                            ID3D10RasterizerState** ppRasterizerState) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSamplerState(const D3D10_SAMPLER_DESC* pSamplerDesc,
                                                         ID3D10SamplerState** ppSamplerState) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateQuery(const D3D10_QUERY_DESC* pQueryDesc,
                                                  ID3D10Query** ppQuery) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreatePredicate(const D3D10_QUERY_DESC* pPredicateDesc,
                                                      ID3D10Predicate** ppPredicate) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateCounter(const D3D10_COUNTER_DESC* pCounterDesc,
                                                    ID3D10Counter** ppCounter) = 0;
    virtual HRESULT STDMETHODCALLTYPE CheckFormatSupport(DXGI_FORMAT Format, UINT* pFormatSupport) = 0;
    virtual HRESULT STDMETHODCALLTYPE CheckMultisampleQualityLevels(DXGI_FORMAT Format, UINT SampleCount,
                                                                    UINT* pNumQualityLevels) = 0;
    virtual void STDMETHODCALLTYPE CheckCounterInfo(D3D10_COUNTER_INFO* pCounterInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE CheckCounter(const D3D10_COUNTER_DESC* pDesc, D3D10_COUNTER_TYPE* pType,
                                                   UINT* pActiveCounters, LPSTR szName, UINT* pNameLength,
                                                   LPSTR szUnits, UINT* pUnitsLength, LPSTR szDescription,
                                                   UINT* pDescriptionLength) = 0;
    virtual UINT STDMETHODCALLTYPE GetCreationFlags() = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenSharedResource(HANDLE hResource, REFIID ReturnedInterface,
                                                         void** ppResource) = 0;
    virtual void STDMETHODCALLTYPE SetTextFilterSize(UINT Width, UINT Height) = 0;
    virtual void STDMETHODCALLTYPE GetTextFilterSize(UINT* pWidth, UINT* pHeight) = 0;

protected:
    ~ID3D10Device() = default;
};

struct ID3D10Multithread : public IUnknown {
    virtual void STDMETHODCALLTYPE Enter() = 0;
    virtual void STDMETHODCALLTYPE Leave() = 0;
    virtual BOOL STDMETHODCALLTYPE SetMultithreadProtected(BOOL bMTProtect) = 0;
    virtual BOOL STDMETHODCALLTYPE GetMultithreadProtected() = 0;

protected:
    ~ID3D10Multithread() = default;
};

#include "d3d10effect.h"
#include "d3d10misc.h"
