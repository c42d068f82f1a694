// The host's parameter changes for one processing block: one queue per
// parameter, points in sample order. Reused from block to block.
#pragma once

#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <memory>
#include <utility>
#include <vector>

namespace ostrel::host
{

class ParamValueQueue : public Steinberg::Vst::IParamValueQueue
{
public:
    explicit ParamValueQueue(Steinberg::Vst::ParamID id) : mId(id) {}
    virtual ~ParamValueQueue() = default;

    Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return mId; }
    Steinberg::int32 PLUGIN_API getPointCount() override;
    Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                           Steinberg::Vst::ParamValue& value) override;
    Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset,
                                           Steinberg::Vst::ParamValue value,
                                           Steinberg::int32& index) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1000; }
    Steinberg::uint32 PLUGIN_API release() override { return 1000; }

private:
    Steinberg::Vst::ParamID mId;
    std::vector<std::pair<Steinberg::int32, Steinberg::Vst::ParamValue>> mPoints;
};

class ParameterChanges : public Steinberg::Vst::IParameterChanges
{
public:
    ParameterChanges() = default;
    virtual ~ParameterChanges() = default;

    Steinberg::int32 PLUGIN_API getParameterCount() override;
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                  Steinberg::int32& index) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1000; }
    Steinberg::uint32 PLUGIN_API release() override { return 1000; }

    // Adds one point to the parameter's queue (made on first use).
    void Add(Steinberg::Vst::ParamID id, Steinberg::int32 sampleOffset,
             Steinberg::Vst::ParamValue value);
    // The last point of `id`, if any (what a plug-in reporting output
    // changes left here).
    bool Last(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue& value);
    void Clear() { mQueues.clear(); }

private:
    std::vector<std::unique_ptr<ParamValueQueue>> mQueues;
};

} // namespace ostrel::host
