// OLE controls: self-registration results and property frames.
#pragma once

#include "ocidl.h"
#include "winerror.h"

#define SELFREG_E_TYPELIB _HRESULT_TYPEDEF_(0x80040200L)
#define SELFREG_E_CLASS _HRESULT_TYPEDEF_(0x80040201L)

// Shows property pages (by class) for the objects in a modal frame with OK, Cancel and Apply
// (platform/com/property_frame.cpp). x and y place the frame in the owner's client area; without an
// owner it is centred on the screen. Returns when the frame closes.
STDAPI OleCreatePropertyFrame(HWND hwndOwner, UINT x, UINT y, LPCOLESTR lpszCaption, ULONG cObjects,
                              LPUNKNOWN* ppUnk, ULONG cPages, LPCLSID pPageClsID, LCID lcid, DWORD dwReserved,
                              LPVOID pvReserved);
