// The host's component handler: records what a plug-in reports (edit
// gestures, values, restart requests) and on which thread, so that a host,
// or a test, can see that main-thread calls came from the main thread.
#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <mutex>
#include <thread>
#include <vector>

namespace ostrel::host
{

class ComponentHandler : public Steinberg::Vst::IComponentHandler
{
public:
    enum class Call
    {
        Begin,
        Perform,
        End,
        Restart
    };
    struct Record
    {
        Call call;
        Steinberg::Vst::ParamID id; // the restart flags for Restart
        Steinberg::Vst::ParamValue value;
        std::thread::id thread;
    };

    ComponentHandler() = default;
    virtual ~ComponentHandler() = default;

    Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override
    {
        Add({Call::Begin, id, 0.0, std::this_thread::get_id()});
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                              Steinberg::Vst::ParamValue value) override
    {
        Add({Call::Perform, id, value, std::this_thread::get_id()});
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override
    {
        Add({Call::End, id, 0.0, std::this_thread::get_id()});
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override
    {
        Add({Call::Restart, static_cast<Steinberg::Vst::ParamID>(flags), 0.0,
             std::this_thread::get_id()});
        return Steinberg::kResultOk;
    }

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override
    {
        QUERY_INTERFACE(iid, obj, Steinberg::Vst::IComponentHandler::iid,
                        Steinberg::Vst::IComponentHandler)
        QUERY_INTERFACE(iid, obj, Steinberg::FUnknown::iid, Steinberg::Vst::IComponentHandler)
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    Steinberg::uint32 PLUGIN_API addRef() override { return 1000; }
    Steinberg::uint32 PLUGIN_API release() override { return 1000; }

    std::vector<Record> Records() const
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mRecords;
    }
    void ClearRecords()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mRecords.clear();
    }

private:
    void Add(const Record& r)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mRecords.push_back(r);
    }

    mutable std::mutex mMutex;
    std::vector<Record> mRecords;
};

} // namespace ostrel::host
