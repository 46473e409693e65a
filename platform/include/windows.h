// The subset of the Windows API that this system uses.
#pragma once

#include "guiddef.h"
#include "handleapi.h"
#include "libloaderapi.h"
#include "minwinbase.h"
#include "mmsystem.h"
#include "msvc_crt.h"
#include "synchapi.h"
#include "winbase.h"
#include "windef.h"
#include "winerror.h"
#include "winreg.h"
#include "wingdi.h"
#include "winuser.h"
#include "winver.h"
