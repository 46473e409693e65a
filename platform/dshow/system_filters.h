// The filters built into the system module, as if their registration were in the registry: the
// device enumerator lists them under their category and intelligent connect considers them.
#pragma once

#include <vector>

#include <strmif.h>

#include "platform/dshow/filter_data.h"

namespace platform::dshow {

struct SystemFilter {
    const CLSID* clsid;
    const WCHAR* name;
    const CLSID* category;
    RegisteredFilter data;
};

const std::vector<SystemFilter>& SystemFilters();

} // namespace platform::dshow
