#include "vcam/vcam_exception.h"

#include "vcam/vcam_log.h"

void CVCamException::Print() const {
    VCamPrint("[EXP][%s:%d] value:0x%08X(%d)\n", tag, line, unsigned(hr), int(hr));
}
