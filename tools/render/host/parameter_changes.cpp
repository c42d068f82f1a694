#include "tools/render/host/parameter_changes.h"

#include <algorithm>

using namespace Steinberg;

namespace ostrel::host
{

int32 PLUGIN_API ParamValueQueue::getPointCount()
{
    return static_cast<int32>(mPoints.size());
}

tresult PLUGIN_API ParamValueQueue::getPoint(int32 index, int32& sampleOffset,
                                             Vst::ParamValue& value)
{
    if (index < 0 || index >= getPointCount())
        return kInvalidArgument;
    sampleOffset = mPoints[static_cast<size_t>(index)].first;
    value = mPoints[static_cast<size_t>(index)].second;
    return kResultTrue;
}

tresult PLUGIN_API ParamValueQueue::addPoint(int32 sampleOffset, Vst::ParamValue value,
                                             int32& index)
{
    // Points stay in sample order; a point at an existing offset replaces it.
    auto it = std::lower_bound(mPoints.begin(), mPoints.end(), sampleOffset,
                               [](const auto& p, int32 offset) { return p.first < offset; });
    if (it != mPoints.end() && it->first == sampleOffset)
        it->second = value;
    else
        it = mPoints.insert(it, {sampleOffset, value});
    index = static_cast<int32>(it - mPoints.begin());
    return kResultTrue;
}

tresult PLUGIN_API ParamValueQueue::queryInterface(const TUID iid, void** obj)
{
    QUERY_INTERFACE(iid, obj, Vst::IParamValueQueue::iid, Vst::IParamValueQueue)
    QUERY_INTERFACE(iid, obj, FUnknown::iid, Vst::IParamValueQueue)
    *obj = nullptr;
    return kNoInterface;
}

int32 PLUGIN_API ParameterChanges::getParameterCount()
{
    return static_cast<int32>(mQueues.size());
}

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index)
{
    if (index < 0 || index >= getParameterCount())
        return nullptr;
    return mQueues[static_cast<size_t>(index)].get();
}

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const Vst::ParamID& id,
                                                                     int32& index)
{
    for (size_t i = 0; i < mQueues.size(); ++i)
    {
        if (mQueues[i]->getParameterId() == id)
        {
            index = static_cast<int32>(i);
            return mQueues[i].get();
        }
    }
    mQueues.push_back(std::make_unique<ParamValueQueue>(id));
    index = static_cast<int32>(mQueues.size() - 1);
    return mQueues.back().get();
}

tresult PLUGIN_API ParameterChanges::queryInterface(const TUID iid, void** obj)
{
    QUERY_INTERFACE(iid, obj, Vst::IParameterChanges::iid, Vst::IParameterChanges)
    QUERY_INTERFACE(iid, obj, FUnknown::iid, Vst::IParameterChanges)
    *obj = nullptr;
    return kNoInterface;
}

void ParameterChanges::Add(Vst::ParamID id, int32 sampleOffset, Vst::ParamValue value)
{
    int32 index = 0;
    int32 pointIndex = 0;
    addParameterData(id, index)->addPoint(sampleOffset, value, pointIndex);
}

bool ParameterChanges::Last(Vst::ParamID id, Vst::ParamValue& value)
{
    for (auto& q : mQueues)
    {
        const int32 n = q->getPointCount();
        if (q->getParameterId() == id && n > 0)
        {
            int32 offset = 0;
            return q->getPoint(n - 1, offset, value) == kResultTrue;
        }
    }
    return false;
}

} // namespace ostrel::host
