// The subset of the Windows API that this system uses.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "guiddef.h"
#include "winbase.h"
#include "winuser.h"
#include "msvc_crt.h"
