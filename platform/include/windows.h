// The subset of the Windows API that this system uses.
#pragma once

#include "guiddef.h"
#include "msvc_crt.h"
#include "winbase.h"
#include "windef.h"
#include "winerror.h"
#include "winuser.h"
