// ostrel::InstanceFiles: the instance's file work, done outside its lock.
// Under the lock it only queues writes and asks for reads; outside it the
// writes are done (the failures kept for the page, the latest of each file)
// and the files a page refresh shows are read. Each refresh asks anew: a
// read made for an earlier one (before a page load, say, and before the
// user's answer to the first-run guide) is not shown to a later page, nor is
// one begun before a write of a file it shows.
#pragma once

#include "storage/file_work_queue.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ostrel
{

class InstanceFiles
{
public:
    // What a page refresh shows of the files.
    struct PageFiles
    {
        std::string presets;
        size_t onboardedLength = 0;
        uint64_t presetsGeneration = 0; // of the presets file as read
        uint64_t request = 0;           // the request it was read for
        uint64_t writesBefore = 0;      // page-file writes queued before the read
        bool folderRefused = false;     // the data folder is not used at all
    };

    // ---- Under the instance's lock ----
    // A whole-file write, done at the next file work; it replaces a write of
    // the same file not yet done.
    void QueueWrite(std::string fileName, std::string bytes);
    // What a read of `fileName` must see before its queued write is done.
    std::optional<std::string> Queued(const std::string& fileName) const
    {
        return mWrites.Queued(fileName);
    }
    // A refresh needs the files: they are read for it at the next file work.
    void WantPageFiles();
    // The files read for the latest request, unless read before the presets
    // file's generation `presetsSeen`; none (or out of date): they are read
    // again at the next file work.
    std::optional<PageFiles> TakePageFiles(uint64_t presetsSeen);
    // The writes that failed since the last call, the latest of each file.
    std::vector<FileWorkQueue::FailedWrite> TakeFailedWrites();

    // ---- Outside the lock ----
    // Does the queued writes.
    void RunWrites();
    // Reads the page's files with `read` when a refresh asked for them.
    void ReadPageFilesIfWanted(const std::function<PageFiles()>& read);
    // Reads them with `read` at the next call even if nobody asked: what the
    // timer thread does when it runs between the two requests of a page load.
    void WantPageFilesAgain() { mPageFilesWanted = true; }

private:
    FileWorkQueue mWrites;
    std::atomic<bool> mPageFilesWanted{false};
    std::atomic<uint64_t> mPageFilesRequest{0};
    // Writes of the files a refresh shows, queued so far: a read begun before
    // one of them may have missed it once it is done.
    std::atomic<uint64_t> mPageFileWrites{0};
    std::mutex mMutex; // the two below
    std::optional<PageFiles> mPageFiles;
    std::vector<FileWorkQueue::FailedWrite> mFailedWrites;
};

} // namespace ostrel
