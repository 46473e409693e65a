// What resource scripts include for the constants of dialogs, controls and version blocks.
#pragma once

#include "commctrl.rh"
#include "verrsrc.h"
#include "winuser.rh"
