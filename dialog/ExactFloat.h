#pragma once
// The 32-bit x86 build computes floating point on the x87 unit, whose excess
// precision would let a "double" quotient or a "single" rounding come out
// differently from IEEE arithmetic. Functions whose results depend on the
// exact double and single steps carry this attribute and use SSE2 instead.

#if defined(__i386__) && defined(__GNUC__) && !defined(__clang__)
#define FERROWIND_EXACT_FLOAT __attribute__((target("sse2,fpmath=sse")))
#else
#define FERROWIND_EXACT_FLOAT
#endif
