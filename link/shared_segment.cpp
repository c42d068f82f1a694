#include "link/shared_segment.h"

#include <chrono>
#include <new>
#include <thread>

namespace ostrel
{
namespace
{

constexpr uint32_t kRemoving = 0x80000000u;
constexpr uint32_t kFree = 0;
constexpr uint32_t kClaimed = 1;
constexpr uint32_t kEntered = 2;

// Every atomic in the block must work between processes: only lock-free ones
// do (a lock inside the library would be this process's alone).
static_assert(std::atomic<uint64_t>::is_always_lock_free);
static_assert(std::atomic<int64_t>::is_always_lock_free);
static_assert(std::atomic<uint32_t>::is_always_lock_free);
static_assert(std::atomic<int32_t>::is_always_lock_free);
static_assert(std::atomic<uint8_t>::is_always_lock_free);
static_assert(std::atomic<char>::is_always_lock_free);
static_assert(std::atomic<float>::is_always_lock_free);
static_assert(sizeof(SharedSegment) < 0xFFFFFFFFu);

void storeName(std::atomic<char> (&field)[kSegmentNameBytes], const std::string& text)
{
    for (int i = 0; i < kSegmentNameBytes; ++i)
        field[i].store(i < kSegmentNameBytes - 1 && static_cast<size_t>(i) < text.size()
                           ? text[static_cast<size_t>(i)]
                           : '\0',
                       std::memory_order_relaxed);
}

void loadName(const std::atomic<char> (&field)[kSegmentNameBytes], char (&out)[kSegmentNameBytes])
{
    for (int i = 0; i < kSegmentNameBytes; ++i)
        out[i] = field[i].load(std::memory_order_relaxed);
    out[kSegmentNameBytes - 1] = '\0';
}

// Joins the block's users unless its last user has already left.
bool join(SegmentHeader& header)
{
    uint32_t users = header.users.load(std::memory_order_acquire);
    for (;;)
    {
        if ((users & kRemoving) != 0 || users >= static_cast<uint32_t>(kSegmentProcessCount))
            return false;
        if (header.users.compare_exchange_weak(users, users + 1, std::memory_order_acq_rel))
            return true;
    }
}

// Takes one user away; true when it was the last (the block is then marked
// as being removed, so that nobody joins it any more).
bool leave(SegmentHeader& header)
{
    uint32_t users = header.users.load(std::memory_order_acquire);
    for (;;)
    {
        if ((users & ~kRemoving) == 0)
            return false;
        const uint32_t next = users - 1 == 0 ? kRemoving : users - 1;
        if (header.users.compare_exchange_weak(users, next, std::memory_order_acq_rel))
            return next == kRemoving;
    }
}

} // namespace

SegmentProcess::SegmentProcess()
{
    for (int i = 0; i < kSegmentNameBytes; ++i)
    {
        executable[i].store('\0', std::memory_order_relaxed);
        hostName[i].store('\0', std::memory_order_relaxed);
    }
}

bool segmentHeaderIsValid(const SegmentHeader& header)
{
    return header.magic.load(std::memory_order_acquire) == kSegmentMagic &&
           header.version.load(std::memory_order_relaxed) == kSegmentLayoutVersion &&
           header.size.load(std::memory_order_relaxed) == sizeof(SharedSegment);
}

SegmentAttachment::~SegmentAttachment()
{
    detach();
}

SegmentStatus SegmentAttachment::attach(const std::string& name, const ProcessIdentity& me,
                                        const std::string& hostName)
{
    detach();
    // A block whose last user is leaving is removed at once: open again and
    // get a new one.
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        const SharedMemoryOpen opened =
            openSharedMemory(name, sizeof(SharedSegment), mMapping, mWhy);
        if (opened == SharedMemoryOpen::Refused)
            return SegmentStatus::Unusable;
        if (opened == SharedMemoryOpen::Failed)
            return SegmentStatus::Failed;
        auto* segment = static_cast<SharedSegment*>(mMapping.base);
        if (opened == SharedMemoryOpen::Created)
        {
            segment = new (mMapping.base) SharedSegment();
            segment->header.version.store(kSegmentLayoutVersion, std::memory_order_relaxed);
            segment->header.size.store(static_cast<uint32_t>(sizeof(SharedSegment)),
                                       std::memory_order_relaxed);
            segment->header.magic.store(kSegmentMagic, std::memory_order_release);
        }
        else
        {
            // Its maker writes the magic last; give it a moment.
            for (int i = 0; i < 250 && segment->header.magic.load(std::memory_order_acquire) == 0;
                 ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (!segmentHeaderIsValid(segment->header))
            {
                mWhy = "the shared registry has another layout (another version of the plug-in?)";
                closeSharedMemory(mMapping);
                return SegmentStatus::Unusable;
            }
        }
        if (!join(segment->header))
        {
            closeSharedMemory(mMapping);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        for (int i = 0; i < kSegmentProcessCount; ++i)
        {
            SegmentProcess& entry = segment->header.processes[i];
            uint32_t expected = kFree;
            if (!entry.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel))
                continue;
            entry.pid.store(me.pid, std::memory_order_relaxed);
            entry.parentPid.store(me.parentPid, std::memory_order_relaxed);
            entry.startTime.store(me.startTime, std::memory_order_relaxed);
            storeName(entry.executable, me.executable);
            storeName(entry.hostName, hostName);
            entry.state.store(kEntered, std::memory_order_release);
            mProcessIndex = i;
            break;
        }
        mSegment = segment;
        mName = name;
        if (mProcessIndex < 0)
        {
            mWhy = "the shared registry has no room for another process";
            detach();
            return SegmentStatus::Failed;
        }
        return SegmentStatus::Attached;
    }
    mWhy = "the shared registry kept going away";
    return SegmentStatus::Failed;
}

void SegmentAttachment::detach()
{
    if (mSegment == nullptr)
        return;
    SegmentHeader& header = mSegment->header;
    if (mProcessIndex >= 0)
    {
        uint32_t expected = kEntered;
        // Another process may have found this one gone (and taken its share
        // of the users already).
        if (header.processes[mProcessIndex].state.compare_exchange_strong(
                expected, kFree, std::memory_order_acq_rel) &&
            leave(header))
            removeSharedMemory(mName);
    }
    else if (leave(header))
    {
        removeSharedMemory(mName);
    }
    closeSharedMemory(mMapping);
    mSegment = nullptr;
    mProcessIndex = -1;
    mName.clear();
}

int reapGoneProcesses(SharedSegment& segment, bool (*isRunning)(int32_t pid, uint64_t startTime))
{
    int freed = 0;
    for (SegmentProcess& entry : segment.header.processes)
    {
        if (entry.state.load(std::memory_order_acquire) != kEntered)
            continue;
        if (isRunning(entry.pid.load(std::memory_order_relaxed),
                      entry.startTime.load(std::memory_order_relaxed)))
            continue;
        const int32_t pid = entry.pid.load(std::memory_order_relaxed);
        uint32_t expected = kEntered;
        if (!entry.state.compare_exchange_strong(expected, kFree, std::memory_order_acq_rel))
            continue;
        leave(segment.header);
        ++freed;
        // Its instances are gone with it: their slots are free at once, not
        // only once their heartbeats are stale.
        for (PeerSlot& slot : segment.registry.slots)
        {
            uint32_t owner = slot.ownerId.load(std::memory_order_acquire);
            if (owner == 0 || slot.ownerPid.load(std::memory_order_relaxed) != pid)
                continue;
            if (slot.ownerId.compare_exchange_strong(owner, 0, std::memory_order_acq_rel))
            {
                slot.role.store(0, std::memory_order_relaxed);
                slot.holderCount.fetch_sub(1, std::memory_order_acq_rel);
            }
        }
    }
    return freed;
}

bool removeIfAbandoned(const std::string& name, bool (*isRunning)(int32_t pid, uint64_t startTime))
{
    SharedMemoryMapping mapping;
    std::string why;
    if (openSharedMemory(name, sizeof(SharedSegment), mapping, why, false) !=
        SharedMemoryOpen::Opened)
        return false; // gone already, or not ours to judge
    auto* segment = static_cast<SharedSegment*>(mapping.base);
    bool removed = false;
    if (segmentHeaderIsValid(segment->header))
    {
        reapGoneProcesses(*segment, isRunning);
        // Reaping the last user marks the block as being removed already.
        uint32_t idle = 0;
        if (segment->header.users.compare_exchange_strong(idle, kRemoving,
                                                          std::memory_order_acq_rel) ||
            idle == kRemoving)
        {
            removeSharedMemory(name);
            removed = true;
        }
    }
    closeSharedMemory(mapping);
    return removed;
}

bool readSegmentProcess(const SharedSegment& segment, int index, SegmentProcessInfo& out)
{
    if (index < 0 || index >= kSegmentProcessCount)
        return false;
    const SegmentProcess& entry = segment.header.processes[index];
    if (entry.state.load(std::memory_order_acquire) != kEntered)
        return false;
    out.pid = entry.pid.load(std::memory_order_relaxed);
    out.parentPid = entry.parentPid.load(std::memory_order_relaxed);
    out.startTime = entry.startTime.load(std::memory_order_relaxed);
    loadName(entry.executable, out.executable);
    loadName(entry.hostName, out.hostName);
    return true;
}

} // namespace ostrel
