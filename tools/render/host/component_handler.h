// The host's component handler: records what a plug-in reports (edit
// gestures, values, restart requests) and on which thread, so that a host,
// or a test, can see that main-thread calls came from the main thread. On
// request it also offers IComponentHandler2 (edit groups, the dirty flag), as
// many hosts do.
#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <mutex>
#include <thread>
#include <vector>

namespace ostrel::host
{

class ComponentHandler : public Steinberg::Vst::IComponentHandler,
                         public Steinberg::Vst::IComponentHandler2
{
public:
    enum class Call
    {
        Begin,
        Perform,
        End,
        Restart,
        GroupStart,
        GroupFinish,
        Dirty
    };
    struct Record
    {
        Call call;
        Steinberg::Vst::ParamID id; // the restart flags for Restart
        Steinberg::Vst::ParamValue value;
        std::thread::id thread;
    };

    explicit ComponentHandler(bool offersGroups = false) : mOffersGroups(offersGroups) {}
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

    // IComponentHandler2
    Steinberg::tresult PLUGIN_API setDirty(Steinberg::TBool state) override
    {
        Add({Call::Dirty, 0, state ? 1.0 : 0.0, std::this_thread::get_id()});
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API requestOpenEditor(Steinberg::FIDString /*name*/) override
    {
        return Steinberg::kResultFalse;
    }
    Steinberg::tresult PLUGIN_API startGroupEdit() override
    {
        Add({Call::GroupStart, 0, 0.0, std::this_thread::get_id()});
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API finishGroupEdit() override
    {
        Add({Call::GroupFinish, 0, 0.0, std::this_thread::get_id()});
        return Steinberg::kResultOk;
    }

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override
    {
        if (mOffersGroups)
        {
            QUERY_INTERFACE(iid, obj, Steinberg::Vst::IComponentHandler2::iid,
                            Steinberg::Vst::IComponentHandler2)
        }
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

    bool mOffersGroups;
    mutable std::mutex mMutex;
    std::vector<Record> mRecords;
};

} // namespace ostrel::host
