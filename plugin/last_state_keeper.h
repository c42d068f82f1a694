// ostrel::LastStateKeeper: the bookkeeping of the user's last settings
// file. It is saved from the user's own edits in an editor (never from host
// restores, automation or its own restore), at most every 20 ticks; it is
// read outside the instance's lock and applied once, at the first tick, to
// an instance that neither its host nor its user has set since it was made.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace ostrel
{

class LastStateKeeper
{
public:
    // The file is written at most every 20 ticks (400 ms).
    static constexpr int32_t kSavePeriodTicks = 20;

    // ---- Saving ----
    // An edit made in an editor: the new last settings, unless it is the
    // restore's own.
    void NoteEditorEdit()
    {
        if (!mRestoring)
            mDirty = true;
    }
    bool Dirty() const { return mDirty; }
    // The settings as they stand count as saved.
    void MarkSaved() { mDirty = false; }
    // Once per tick: true when the settings are to be written now.
    bool SaveDue();

    // ---- Restoring (main thread, under the instance's lock) ----
    // The host restored a state: that is what the instance is to sound like.
    void NoteHostRestore() { mHostRestored = true; }
    bool HostRestored() const { return mHostRestored; }
    bool RestoreTried() const { return mRestoreTried; }
    void RestoreDone() { mRestoreTried = true; }
    // The file's text as read outside the lock; none yet: it is asked for,
    // for the next tick.
    std::optional<std::string> TakeText();
    // While the restore applies the file's values: they are not a new edit.
    class Restoring
    {
    public:
        explicit Restoring(LastStateKeeper& keeper) : mKeeper(keeper) { mKeeper.mRestoring = true; }
        ~Restoring() { mKeeper.mRestoring = false; }
        Restoring(const Restoring&) = delete;
        Restoring& operator=(const Restoring&) = delete;

    private:
        LastStateKeeper& mKeeper;
    };

    // ---- Outside the lock ----
    // Reads the file with `read` when a restore asked for it.
    void ReadIfWanted(const std::function<std::string()>& read);

private:
    std::atomic<bool> mDirty{false};
    std::atomic<bool> mRestoring{false};
    int32_t mSaveTicks = 0;
    bool mHostRestored = false;
    bool mRestoreTried = false;
    std::atomic<bool> mWanted{true};
    std::mutex mTextMutex;
    std::optional<std::string> mText; // read outside the lock
};

} // namespace ostrel
