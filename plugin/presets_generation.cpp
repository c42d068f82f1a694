#include "plugin/presets_generation.h"

#include <atomic>

namespace ostrel
{
namespace
{

std::atomic<uint64_t>& generation()
{
    static std::atomic<uint64_t> count{0};
    return count;
}

} // namespace

uint64_t presetsFileGeneration()
{
    return generation().load(std::memory_order_acquire);
}

void notePresetsFileWritten()
{
    generation().fetch_add(1, std::memory_order_acq_rel);
}

} // namespace ostrel
