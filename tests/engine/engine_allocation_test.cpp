// No allocation on the audio thread once the engine is reset: a counting
// global operator new watches every processBlock call. The only allowed
// allocation is the growth of the mono scratch buffer for a longer mono block.
#include "allocation_counting.h"
#include "engine/engine_parts_probe.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

// The replacement operators below pair malloc with free on purpose; with
// sanitizer instrumentation GCC inlines them into callers and then mistakes
// the pair for a mismatched new/free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace
{

std::atomic<bool> counting{false};
std::atomic<int> allocations{0};

void* countedAlloc(std::size_t size)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

// Over-allocates with malloc and keeps malloc's pointer just below the
// aligned block (not every C library has aligned_alloc: Windows' has not).
void* countedAlignedAlloc(std::size_t size, std::align_val_t align)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t a = std::max(static_cast<std::size_t>(align), sizeof(void*));
    void* raw = std::malloc(size + a + sizeof(void*));
    if (raw == nullptr)
        throw std::bad_alloc();
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    void** aligned = reinterpret_cast<void**>((first + a - 1) & ~(std::uintptr_t{a} - 1));
    aligned[-1] = raw;
    return aligned;
}

void alignedFree(void* p)
{
    if (p != nullptr)
        std::free(static_cast<void**>(p)[-1]);
}

} // namespace

void* operator new(std::size_t size)
{
    return countedAlloc(size);
}
void* operator new[](std::size_t size)
{
    return countedAlloc(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return countedAlloc(size);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& t) noexcept
{
    return operator new(size, t);
}
void* operator new(std::size_t size, std::align_val_t a)
{
    return countedAlignedAlloc(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a)
{
    return countedAlignedAlloc(size, a);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    alignedFree(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    alignedFree(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept
{
    alignedFree(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept
{
    alignedFree(p);
}

// The same counter for the other allocation checks of this test program.
namespace ostrel::testing
{
void beginCountingAllocations()
{
    allocations.store(0);
    counting.store(true);
}
int endCountingAllocations()
{
    counting.store(false);
    return allocations.load();
}
} // namespace ostrel::testing

namespace ostrel
{
namespace
{

class AudioThreadAllocation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        engine = testing::makeEngine(48000.0);
        engine->settings().channelIndex = testing::uniqueChannelIndex();
        for (auto* v : {&inL, &inR, &outL, &outR})
            v->assign(8192, 0.0);
        const std::vector<double> s = testing::noise(8192, 81);
        std::copy(s.begin(), s.end(), inL.begin());
        std::copy(s.begin(), s.end(), inR.begin());
        scratch.assign(512, 0.0); // what the reset handler sizes it to
    }

    // Allocations made by one processBlock call.
    int countBlock(int channels, int frames)
    {
        double* ins[2] = {inL.data(), inR.data()};
        double* outs[2] = {outL.data(), outR.data()};
        const bool connected[2] = {true, true};
        ChannelList inputs{ins, connected, channels};
        ChannelList outputs{outs, connected, channels};
        allocations.store(0);
        counting.store(true);
        processBlock(*engine, inputs, outputs, 2, HostTransport{0.0, true}, frames, scratch);
        counting.store(false);
        return allocations.load();
    }

    std::unique_ptr<SpectralEngine> engine;
    std::vector<double> inL, inR, outL, outR, scratch;
};

TEST_F(AudioThreadAllocation, NoneInAnyPathOrBlockSize)
{
    struct
    {
        int role;
        int bypass;
    } paths[] = {{kRoleOff, 0},    {kRoleSource, 0}, {kRoleSource, 1},
                 {kRoleMasker, 0}, {kRoleSelf, 0},   {kRoleOff, 0}};
    for (auto p : paths)
    {
        engine->settings().role = p.role;
        engine->settings().bypass = static_cast<uint8_t>(p.bypass);
        for (int frames : {1, 64, 512, 4881, 8192})
            EXPECT_EQ(countBlock(2, frames), 0) << "role " << p.role << " frames " << frames;
    }
    // Releasing dips (the full release path with spectral frames) too.
    EnginePartsProbe::holdBandDips(*engine, [](int c, int) { return c == 0 ? 0.5 : 1.0; });
    EXPECT_EQ(countBlock(2, 4096), 0);
}

TEST_F(AudioThreadAllocation, OnlyALongerMonoBlockGrowsTheScratchBuffer)
{
    EXPECT_EQ(countBlock(1, 512), 0);
    EXPECT_EQ(countBlock(1, 300), 0);
    EXPECT_EQ(countBlock(1, 2048), 1);
    EXPECT_GE(scratch.size(), 2048u);
    EXPECT_EQ(countBlock(1, 2048), 0);
    EXPECT_EQ(countBlock(1, 1000), 0);
}

} // namespace
} // namespace ostrel
