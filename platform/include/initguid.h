// GUID constants are inline variables here (see guiddef.h); nothing to switch on.
#pragma once
#include "guiddef.h"
