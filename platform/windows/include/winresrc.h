// mingw-w64's winresrc.h, plus the two names the resource scripts use that the Windows SDK's resource
// headers define and mingw-w64's leave out.
#pragma once

#include_next <winresrc.h>

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#ifndef TRACKBAR_CLASS
#define TRACKBAR_CLASS "msctls_trackbar32"
#endif
