// plugfw::HostThreadCheck: which host thread each VST 3 entry point may come
// on, and the instance's one lock over its main-thread work.
//
// The checks abort only where the process asked for them (the test
// programs set OSTREL_CHECK_HOST_THREADS=1 before loading the bundle); in a
// host they cost a flag test and never stop the session. They encode what
// the VST 3 threading rules allow, no more:
// - Main: the host's main (UI) thread, the thread that created the
//   instance; never from inside this instance's own `process`.
// - Setup: the main thread or, as several hosts do, the audio thread
//   between blocks; never while a block of this instance is processed.
// - Audio: `process`, on any host thread, but one block at a time.
// - Any: queries and calls hosts make from any of their threads.
// No host entry point ever comes on the private timer thread: the host
// does not know that thread, so a call there means the plug-in called
// itself on the wrong thread.
//
// The lock is recursive only because a host may call back into the plug-in
// from inside a call the plug-in makes to it (a restart, a resize, an
// edit); the plug-in's own code takes it once per entry, and what needs a
// caller to hold it says so with ExpectLocked.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace plugfw
{

enum class HostThread
{
    Main,
    Setup,
    Audio,
    Any,
};

class HostThreadCheck
{
public:
    // `onPrivateThread` tells whether the caller is the private timer's thread.
    explicit HostThreadCheck(std::function<bool()> onPrivateThread);

    HostThreadCheck(const HostThreadCheck&) = delete;
    HostThreadCheck& operator=(const HostThreadCheck&) = delete;

    // Whether this process asked for the checks (read once).
    static bool Requested();
    bool Enabled() const { return mEnabled; }

    // Holds the lock for one host entry (or one tick), noting the holder.
    class Lock
    {
    public:
        Lock(HostThreadCheck& check, bool alreadyLocked);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        HostThreadCheck& mCheck;
        const bool mAdopted;
    };

    // A host entry point other than `process`: checks the thread.
    void Expect(HostThread expected, const char* entry) const;
    // The same, then the lock, once for the whole entry.
    [[nodiscard]] Lock Enter(HostThread expected, const char* entry)
    {
        Expect(expected, entry);
        return Lock(*this, false);
    }
    // For the idle timer, whose tick already holds the mutex.
    [[nodiscard]] Lock AdoptTimerLock() { return Lock(*this, true); }
    // Work that relies on its caller holding the lock.
    void ExpectLocked(const char* what) const;

    // Marks the calling thread as inside `process` for its lifetime.
    class ProcessScope
    {
    public:
        explicit ProcessScope(HostThreadCheck& check);
        ~ProcessScope();
        ProcessScope(const ProcessScope&) = delete;
        ProcessScope& operator=(const ProcessScope&) = delete;

    private:
        HostThreadCheck& mCheck;
    };

    // The mutex itself, for the idle timer (which takes it around its ticks).
    std::recursive_mutex& Mutex() { return mMutex; }

private:
    [[noreturn]] static void Fail(const char* entry, const char* rule);

    const bool mEnabled;
    const std::thread::id mMainThread = std::this_thread::get_id();
    const std::function<bool()> mOnPrivateThread;
    std::recursive_mutex mMutex;
    std::atomic<std::thread::id> mHolder{};
    int mDepth = 0; // under mMutex
    std::atomic<std::thread::id> mProcessing{};
};

} // namespace plugfw
