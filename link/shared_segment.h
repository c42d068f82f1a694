// The peer registry in memory that several processes share: a header that
// says what the block holds (magic, layout version, size), the processes
// attached to it, then the registry itself. The lock-free protocol of the
// registry is the same whether it lives here or in one process; what this
// adds is the block's life: made by the first process, removed when the
// last one leaves (or is found gone), never used when it is not what this
// build expects.
//
// Another process of the same user may write anything into the block: what
// is read from the header is checked before use. Attaching and leaving make
// system calls: never on the audio thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "link/peer_registry.h"
#include "link/process_identity.h"
#include "link/shared_memory.h"

namespace ostrel
{

inline constexpr uint64_t kSegmentMagic = 0x314B4E4C5254534FULL; // "OSTRLNK1"
inline constexpr uint32_t kSegmentLayoutVersion = 1;
inline constexpr int kSegmentProcessCount = 64;
inline constexpr int kSegmentNameBytes = 32;

// One attached process; `state` moves free -> claimed -> attached -> free.
struct SegmentProcess
{
    std::atomic<uint32_t> state{0};
    std::atomic<int32_t> pid{0};
    std::atomic<int32_t> parentPid{0};
    std::atomic<uint64_t> startTime{0};
    std::atomic<char> executable[kSegmentNameBytes];
    std::atomic<char> hostName[kSegmentNameBytes];

    SegmentProcess();
};

struct SegmentHeader
{
    std::atomic<uint64_t> magic{0}; // written last by the creator
    std::atomic<uint32_t> version{0};
    std::atomic<uint32_t> size{0};
    // Attached processes; the top bit once the last one has left and the
    // block is being removed (nobody may join it then).
    std::atomic<uint32_t> users{0};
    SegmentProcess processes[kSegmentProcessCount];
};

struct SharedSegment
{
    SegmentHeader header;
    PeerRegistry registry;
};

enum class SegmentStatus
{
    Attached,
    Unusable, // exists, but another layout, size or owner: use the process's own registry
    Failed,   // could not be made or opened
};

// A process's hold on a segment.
class SegmentAttachment
{
public:
    SegmentAttachment() = default;
    ~SegmentAttachment();
    SegmentAttachment(const SegmentAttachment&) = delete;
    SegmentAttachment& operator=(const SegmentAttachment&) = delete;

    // Makes or opens the segment `name` and enters this process into it.
    SegmentStatus attach(const std::string& name, const ProcessIdentity& me,
                         const std::string& hostName);
    // Leaves; the last process to leave removes the segment.
    void detach();

    bool attached() const { return mSegment != nullptr; }
    PeerRegistry* registry() const { return mSegment ? &mSegment->registry : nullptr; }
    SharedSegment* segment() const { return mSegment; }
    int processIndex() const { return mProcessIndex; }
    const std::string& why() const { return mWhy; }

private:
    SharedMemoryMapping mMapping;
    SharedSegment* mSegment = nullptr;
    std::string mName;
    int mProcessIndex = -1;
    std::string mWhy;
};

// Whether a block's header describes the segment this build makes.
bool segmentHeaderIsValid(const SegmentHeader& header);

// Frees the entries of processes that no longer run (`isRunning` is asked
// for each attached one) and takes their share of the user count. Returns
// how many were freed.
int reapGoneProcesses(SharedSegment& segment, bool (*isRunning)(int32_t pid, uint64_t startTime));

// Removes the block `name` when no process that entered it still runs (a
// host that crashed or was killed leaves it behind). Returns whether it did.
bool removeIfAbandoned(const std::string& name, bool (*isRunning)(int32_t pid, uint64_t startTime));

// Reads an attached process's entry; false for a free, unfinished or
// out-of-range one. Names are always zero-terminated.
struct SegmentProcessInfo
{
    int32_t pid = 0;
    int32_t parentPid = 0;
    uint64_t startTime = 0;
    char executable[kSegmentNameBytes] = {};
    char hostName[kSegmentNameBytes] = {};
};
bool readSegmentProcess(const SharedSegment& segment, int index, SegmentProcessInfo& out);

} // namespace ostrel
