// Everything a DirectShow application includes.
#pragma once

#include "windows.h"

#include "amvideo.h"
#include "control.h"
#include "evcode.h"
#include "ole2.h"
#include "strmif.h"
#include "uuids.h"
#include "vfwmsgs.h"
