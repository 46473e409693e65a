// The subset of the Windows API that this system uses.
#pragma once

#include "guiddef.h"
#include "msvc_crt.h"
#include "winbase.h"
#include "windef.h"
#include "winerror.h"
#include "minwinbase.h"
#include "handleapi.h"
#include "synchapi.h"
#include "libloaderapi.h"
#include "winreg.h"
#include "mmsystem.h"
#include "winuser.h"
