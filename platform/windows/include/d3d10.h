// The SDK's d3d10.h, plus the Direct3D error code the engine returns for a refused call, which the
// Windows SDK's winerror.h defines and mingw-w64's does not.
#pragma once

#include_next <d3d10.h>

#ifndef D3DERR_INVALIDCALL
#define D3DERR_INVALIDCALL ((HRESULT)0x8876086CL)
#endif
