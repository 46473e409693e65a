// mingw-w64's uuids.h (the media type and class identifiers of DirectShow) made includable on its own,
// as the Windows SDK's is: it needs DEFINE_GUID declared first, and its list must be read only once.
#pragma once

#include <windows.h>

#include_next <uuids.h>
