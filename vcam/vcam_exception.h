// The error record of unfoldcam. An operation that calls several platform functions in a row throws
// one at the first failing call (ThrowIfFailed) and catches it at its own end, where it prints it and
// returns its code; it never crosses a COM interface.
#pragma once

#include <windows.h>

struct CVCamException {
    const char* tag; // function tag, "Class::Method"
    int line;        // the report site's fixed line number
    HRESULT hr;

    // "[EXP][<tag>:<line>] value:0x<code>(<code>)" on standard output.
    void Print() const;
};

inline void ThrowIfFailed(HRESULT hr, const char* tag, int line) {
    if (FAILED(hr)) throw CVCamException{tag, line, hr};
}
