#include "plugin/settings_slots_record.h"

#include <cmath>

namespace ostrel
{

namespace
{

constexpr int32_t kFormatVersion = 1;
// Bounds a reader accepts: anything beyond is no record of ours.
constexpr int32_t kMaxStoredValues = 4096;
constexpr int32_t kMaxStoredNameBytes = 4096;

void PutText(plugfw::IByteChunk& chunk, const std::string& text)
{
    chunk.Put(static_cast<int32_t>(text.size()));
    chunk.PutBytes(text.data(), static_cast<int>(text.size()));
}

// Reads on from `pos`; every step leaves `pos` at -1 once something is
// missing.
class Reader
{
public:
    explicit Reader(const plugfw::IByteChunk& chunk) : mChunk(chunk) {}

    bool Ok() const { return mPos >= 0; }

    int32_t Int()
    {
        int32_t v = 0;
        mPos = mChunk.Get(v, mPos);
        return v;
    }
    double Double()
    {
        double v = 0.0;
        mPos = mChunk.Get(v, mPos);
        return v;
    }
    std::string Text(int32_t size)
    {
        if (!Ok() || size < 0 || size > mChunk.Size() - mPos)
        {
            mPos = -1;
            return {};
        }
        std::string text(reinterpret_cast<const char*>(mChunk.GetData()) + mPos,
                         static_cast<size_t>(size));
        mPos += size;
        return text;
    }

private:
    const plugfw::IByteChunk& mChunk;
    int mPos = 0;
};

bool ReadSlot(Reader& in, SettingsSlot& slot)
{
    slot.filled = in.Int() != 0;
    const int32_t count = in.Int();
    if (!in.Ok() || count < 0 || count > kMaxStoredValues)
        return false;
    bool finite = true;
    for (int32_t i = 0; i < count; ++i)
    {
        const double v = in.Double();
        finite = finite && std::isfinite(v);
        if (i < kNumParams)
            slot.values[static_cast<size_t>(i)] = v;
    }
    // Values of parameters a later version may add are passed over; fewer
    // than this version has cannot make settings.
    if (count < kNumParams || !finite)
        slot.filled = false;

    const int32_t nameBytes = in.Int();
    if (!in.Ok() || nameBytes < 0 || nameBytes > kMaxStoredNameBytes)
        return false;
    slot.preset.name = cleanPresetName(in.Text(nameBytes));
    const int32_t marks = in.Int();
    if (!in.Ok() || marks < 0 || marks > kMaxStoredValues)
        return false;
    for (int32_t i = 0; i < marks; ++i)
    {
        const int32_t index = in.Int();
        const double value = in.Double();
        if (in.Ok() && isSoundParam(index) && std::isfinite(value))
            slot.preset.values.emplace_back(index, value);
    }
    if (slot.preset.name.empty())
        slot.preset.values.clear();
    return in.Ok();
}

} // namespace

plugfw::IByteChunk WriteSettingsSlots(const SettingsSlots& slots)
{
    plugfw::IByteChunk out;
    out.Put(kFormatVersion);
    out.Put(static_cast<int32_t>(slots.active));
    out.Put(static_cast<int32_t>(slots.slots.size()));
    for (size_t s = 0; s < slots.slots.size(); ++s)
    {
        const SettingsSlot& slot = slots.slots[s];
        // The active slot's values are the parameters, stored before.
        const bool keepValues = slot.filled && static_cast<int>(s) != slots.active;
        out.Put(static_cast<int32_t>(keepValues ? 1 : 0));
        out.Put(static_cast<int32_t>(keepValues ? kNumParams : 0));
        if (keepValues)
            for (const double v : slot.values)
                out.Put(v);
        PutText(out, slot.preset.name);
        out.Put(static_cast<int32_t>(slot.preset.values.size()));
        for (const auto& [index, value] : slot.preset.values)
        {
            out.Put(static_cast<int32_t>(index));
            out.Put(value);
        }
    }
    return out;
}

bool ReadSettingsSlots(const plugfw::IByteChunk& record, SettingsSlots& slots)
{
    Reader in(record);
    const int32_t version = in.Int();
    const int32_t active = in.Int();
    const int32_t count = in.Int();
    if (!in.Ok() || version < 1 || count != SettingsSlots::kCount || active < 0 ||
        active >= SettingsSlots::kCount)
        return false;
    SettingsSlots read;
    read.active = active;
    for (SettingsSlot& slot : read.slots)
        if (!ReadSlot(in, slot))
            return false;
    // The active slot's values are the live ones; the flag only says the
    // slot was visited.
    read.slots[static_cast<size_t>(active)].filled = true;
    slots = std::move(read);
    return true;
}

} // namespace ostrel
