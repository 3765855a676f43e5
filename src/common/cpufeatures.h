#pragma once

// Whether the processor runs AVX2, asked once: the vector paths of the
// statistics and the plots are chosen per call.
inline bool hasAvx2()
{
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
#else
    return false;
#endif
}
