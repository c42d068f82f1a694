#include "tools/render/host/host_context.h"

#include "public.sdk/source/vst/hosting/hostclasses.h"

#include <algorithm>
#include <poll.h>

using namespace Steinberg;

namespace ostrel::host
{

HostRunLoop::~HostRunLoop()
{
    for (auto& t : mTimers)
        t.handler->release();
    for (auto& h : mHandlers)
        h.handler->release();
}

tresult PLUGIN_API HostRunLoop::registerEventHandler(Linux::IEventHandler* handler,
                                                     Linux::FileDescriptor fd)
{
    if (!handler || fd < 0)
        return kInvalidArgument;
    handler->addRef();
    mHandlers.push_back({handler, fd});
    return kResultTrue;
}

tresult PLUGIN_API HostRunLoop::unregisterEventHandler(Linux::IEventHandler* handler)
{
    bool found = false;
    for (auto it = mHandlers.begin(); it != mHandlers.end();)
    {
        if (it->handler == handler)
        {
            it->handler->release();
            it = mHandlers.erase(it);
            found = true;
        }
        else
        {
            ++it;
        }
    }
    return found ? kResultTrue : kInvalidArgument;
}

tresult PLUGIN_API HostRunLoop::registerTimer(Linux::ITimerHandler* handler,
                                              Linux::TimerInterval ms)
{
    if (!handler || ms == 0)
        return kInvalidArgument;
    handler->addRef();
    const double interval = static_cast<double>(ms);
    mTimers.push_back({handler, interval, mNowMs + interval});
    return kResultTrue;
}

tresult PLUGIN_API HostRunLoop::unregisterTimer(Linux::ITimerHandler* handler)
{
    for (auto it = mTimers.begin(); it != mTimers.end(); ++it)
    {
        if (it->handler == handler)
        {
            it->handler->release();
            mTimers.erase(it);
            return kResultTrue;
        }
    }
    return kInvalidArgument;
}

tresult PLUGIN_API HostRunLoop::queryInterface(const TUID iid, void** obj)
{
    QUERY_INTERFACE(iid, obj, Linux::IRunLoop::iid, Linux::IRunLoop)
    QUERY_INTERFACE(iid, obj, FUnknown::iid, Linux::IRunLoop)
    *obj = nullptr;
    return kNoInterface;
}

void HostRunLoop::Advance(double ms)
{
    const double end = mNowMs + ms;
    for (;;)
    {
        // The earliest due timer; a handler may (un)register others while it
        // runs, so look it up afresh every time.
        auto next = std::min_element(mTimers.begin(), mTimers.end(),
                                     [](const TimerEntry& a, const TimerEntry& b)
                                     { return a.dueMs < b.dueMs; });
        if (next == mTimers.end() || next->dueMs > end)
            break;
        mNowMs = std::max(mNowMs, next->dueMs);
        next->dueMs += next->intervalMs;
        Linux::ITimerHandler* handler = next->handler;
        handler->addRef();
        handler->onTimer();
        handler->release();
        ++mFirings;
    }
    mNowMs = end;
    PollHandlers();
}

void HostRunLoop::PollHandlers()
{
    const auto handlers = mHandlers;
    for (const auto& h : handlers)
    {
        pollfd p{h.fd, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP)) != 0)
        {
            const bool stillRegistered =
                std::any_of(mHandlers.begin(), mHandlers.end(),
                            [&](const HandlerEntry& e) { return e.handler == h.handler; });
            if (stillRegistered)
                h.handler->onFDIsSet(h.fd);
        }
    }
}

HostContext::HostContext(std::string name, bool offerRunLoop)
    : mName(std::move(name)), mOfferRunLoop(offerRunLoop)
{
}

tresult PLUGIN_API HostContext::getName(Vst::String128 name)
{
    CopyToString128(mName, name);
    return kResultTrue;
}

tresult PLUGIN_API HostContext::createInstance(TUID cid, TUID iid, void** obj)
{
    if (!obj)
        return kInvalidArgument;
    *obj = nullptr;
    FUID classId = FUID::fromTUID(cid);
    FUID interfaceId = FUID::fromTUID(iid);
    if (classId == Vst::IMessage::iid && interfaceId == Vst::IMessage::iid)
    {
        *obj = new Vst::HostMessage;
        return kResultTrue;
    }
    if (classId == Vst::IAttributeList::iid && interfaceId == Vst::IAttributeList::iid)
    {
        *obj = new Vst::HostAttributeList;
        return kResultTrue;
    }
    return kResultFalse;
}

tresult PLUGIN_API HostContext::queryInterface(const TUID iid, void** obj)
{
    QUERY_INTERFACE(iid, obj, Vst::IHostApplication::iid, Vst::IHostApplication)
    QUERY_INTERFACE(iid, obj, FUnknown::iid, Vst::IHostApplication)
    if (mOfferRunLoop && FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid))
        return mRunLoop.queryInterface(iid, obj);
    *obj = nullptr;
    return kNoInterface;
}

void CopyToString128(const std::string& text, Vst::String128 out)
{
    size_t o = 0;
    for (size_t i = 0; i < text.size() && o < 127;)
    {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80)
        {
            out[o++] = c;
            i += 1;
        }
        else if ((c & 0xE0) == 0xC0 && i + 1 < text.size())
        {
            out[o++] = static_cast<Vst::TChar>(((c & 0x1F) << 6) |
                                               (static_cast<unsigned char>(text[i + 1]) & 0x3F));
            i += 2;
        }
        else if ((c & 0xF0) == 0xE0 && i + 2 < text.size())
        {
            out[o++] = static_cast<Vst::TChar>(
                ((c & 0x0F) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6) |
                (static_cast<unsigned char>(text[i + 2]) & 0x3F));
            i += 3;
        }
        else
        {
            out[o++] = '?';
            i += 1;
            while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
                ++i;
        }
    }
    out[o] = 0;
}

std::string FromString128(const Vst::TChar* text)
{
    std::string out;
    for (size_t i = 0; text && i < 128 && text[i] != 0; ++i)
    {
        const auto c = static_cast<uint32_t>(text[i]);
        if (c < 0x80)
        {
            out += static_cast<char>(c);
        }
        else if (c < 0x800)
        {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace ostrel::host
