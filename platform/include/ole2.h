// OLE: the COM library with automation and the OLE control interfaces.
#pragma once

#include "oaidl.h"
#include "objbase.h"
#include "ocidl.h"
#include "oleauto.h"
