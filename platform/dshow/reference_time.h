// Time units of DirectShow: REFERENCE_TIME counts 100 ns.
#pragma once

#include <strmif.h>

constexpr REFERENCE_TIME UNITS = 10000000;     // one second
constexpr REFERENCE_TIME MILLISECONDS = 10000; // one millisecond
