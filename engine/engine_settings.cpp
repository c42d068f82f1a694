#include "engine/engine_settings.h"

#include <cstring>

namespace ostrel
{
namespace
{

constexpr auto kRelaxed = std::memory_order_relaxed;

uint64_t packDepth(DepthDb depth)
{
    uint32_t scale;
    uint32_t bias;
    std::memcpy(&scale, &depth.scaleDb, sizeof scale);
    std::memcpy(&bias, &depth.biasDb, sizeof bias);
    return (uint64_t{scale} << 32) | bias;
}

DepthDb unpackDepth(uint64_t bits)
{
    const auto scale = static_cast<uint32_t>(bits >> 32);
    const auto bias = static_cast<uint32_t>(bits);
    DepthDb depth;
    std::memcpy(&depth.scaleDb, &scale, sizeof scale);
    std::memcpy(&depth.biasDb, &bias, sizeof bias);
    return depth;
}

} // namespace

EngineSettings::EngineSettings()
    : depthBits(packDepth(DepthDb{kEngineDefaults.depthScaleDb, kEngineDefaults.depthBiasDb}))
{
    const SettingsSnapshot& defaults = kEngineDefaults;
    for (int b = 0; b < kBellCount; ++b)
    {
        bellFreqHz[b].store(defaults.bellFreqHz[b], kRelaxed);
        bellQ[b].store(defaults.bellQ[b], kRelaxed);
        bellDepthPercent[b].store(defaults.bellDepthPercent[b], kRelaxed);
        bellActive[b].store(defaults.bellActive[b], kRelaxed);
    }
}

void EngineSettings::apply(const ParamRow& row, double v)
{
    const int b = row.bell >= 0 && row.bell < kBellCount ? row.bell : 0;
    switch (row.field)
    {
    case EngineField::Role:
        role.store(roleOf(v), kRelaxed);
        break;
    case EngineField::Channel:
        channelIndex.store(channelIndexOf(v), kRelaxed);
        break;
    case EngineField::Depth:
        setDepth(depthOf(v));
        break;
    case EngineField::Bypass:
        bypass.store(switchOf(v), kRelaxed);
        break;
    case EngineField::Selectivity:
        selectivity.store(selectivityDbOf(v), kRelaxed);
        break;
    case EngineField::Listen:
        listen.store(switchOf(v), kRelaxed);
        break;
    case EngineField::LowGuard:
        lowGuardHz.store(floatOf(v), kRelaxed);
        break;
    case EngineField::Sidechain:
        sidechainOn.store(switchOf(v), kRelaxed);
        break;
    case EngineField::BellFreq:
        bellFreqHz[b].store(floatOf(v), kRelaxed);
        break;
    case EngineField::BellQ:
        bellQ[b].store(floatOf(v), kRelaxed);
        break;
    case EngineField::BellDepth:
        bellDepthPercent[b].store(floatOf(v), kRelaxed);
        break;
    case EngineField::BellActive:
        bellActive[b].store(switchOf(v), kRelaxed);
        break;
    case EngineField::BellListen:
        bellListen.store(bellListenOf(v), kRelaxed);
        break;
    case EngineField::HighGuard:
        highGuardHz.store(floatOf(v), kRelaxed);
        break;
    case EngineField::Priority:
        priority.store(intOf(v), kRelaxed);
        break;
    }
}

void EngineSettings::setDepth(DepthDb depth)
{
    depthBits.store(packDepth(depth), kRelaxed);
}

DepthDb EngineSettings::depth() const
{
    return unpackDepth(depthBits.load(kRelaxed));
}

SettingsSnapshot EngineSettings::snapshot() const
{
    SettingsSnapshot s;
    snapshotInto(s);
    return s;
}

void EngineSettings::snapshotInto(SettingsSnapshot& s) const
{
    s.role = role.load(kRelaxed);
    s.channelIndex = channelIndex.load(kRelaxed);
    const DepthDb d = depth();
    s.depthScaleDb = d.scaleDb;
    s.depthBiasDb = d.biasDb;
    s.bypass = bypass.load(kRelaxed);
    s.selectivity = selectivity.load(kRelaxed);
    s.listen = listen.load(kRelaxed);
    s.lowGuardHz = lowGuardHz.load(kRelaxed);
    s.sidechainOn = sidechainOn.load(kRelaxed);
    for (int b = 0; b < kBellCount; ++b)
    {
        s.bellFreqHz[b] = bellFreqHz[b].load(kRelaxed);
        s.bellQ[b] = bellQ[b].load(kRelaxed);
        s.bellDepthPercent[b] = bellDepthPercent[b].load(kRelaxed);
        s.bellActive[b] = bellActive[b].load(kRelaxed);
    }
    s.bellListen = bellListen.load(kRelaxed);
    s.highGuardHz = highGuardHz.load(kRelaxed);
    s.priority = priority.load(kRelaxed);
}

} // namespace ostrel
