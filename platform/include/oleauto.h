// BSTR and VARIANT helpers. A BSTR is preceded by its length in bytes (32 bits) and terminated.
#pragma once

#include "oaidl.h"

WINOLEAPI_(BSTR) SysAllocString(const OLECHAR* psz);
WINOLEAPI_(BSTR) SysAllocStringLen(const OLECHAR* strIn, UINT ui);
WINOLEAPI_(void) SysFreeString(BSTR bstrString);
WINOLEAPI_(UINT) SysStringLen(BSTR pbstr);
WINOLEAPI_(UINT) SysStringByteLen(BSTR bstr);

WINOLEAPI_(void) VariantInit(VARIANTARG* pvarg);
WINOLEAPI VariantClear(VARIANTARG* pvarg);
WINOLEAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
