#include "plugin/instance_files.h"

#include "storage/user_files.h"

#include <algorithm>

namespace ostrel
{

void InstanceFiles::QueueWrite(std::string fileName, std::string bytes)
{
    if (fileName == kPresetsFileName || fileName == kOnboardedFileName)
        mPageFileWrites.fetch_add(1);
    mWrites.QueueWrite(std::move(fileName), std::move(bytes));
}

void InstanceFiles::WantPageFiles()
{
    mPageFilesRequest.fetch_add(1);
    mPageFilesWanted = true;
}

std::optional<InstanceFiles::PageFiles> InstanceFiles::TakePageFiles(uint64_t presetsSeen)
{
    std::optional<PageFiles> files;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        files.swap(mPageFiles);
    }
    // Files read before the latest presets write, for an earlier refresh,
    // or before a write of one of them was queued are out of date: once that
    // write is done, nothing else says the read missed it.
    if (files &&
        (files->presetsGeneration < presetsSeen || files->request < mPageFilesRequest.load() ||
         files->writesBefore < mPageFileWrites.load()))
        files.reset();
    if (!files)
        mPageFilesWanted = true;
    return files;
}

std::vector<FileWorkQueue::FailedWrite> InstanceFiles::TakeFailedWrites()
{
    std::vector<FileWorkQueue::FailedWrite> failed;
    std::lock_guard<std::mutex> lock(mMutex);
    failed.swap(mFailedWrites);
    return failed;
}

void InstanceFiles::RunWrites()
{
    std::vector<FileWorkQueue::FailedWrite> failed = mWrites.RunWrites();
    if (failed.empty())
        return;
    std::lock_guard<std::mutex> lock(mMutex);
    for (FileWorkQueue::FailedWrite& write : failed)
    {
        // The latest failure of each file is the one that counts.
        std::erase_if(mFailedWrites, [&write](const FileWorkQueue::FailedWrite& kept)
                      { return kept.fileName == write.fileName; });
        mFailedWrites.push_back(std::move(write));
    }
}

void InstanceFiles::ReadPageFilesIfWanted(const std::function<PageFiles()>& read)
{
    if (!mPageFilesWanted.exchange(false))
        return;
    // The request before the read: one made while it reads asks for another.
    const uint64_t request = mPageFilesRequest.load();
    const uint64_t writesBefore = mPageFileWrites.load();
    PageFiles files = read();
    files.request = request;
    files.writesBefore = writesBefore;
    std::lock_guard<std::mutex> lock(mMutex);
    mPageFiles = std::move(files);
}

} // namespace ostrel
