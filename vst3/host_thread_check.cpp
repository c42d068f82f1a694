#include "vst3/host_thread_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plugfw
{

HostThreadCheck::HostThreadCheck(std::function<bool()> onPrivateThread)
    : mEnabled(Requested()), mOnPrivateThread(std::move(onPrivateThread))
{
}

bool HostThreadCheck::Requested()
{
    static const bool requested = []
    {
        const char* value = std::getenv("OSTREL_CHECK_HOST_THREADS");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return requested;
}

void HostThreadCheck::Fail(const char* entry, const char* rule)
{
    std::fprintf(stderr, "host thread check: %s %s\n", entry, rule);
    std::fflush(stderr);
    std::abort();
}

void HostThreadCheck::Expect(HostThread expected, const char* entry) const
{
    if (!mEnabled)
        return;
    if (mOnPrivateThread && mOnPrivateThread())
        Fail(entry, "called on the plug-in's private timer thread");
    const std::thread::id self = std::this_thread::get_id();
    const std::thread::id processing = mProcessing.load();
    switch (expected)
    {
    case HostThread::Main:
        if (self != mMainThread)
            Fail(entry, "called off the host's main thread");
        if (processing == self)
            Fail(entry, "called from inside process");
        break;
    case HostThread::Setup:
        if (processing != std::thread::id{})
            Fail(entry, "called while a block is processed");
        break;
    case HostThread::Audio:
    case HostThread::Any:
        break;
    }
}

void HostThreadCheck::ExpectLocked(const char* what) const
{
    if (mEnabled && mHolder.load() != std::this_thread::get_id())
        Fail(what, "ran without the instance's lock");
}

HostThreadCheck::Lock::Lock(HostThreadCheck& check, bool alreadyLocked)
    : mCheck(check), mAdopted(alreadyLocked)
{
    if (!mAdopted)
        mCheck.mMutex.lock();
    if (mCheck.mDepth++ == 0)
        mCheck.mHolder.store(std::this_thread::get_id());
}

HostThreadCheck::Lock::~Lock()
{
    if (--mCheck.mDepth == 0)
        mCheck.mHolder.store(std::thread::id{});
    if (!mAdopted)
        mCheck.mMutex.unlock();
}

HostThreadCheck::ProcessScope::ProcessScope(HostThreadCheck& check) : mCheck(check)
{
    if (!mCheck.mEnabled)
        return;
    if (mCheck.mOnPrivateThread && mCheck.mOnPrivateThread())
        Fail("process", "called on the plug-in's private timer thread");
    std::thread::id none{};
    if (!mCheck.mProcessing.compare_exchange_strong(none, std::this_thread::get_id()))
        Fail("process", "called while another block of the instance is processed");
}

HostThreadCheck::ProcessScope::~ProcessScope()
{
    if (mCheck.mEnabled)
        mCheck.mProcessing.store(std::thread::id{});
}

} // namespace plugfw
