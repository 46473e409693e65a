// The DirectShow base classes (see platform/dshow/README.md for how a COM server module is built).
#pragma once

#include <dshow.h>
#include <olectl.h>

#include "platform/com/unknown.h"
#include "platform/dshow/am_thread.h"
#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_input_pin.h"
#include "platform/dshow/base_output_pin.h"
#include "platform/dshow/base_pin.h"
#include "platform/dshow/base_property_page.h"
#include "platform/dshow/crit_sec.h"
#include "platform/dshow/enum_pins.h"
#include "platform/dshow/factory_template.h"
#include "platform/dshow/filter_setup.h"
#include "platform/dshow/media_type.h"
#include "platform/dshow/mem_allocator.h"
#include "platform/dshow/reference_time.h"
#include "platform/dshow/source.h"
#include "platform/dshow/source_stream.h"
#include "platform/dshow/transform_filter.h"
