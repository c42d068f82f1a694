// The audio paths' hot loops are built three times where the platform can
// pick a function version at load time: for the baseline instruction set,
// for AVX2 and for AVX-512, whose four- and eight-double vectors take the 24
// bands in six or three steps instead of twelve. All versions compute the
// same: no fused multiply-add is allowed (the engine builds with
// -ffp-contract=off), so every operation rounds as in the baseline.
#pragma once

// GCC only: clang 14 leaves cloned member functions undefined at link time.
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && !defined(__clang__) &&         \
    !defined(__SANITIZE_THREAD__)
#define OSTREL_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define OSTREL_VECTOR_CLONES
#endif

// A helper of a cloned loop: inlined into each version, so it is built for
// that version's instruction set (called, it would run the baseline's).
#if defined(__GNUC__) || defined(__clang__)
#define OSTREL_INLINE_IN_CLONES [[gnu::always_inline]] inline
#else
#define OSTREL_INLINE_IN_CLONES inline
#endif

// Before a short loop over lanes: GCC unrolls a loop of eight or so
// iterations before it would vectorise it, and then leaves it scalar; kept
// as a loop it becomes one or two vector steps.
#if defined(__GNUC__) && !defined(__clang__)
#define OSTREL_LANE_LOOP _Pragma("GCC unroll 1")
#else
#define OSTREL_LANE_LOOP
#endif
