// OLE controls: self-registration results.
#pragma once

#include "ocidl.h"
#include "winerror.h"

#define SELFREG_E_TYPELIB _HRESULT_TYPEDEF_(0x80040200L)
#define SELFREG_E_CLASS _HRESULT_TYPEDEF_(0x80040201L)
