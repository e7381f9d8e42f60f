// The analysis's hottest loops are built twice: for every x86-64 processor and for those
// with AVX2, whose three-operand instructions spare the loops many register copies (about
// 5 % of a track's analysis). The program picks one when it starts (an ifunc) and never
// asks again. FMA stays off in both, so no multiply and add is fused into one rounding:
// every figure is the same bit for bit whichever copy runs.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define TARNWELL_ALSO_FOR_AVX2 __attribute__((target_clones("avx2", "default")))
#else
#define TARNWELL_ALSO_FOR_AVX2
#endif
