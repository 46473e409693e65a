// Resource identifiers of unfoldfilter.
#pragma once

#define IDR_EFFECT 104 // the compiled effect (RT_RCDATA)
