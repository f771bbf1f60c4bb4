#pragma once
// Early returns on failure, each argument evaluated once.

#include <windows.h>

#define RETURN_IF_FAILED(expr)                                                                                        \
    do                                                                                                                \
    {                                                                                                                 \
        const HRESULT hrReturnIfFailed_ = (expr);                                                                     \
        if (FAILED(hrReturnIfFailed_))                                                                                \
            return hrReturnIfFailed_;                                                                                 \
    } while (0)

#define RETURN_HR_IF(hr, condition)                                                                                   \
    do                                                                                                                \
    {                                                                                                                 \
        if (condition)                                                                                                \
            return (hr);                                                                                              \
    } while (0)
