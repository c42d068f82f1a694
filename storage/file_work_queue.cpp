#include "storage/file_work_queue.h"

#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"

#include <algorithm>

namespace ostrel
{

void FileWorkQueue::QueueWrite(std::string path, std::string bytes)
{
    std::lock_guard<std::mutex> lock(mMutex);
    auto same = std::find_if(mWrites.begin(), mWrites.end(),
                             [&path](const auto& write) { return write.first == path; });
    if (same != mWrites.end())
        mWrites.erase(same);
    mWrites.emplace_back(std::move(path), std::move(bytes));
}

std::optional<std::string> FileWorkQueue::Queued(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(mMutex);
    for (const auto& write : mWrites)
        if (write.first == path)
            return write.second;
    return std::nullopt;
}

void FileWorkQueue::RunWrites()
{
    std::lock_guard<std::mutex> run(mRunMutex);
    for (;;)
    {
        std::pair<std::string, std::string> write;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mWrites.empty())
                return;
            write = std::move(mWrites.front());
            mWrites.erase(mWrites.begin());
        }
        CreateDataFolder();
        WriteFileAtomically(write.first, write.second);
    }
}

} // namespace ostrel
