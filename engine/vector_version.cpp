#include "engine/vector_version.h"

#include "engine/vector_clones.h"

#include <atomic>

namespace ostrel
{

namespace
{

// -1 until first asked; then the version every dispatch reads.
std::atomic<int> active{-1};

VectorVersion fastestAvailable()
{
    for (int v = kVectorVersionCount - 1; v > 0; --v)
        if (vectorVersionAvailable(static_cast<VectorVersion>(v)))
            return static_cast<VectorVersion>(v);
    return VectorVersion::Baseline;
}

} // namespace

const char* vectorVersionName(VectorVersion version)
{
    switch (version)
    {
    case VectorVersion::Avx2:
        return "avx2";
    case VectorVersion::Avx512:
        return "avx512";
    default:
        return "baseline";
    }
}

bool vectorVersionAvailable(VectorVersion version)
{
    switch (version)
    {
    case VectorVersion::Baseline:
        return true;
#if defined(OSTREL_HAS_VECTOR_VERSIONS)
    case VectorVersion::Avx2:
        return __builtin_cpu_supports("avx2");
    case VectorVersion::Avx512:
        return __builtin_cpu_supports("avx512f");
#endif
    default:
        return false;
    }
}

VectorVersion activeVectorVersion()
{
    int v = active.load(std::memory_order_relaxed);
    if (v < 0)
    {
        // Only the first answer is kept: a version chosen meanwhile stays.
        const int fastest = static_cast<int>(fastestAvailable());
        v = active.compare_exchange_strong(v, fastest, std::memory_order_relaxed) ? fastest : v;
    }
    return static_cast<VectorVersion>(v);
}

bool chooseVectorVersion(VectorVersion version)
{
    if (!vectorVersionAvailable(version))
        return false;
    active.store(static_cast<int>(version), std::memory_order_relaxed);
    return true;
}

} // namespace ostrel
