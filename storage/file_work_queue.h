// Writes of the per-user files handed from the instance's locked main-thread
// work (idle tick, page messages) to the same thread outside that lock. Host
// calls that some hosts make on their audio thread take the lock, and a
// write waits for the disk: so the lock only ever sees the copy.
#pragma once

#include "storage/write_failure.h"

#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrel
{

class FileWorkQueue
{
public:
    struct FailedWrite
    {
        std::string fileName;
        WriteFailure failure = WriteFailure::None;
    };

    // A whole-file write of `fileName` in the data folder; it replaces a
    // write of the same file not yet done. Cheap: only copies.
    void QueueWrite(std::string fileName, std::string bytes);
    // The bytes of the write queued for `fileName`, if any: what a read of
    // the file must see before the write has happened.
    std::optional<std::string> Queued(const std::string& fileName) const;
    // Does the queued writes, oldest first: creates the data folder, then
    // works out where the file goes (a folder may only be judged once it
    // exists) and replaces it. Returns the writes that failed, with why.
    // Never call with the instance's lock held.
    std::vector<FailedWrite> RunWrites();

private:
    mutable std::mutex mMutex; // the list only, never held over a write
    std::vector<std::pair<std::string, std::string>> mWrites;
    std::mutex mRunMutex; // keeps two runs from reordering writes of one file
};

} // namespace ostrel
