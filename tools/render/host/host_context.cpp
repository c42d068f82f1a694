#include "tools/render/host/host_context.h"

#include "public.sdk/source/vst/hosting/hostclasses.h"

using namespace Steinberg;

namespace ostrel::host
{

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
    if (mOfferRunLoop && mRunLoop.Offer(iid, obj) == kResultOk)
        return kResultOk;
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
