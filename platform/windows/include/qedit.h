// The SDK's qedit.h, plus the class identifiers of the Sample Grabber and the Null Renderer, which the
// Windows SDK's qedit.h declares and mingw-w64's leaves out (its strmiids library defines them).
#pragma once

#include_next <qedit.h>

EXTERN_C const CLSID CLSID_SampleGrabber;
EXTERN_C const CLSID CLSID_NullRenderer;
