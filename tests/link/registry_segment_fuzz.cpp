// libFuzzer target: a shared registry block as another process of the same
// user may have left it, anything at all in any field. Every reader of the
// block, the shared gain curve, the page's reports, an instance's own
// claims and publications, and an engine that meets its peers there (its
// handover onto the block, its Source or Masker period) run over it; none
// may crash, hang, read or write outside the block, hand out a gain that is
// not a finite one in 0..1 or make the engine's output non-finite.
#include "editor_messages/matrix_report.h"
#include "editor_messages/meter_report.h"
#include "editor_messages/peer_list.h"
#include "engine/engine_role.h"
#include "engine/shared_gains.h"
#include "engine/spectral_engine.h"
#include "link/link_matrix.h"
#include "link/shared_segment.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

using namespace ostrel;

namespace
{

constexpr int64_t kNowMs = 1000000;

SharedSegment& freshSegment()
{
    static void* storage = std::aligned_alloc(64, (sizeof(SharedSegment) + 63) / 64 * 64);
    return *new (storage) SharedSegment();
}

// The input: patches of (offset, length, bytes) laid over a valid block.
void applyPatches(SharedSegment& segment, const uint8_t* data, size_t size)
{
    auto* bytes = reinterpret_cast<unsigned char*>(&segment);
    size_t at = 0;
    while (at + 5 <= size)
    {
        uint32_t offset = 0;
        std::memcpy(&offset, data + at, 4);
        const size_t length = data[at + 4];
        at += 5;
        const size_t n = std::min(length, size - at);
        offset %= static_cast<uint32_t>(sizeof(SharedSegment));
        const size_t room = sizeof(SharedSegment) - offset;
        std::memcpy(bytes + offset, data + at, std::min(n, room));
        at += n;
    }
}

void expectUnitGains(const float gains[kPeerBandCount])
{
    for (int k = 0; k < kPeerBandCount; ++k)
        if (!(gains[k] >= kCoordinatorGainFloor && gains[k] <= 1.0f))
            std::abort();
}

// A chunk of an engine on the block, in the role and channel the input
// names. The engine moves onto the block once and is reset after every
// input, so that what it does depends on that input alone (a finding
// reproduces from its file), and every chunk starts a period: a Masker meets
// the block-rate reads at once, a Source publishes when its period closes
// (512 samples at 48 kHz).
constexpr int kMaskerFrames = 64;
constexpr int kSourceFrames = 512;

// Made on the first input's block before anything is laid over it, so that
// its instance id is the same in every run.
SpectralEngine& engineOn(SharedSegment& segment)
{
    static SpectralEngine* engine = [&segment]
    {
        auto* e = new SpectralEngine();
        e->adoptRegistry(segment.registry);
        e->setMetersWanted(true);
        return e;
    }();
    return *engine;
}

void runEngine(SpectralEngine& engine, int role, int channelIndex, int64_t position)
{
    static const std::vector<double> input = []
    {
        std::vector<double> v(kSourceFrames);
        uint32_t x = 1;
        for (double& s : v)
        {
            x = x * 1664525u + 1013904223u;
            s = 0.25 * (static_cast<double>(x >> 8) / 8388608.0 - 1.0);
        }
        return v;
    }();
    engine.settings().role.store(role, std::memory_order_relaxed);
    engine.settings().channelIndex.store(channelIndex, std::memory_order_relaxed);
    const int frames = role == kRoleSource ? kSourceFrames : kMaskerFrames;
    double out0[kSourceFrames];
    double out1[kSourceFrames];
    engine.processChunk(input.data(), input.data(), out0, out1, frames, position, position >= 0,
                        nullptr, nullptr);
    for (int t = 0; t < frames; ++t)
        if (!std::isfinite(out0[t]) || !std::isfinite(out1[t]))
            std::abort();
    const MeterReadings readings = engine.meters();
    MeterSnapshot meters;
    meters.role = role;
    meters.linked = readings.linked;
    meters.peers = readings.peers;
    meters.nullDb = readings.nullDb;
    meters.touched = readings.touched;
    for (int k = 0; k < kMeterBands; ++k)
    {
        meters.dipDb[k] = readings.dipDb[k];
        meters.src[k] = readings.src[k];
        meters.mask[k] = readings.mask[k];
    }
    BuildMeterReport(meters);
    engine.resetEngine(48000.0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SharedSegment& segment = freshSegment();
    SpectralEngine& engine = engineOn(segment);
    applyPatches(segment, data, size);
    PeerRegistry& registry = segment.registry;

    segmentHeaderIsValid(segment.header);
    SegmentProcessInfo info;
    for (int i = -1; i <= kSegmentProcessCount; ++i)
        if (readSegmentProcess(segment, i, info) && (info.executable[kSegmentNameBytes - 1] != 0 ||
                                                     info.hostName[kSegmentNameBytes - 1] != 0))
            std::abort();

    const int64_t position = size >= 8 ? static_cast<int64_t>(data[size - 1]) * 512 : -1;
    for (int s = 0; s < kPeerSlotCount; ++s)
    {
        const PeerSlot& slot = registry.slots[s];
        float levels[kPeerBandCount];
        int64_t end = 0;
        readLevels(slot, levels, nullptr, &end);
        readLevelsEndingBy(slot, position, levels);
        readPublishedLevels(slot, publicationCount(slot) - 1, levels, &end);
        char name[kPeerNameBytes];
        readName(slot, name);
        if (name[kPeerNameBytes - 1] != 0)
            std::abort();
        readSourceState(slot);
        isSlotLive(slot, kNowMs);
        MatrixRow row;
        readMatrixRow(registry, s, kNowMs, row);
        float source[kPeerBandCount];
        std::fill(std::begin(source), std::end(source), 0.5f);
        float gains[kPeerBandCount];
        sharedGainCurve(registry, s, position, source, kNowMs, gains);
        expectUnitGains(gains);
    }
    countLiveRows(registry, kNowMs);
    soloChannel(registry);

    // The engine costs most of an input: only where the input asks for it.
    if (size > 2 && (data[2] & 2) != 0)
        runEngine(engine, (data[2] & 1) != 0 ? kRoleSource : kRoleMasker,
                  size > 3 ? data[3] & 63 : 0, position);

    // An instance of this process joining the block as it is.
    PeerLink link;
    initPeerLink(registry, link);
    const int role = size > 0 ? 1 + data[0] % 2 : 1;
    attach(registry, link, role, size > 1 ? data[1] & 63 : 0, false, false);
    beginLevels(registry, link);
    for (int k = 0; k < kPeerBandCount; ++k)
        writeLevel(registry, link, k, 0.25f);
    publishBlock(registry, link, position, 512);
    publishName(registry, link, "Fuzz");
    heartbeat(registry, link);
    int32_t lastDepth = 0;
    int32_t lastPriority = 0;
    float depth = 0.0f;
    int32_t priority = 0;
    takeDepthRequest(registry, link, lastDepth, depth);
    takePriorityRequest(registry, link, lastPriority, priority);
    BuildPeerList(registry);
    BuildMatrixReport(registry, link);

    // Every process found gone: their entries and slots are freed.
    reapGoneProcesses(segment, [](int32_t, uint64_t) { return false; });
    detachAtDestruction(registry, link);
    return 0;
}
