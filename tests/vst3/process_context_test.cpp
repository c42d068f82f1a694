// What the processor makes of the host's process context: the project time
// in samples counts whenever a context comes, whatever musical-time flags
// the host sets (some hosts send none), so Maskers stay aligned everywhere.
#include <gtest/gtest.h>

#include "vst3/vst3_processor_base.h"

using Steinberg::Vst::ProcessContext;

namespace
{

class ContextProcessor : public plugfw::Vst3ProcessorBase
{
public:
    ContextProcessor() : Vst3ProcessorBase(Config()) {}
    void Apply(const Steinberg::Vst::ProcessData& data) { ApplyProcessContext(data); }

private:
    static plugfw::Config Config()
    {
        plugfw::Config c;
        c.channelIOStr = "2-2";
        c.latency = 1264;
        return c;
    }
};

struct ContextCase
{
    const char* name;
    bool send;
    uint32_t state;
    double samplePos;
    bool running;
};

class ProcessContextTime : public ::testing::TestWithParam<ContextCase>
{
};

TEST_P(ProcessContextTime, ProjectTimeCountsWheneverAContextComes)
{
    const ContextCase& c = GetParam();
    ContextProcessor p;
    ProcessContext context{};
    context.state = c.state;
    context.projectTimeSamples = 96000;
    Steinberg::Vst::ProcessData data{};
    data.processContext = c.send ? &context : nullptr;
    p.Apply(data);
    EXPECT_EQ(p.GetTimeInfo().samplePos, c.samplePos);
    EXPECT_EQ(p.GetTimeInfo().transportIsRunning, c.running);
}

INSTANTIATE_TEST_SUITE_P(
    States, ProcessContextTime,
    ::testing::Values(ContextCase{"NoContext", false, 0, -1.0, false},
                      ContextCase{"PlayingWithoutMusicalTime", true, ProcessContext::kPlaying,
                                  96000.0, true},
                      ContextCase{"PlayingWithMusicalTime", true,
                                  ProcessContext::kPlaying | ProcessContext::kProjectTimeMusicValid,
                                  96000.0, true},
                      ContextCase{"StoppedWithoutFlags", true, 0, 96000.0, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
