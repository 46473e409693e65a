// Device creation.
#pragma once

#include "d3d10.h"

STDAPI D3D10CreateDevice(IDXGIAdapter* pAdapter, D3D10_DRIVER_TYPE DriverType, HMODULE Software, UINT Flags,
                         UINT SDKVersion, ID3D10Device** ppDevice);

STDAPI D3D10CreateDeviceAndSwapChain(IDXGIAdapter* pAdapter, D3D10_DRIVER_TYPE DriverType, HMODULE Software,
                                     UINT Flags, UINT SDKVersion, DXGI_SWAP_CHAIN_DESC* pSwapChainDesc,
                                     IDXGISwapChain** ppSwapChain, ID3D10Device** ppDevice);
