// Scoped flush-to-zero / denormals-are-zero mode for one chunk of audio:
// denormal samples would otherwise make the filters' decaying tails many
// times slower. The caller's mode is restored on every way out.
#pragma once

#if defined(__SSE__) || defined(__x86_64__) || defined(_M_X64)
#include <pmmintrin.h>
#include <xmmintrin.h>
#define OSTREL_HAS_MXCSR 1
#endif

namespace ostrel
{

class FloatModeGuard
{
public:
#if defined(OSTREL_HAS_MXCSR)
    FloatModeGuard() : saved(_mm_getcsr())
    {
        _mm_setcsr(saved | _MM_FLUSH_ZERO_ON | _MM_DENORMALS_ZERO_ON);
    }
    ~FloatModeGuard()
    {
        _mm_setcsr(saved);
    }

private:
    unsigned int saved;
#else
    FloatModeGuard() = default;
#endif

public:
    FloatModeGuard(const FloatModeGuard&) = delete;
    FloatModeGuard& operator=(const FloatModeGuard&) = delete;
};

// The same mode, entered only once some part of the chunk computes: a plain
// delay copies samples and needs none, and switching the mode costs about as
// much as a short block of such copying.
class DeferredFloatModeGuard
{
public:
    DeferredFloatModeGuard() = default;
    DeferredFloatModeGuard(const DeferredFloatModeGuard&) = delete;
    DeferredFloatModeGuard& operator=(const DeferredFloatModeGuard&) = delete;
#if defined(OSTREL_HAS_MXCSR)
    void engage()
    {
        if (engaged)
            return;
        saved = _mm_getcsr();
        _mm_setcsr(saved | _MM_FLUSH_ZERO_ON | _MM_DENORMALS_ZERO_ON);
        engaged = true;
    }
    ~DeferredFloatModeGuard()
    {
        if (engaged)
            _mm_setcsr(saved);
    }

private:
    unsigned int saved = 0;
    bool engaged = false;
#else
    void engage() {}
#endif
};

} // namespace ostrel
