// The audio paths' hot loops are built three times where the platform allows
// it: for the baseline instruction set, for AVX2 and for AVX-512, whose four-
// and eight-double vectors take the 24 bands in six or three steps instead of
// twelve. All versions compute the same: no fused multiply-add is allowed (the
// engine builds with -ffp-contract=off), so every operation rounds as in the
// baseline. Which one runs is chosen at each call (vector_version.h), so the
// versions can be compared on one machine.
//
// A looping function is written as its body, marked OSTREL_VECTOR_BODY, and a
// dispatcher whose whole text is OSTREL_VECTOR_DISPATCH(body call): each
// version inlines the body and so builds it for its instruction set.
#pragma once

#include "engine/vector_version.h"

// GCC on x86-64 ELF only, where the versions have always been built (MinGW's
// GCC does not keep the stack aligned for AVX spills); clang and the thread
// sanitiser's builds run the baseline.
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && !defined(__clang__) &&         \
    !defined(__SANITIZE_THREAD__)
#define OSTREL_HAS_VECTOR_VERSIONS 1
#endif

// A helper of a looping body: inlined into each version, so it is built for
// that version's instruction set (called, it would run the baseline's).
#if defined(__GNUC__) || defined(__clang__)
#define OSTREL_INLINE_IN_CLONES [[gnu::always_inline]] inline
#else
#define OSTREL_INLINE_IN_CLONES inline
#endif

#define OSTREL_VECTOR_BODY OSTREL_INLINE_IN_CLONES

#if defined(OSTREL_HAS_VECTOR_VERSIONS)
// Runs a call in the machine's vector version, with a body built one way for
// eight-double vectors (wideCall) and another for the narrower versions and
// the baseline (narrowCall).
#define OSTREL_VECTOR_DISPATCH_BY_WIDTH(wideCall, narrowCall)                                      \
    switch (::ostrel::activeVectorVersion())                                                       \
    {                                                                                              \
    case ::ostrel::VectorVersion::Avx512:                                                          \
        [&]() __attribute__((target("avx512f")))                                                   \
        {                                                                                          \
            wideCall;                                                                              \
        }                                                                                          \
        ();                                                                                        \
        return;                                                                                    \
    case ::ostrel::VectorVersion::Avx2:                                                            \
        [&]() __attribute__((target("avx2")))                                                      \
        {                                                                                          \
            narrowCall;                                                                            \
        }                                                                                          \
        ();                                                                                        \
        return;                                                                                    \
    default:                                                                                       \
        narrowCall;                                                                                \
        return;                                                                                    \
    }
#else
#define OSTREL_VECTOR_DISPATCH_BY_WIDTH(wideCall, narrowCall) narrowCall
#endif
// The same body in every version.
#define OSTREL_VECTOR_DISPATCH(call) OSTREL_VECTOR_DISPATCH_BY_WIDTH(call, call)

// Before a short loop over lanes: GCC unrolls a loop of eight or so
// iterations before it would vectorise it, and then leaves it scalar; kept
// as a loop it becomes one or two vector steps.
#if defined(__GNUC__) && !defined(__clang__)
#define OSTREL_LANE_LOOP _Pragma("GCC unroll 1")
#else
#define OSTREL_LANE_LOOP
#endif
