// The recent main input a plug-in keeps itself, exactly as its processBlock
// received it, so the host bypass need not keep its own copy while it is not
// heard. How the plug-in keeps it is its own business.
#pragma once

namespace plugfw
{

class RecentInput
{
public:
    // Main input `channel` from (endAgo + count) to endAgo + 1 samples ago,
    // oldest first; asked only for samples kept, at most the latency back.
    // Audio thread.
    virtual void Read(int channel, int endAgo, int count, double* dst) const = 0;

protected:
    ~RecentInput() = default;
};

} // namespace plugfw
