#include "storage/file_work_queue.h"

#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"

#include <algorithm>

namespace ostrel
{

void FileWorkQueue::QueueWrite(std::string fileName, std::string bytes)
{
    std::lock_guard<std::mutex> lock(mMutex);
    auto same = std::find_if(mWrites.begin(), mWrites.end(),
                             [&fileName](const auto& write) { return write.first == fileName; });
    if (same != mWrites.end())
        mWrites.erase(same);
    mWrites.emplace_back(std::move(fileName), std::move(bytes));
}

std::optional<std::string> FileWorkQueue::Queued(const std::string& fileName) const
{
    std::lock_guard<std::mutex> lock(mMutex);
    for (const auto& write : mWrites)
        if (write.first == fileName)
            return write.second;
    return std::nullopt;
}

std::vector<FileWorkQueue::FailedWrite> FileWorkQueue::RunWrites()
{
    std::vector<FailedWrite> failed;
    std::lock_guard<std::mutex> run(mRunMutex);
    for (;;)
    {
        std::pair<std::string, std::string> write;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mWrites.empty())
                return failed;
            write = std::move(mWrites.front());
            mWrites.erase(mWrites.begin());
        }
        WriteFailure failure = CreateDataFolder();
        if (failure == WriteFailure::None)
        {
            const std::string path = UsablePathInDataFolder(write.first);
            failure = path.empty() ? WriteFailure::FolderRefused
                                   : WriteFileAtomically(path, write.second);
        }
        if (failure != WriteFailure::None)
            failed.push_back({std::move(write.first), failure});
    }
}

} // namespace ostrel
