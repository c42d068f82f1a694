#include "link/registry_hub.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "link/shared_segment.h"

namespace ostrel
{
namespace
{

struct Hub
{
    std::mutex mutex;
    RegistryPlace place;
    std::unique_ptr<SegmentAttachment> segment;
    int64_t lastReapMs = 0;
};

// Made before (and so gone after) the exit guard below; at module unload or
// process exit no instance uses it any more.
Hub gHub;

Hub& hub()
{
    return gHub;
}

std::atomic<PeerRegistry*> gSessionRegistry{nullptr};

// Blocks of host sessions whose host process is gone and that no process
// uses any more (a crash or a kill left them) are removed by the next
// process that joins one.
void removeAbandonedBlocks(uint32_t user)
{
    const std::string prefix = "ostrel-" + std::to_string(user) + "-";
    for (const std::string& name : listSharedMemory(prefix))
    {
        long long pid = 0;
        unsigned long long start = 0;
        char tail = 0;
        if (std::sscanf(name.c_str() + prefix.size(), "%lld-%llu%c", &pid, &start, &tail) != 2)
            continue;
        if (!isProcessRunning(static_cast<int32_t>(pid), start))
            removeIfAbandoned(name, isProcessRunning);
    }
}

// A process that ends with instances still open (hosts do) leaves its block.
struct LeaveAtExit
{
    ~LeaveAtExit() { leaveHostSession(); }
} gLeaveAtExit;

} // namespace

PeerRegistry* sessionRegistry()
{
    return gSessionRegistry.load(std::memory_order_acquire);
}

RegistryPlace joinHostSession(const std::string& hostName, CrossProcessLinking mode)
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    if (h.place.decided)
        return h.place;
    h.place.decided = true;
    h.place.mode = mode;
    h.place.processId = thisProcessId();
    SessionView view;
    view.self = currentProcessIdentity();
    view.parentExecutable = processExecutable(view.self.parentPid);
    view.parentStartTime = processStartTime(view.self.parentPid);
    view.hostName = hostName;
    view.user = currentUserId();
    const HostSession session = hostSessionFor(view, mode);
    h.place.hostPid = session.hostPid;
    h.place.inHostProcess = session.inHostProcess;
    if (session.blockName.empty())
        return h.place;
    removeAbandonedBlocks(view.user);
    auto attachment = std::make_unique<SegmentAttachment>();
    if (attachment->attach(session.blockName, view.self, hostName) != SegmentStatus::Attached)
    {
        h.place.why = attachment->why();
        return h.place;
    }
    h.place.shared = true;
    gSessionRegistry.store(attachment->registry(), std::memory_order_release);
    h.segment = std::move(attachment);
    return h.place;
}

RegistryPlace registryPlace()
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    return h.place;
}

void reapHostSession(int64_t nowMs)
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    if (!h.segment || nowMs - h.lastReapMs < 1000)
        return;
    h.lastReapMs = nowMs;
    reapGoneProcesses(*h.segment->segment(), isProcessRunning);
}

void leaveHostSession()
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    if (!h.segment)
        return;
    gSessionRegistry.store(nullptr, std::memory_order_release);
    h.segment->detach();
    h.segment.reset();
    h.place = RegistryPlace{};
}

int32_t slotProcessId(const PeerSlot& slot)
{
    return slot.ownerPid.load(std::memory_order_relaxed);
}

} // namespace ostrel
