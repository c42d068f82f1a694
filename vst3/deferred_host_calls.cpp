#include "vst3/deferred_host_calls.h"

#include <algorithm>

namespace plugfw
{

using namespace Steinberg;

DeferredHostCalls::DeferredHostCalls(int nParams)
    : mNParams(std::max(nParams, 0)),
      mPendingPerform(new std::atomic<uint8_t>[static_cast<size_t>(std::max(nParams, 1))]),
      mHostGestureOpen(static_cast<size_t>(mNParams), 0),
      mPendingEnd(static_cast<size_t>(mNParams), 0)
{
    for (int i = 0; i < std::max(nParams, 1); ++i)
        mPendingPerform[Index(i)].store(0);
}

void DeferredHostCalls::DeferPerform(int paramIdx)
{
    mPendingPerform[Index(paramIdx)].store(1);
    mAnyPendingPerform.store(true);
}

void DeferredHostCalls::DropPerforms()
{
    if (!mAnyPendingPerform.exchange(false))
        return;
    for (int i = 0; i < mNParams; ++i)
        mPendingPerform[Index(i)].store(0);
}

void DeferredHostCalls::Flush(Vst::IComponentHandler& handler, Vst::IComponentHandler2* handler2,
                              const std::function<double(int)>& valueOf)
{
    for (int i = 0; i < mNParams; ++i)
    {
        if (mPendingEnd[Index(i)])
        {
            mPendingEnd[Index(i)] = 0;
            mHostGestureOpen[Index(i)] = 0;
            handler.endEdit(static_cast<Vst::ParamID>(i));
        }
    }
    ReportPerforms(handler, handler2, valueOf);
    if (const int32 flags = mPendingRestartFlags.exchange(0))
        handler.restartComponent(flags);
    if (mPendingDirty.exchange(false) && handler2)
        handler2->setDirty(true);
}

void DeferredHostCalls::ReportPerforms(Vst::IComponentHandler& handler,
                                       Vst::IComponentHandler2* handler2,
                                       const std::function<double(int)>& valueOf)
{
    std::vector<int> pending;
    TakePerforms([&](int i) { pending.push_back(i); });
    if (pending.empty())
        return;
    // A lone value change is reported as a complete gesture (inside one the
    // host already has open, just the value). What one tick changed together
    // (the last state) stays one edit for a host that groups edits.
    auto begin = [&](int i)
    {
        if (!GestureOpen(i))
            handler.beginEdit(static_cast<Vst::ParamID>(i));
    };
    auto perform = [&](int i) { handler.performEdit(static_cast<Vst::ParamID>(i), valueOf(i)); };
    auto end = [&](int i)
    {
        if (!GestureOpen(i))
            handler.endEdit(static_cast<Vst::ParamID>(i));
    };
    if (handler2 && pending.size() > 1)
    {
        handler2->startGroupEdit();
        for (const int i : pending)
            begin(i);
        for (const int i : pending)
            perform(i);
        for (const int i : pending)
            end(i);
        handler2->finishGroupEdit();
        return;
    }
    for (const int i : pending)
    {
        begin(i);
        perform(i);
        end(i);
    }
}

} // namespace plugfw
