// Walking a graph from the outside, as an application does: a filter's pins through IEnumPins and a
// pin's direction, owner and connection through IPin. Shared by the filter graph and the capture graph
// builder.
#pragma once

#include <vector>

#include <strmif.h>

#include "platform/win32/com_ptr.h"

namespace platform::dshow {

// Every pin of the filter in enumeration order; empty when the filter cannot enumerate them.
std::vector<ComPtr<IPin>> pinsOf(IBaseFilter* filter);

// The filter's unconnected pins of one direction.
std::vector<ComPtr<IPin>> freePinsOf(IBaseFilter* filter, PIN_DIRECTION dir);

// PINDIR_INPUT when the pin does not answer.
PIN_DIRECTION directionOf(IPin* pin);

// The filter that owns the pin, or null.
ComPtr<IBaseFilter> ownerOf(IPin* pin);

bool isConnected(IPin* pin);

} // namespace platform::dshow
