/* SPDX-License-Identifier: MIT */
/* The SDK header compiled as C99, on its own. */
#include "tarn/tarnmodule.h"

#include <stddef.h>

int32_t SdkHeaderCLayout(int32_t field)
{
    switch (field) {
    case 0:
        return (int32_t)sizeof(TWaveformData);
    case 1:
        return (int32_t)offsetof(TWaveformData, Count);
    case 2:
        return (int32_t)offsetof(TWaveformData, Range);
    case 3:
        return (int32_t)sizeof(TTarnBool);
    default:
        return TARN_REQUEST_WAVE_INFO + TARN_MODULE_CREATE + TARN_FLAG_KEEP_DATA;
    }
}
