// The idle driver: the plug-in object's work at every 20 ms timer tick on the
// main thread, editor open or not. Gestures the page left open, the
// instance's registry duties, the last-state file and feeding the page.
#include "plugin/ostrel.h"
#include "plugin/presets_generation.h"

#include "editor_messages/matrix_report.h"
#include "editor_messages/peer_list.h"
#include "editor_messages/product_message_tags.h"
#include "editor_messages/stored_file_messages.h"
#include "framework/iparam.h"
#include "framework/page_script.h"
#include "link/link_matrix.h"
#include "link/monotonic_clock.h"
#include "link/registry_hub.h"
#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"
#include "storage/user_files.h"

#include <algorithm>
#include <array>

namespace ostrel
{

namespace
{

constexpr auto kRelaxed = std::memory_order_relaxed;

// The track name is refreshed, and the peer list and matrix sent, every 8th tick.
constexpr int32_t kSlowTickPeriod = 8;

} // namespace

void Ostrel::SendTextToPage(int msgTag, const std::string& text)
{
    SendArbitraryMsgToPage(msgTag, static_cast<int>(text.size()), text.data());
}

void Ostrel::SetParamFromPeer(int paramIdx, double plainValue, RequestGesture gesture)
{
    plugfw::IParam* param = GetParam(paramIdx);
    if (param == nullptr)
        return;
    const double normalised = param->ToNormalised(plainValue);
    if (gestures.Held(GestureHolder::Page, paramIdx))
    {
        // The user is dragging that control: stay inside their gesture.
        SetParamFromEditor(paramIdx, normalised);
    }
    else if (gesture == RequestGesture::Held)
    {
        if (!gestures.Held(GestureHolder::Peer, paramIdx))
            BeginHostEdit(paramIdx);
        gestures.Open(GestureHolder::Peer, paramIdx);
        SetParamFromEditor(paramIdx, normalised);
    }
    else if (gestures.Held(GestureHolder::Peer, paramIdx))
    {
        SetParamFromEditor(paramIdx, normalised);
        if (gesture == RequestGesture::Ended)
        {
            gestures.Close(GestureHolder::Peer, paramIdx);
            ReleaseHostGesture(paramIdx);
        }
        else
        {
            gestures.Touch(GestureHolder::Peer, paramIdx);
        }
    }
    else
    {
        // A request on its own, or the end of a drag whose start this
        // instance never saw: a complete edit.
        BeginHostEdit(paramIdx);
        SetParamFromEditor(paramIdx, normalised);
        EndHostEdit(paramIdx);
    }
    SendParamValueToPage(paramIdx, normalised, true);
}

void Ostrel::ReleaseHostGesture(int paramIdx)
{
    if (!gestures.HeldByAnyone(paramIdx))
        EndHostEdit(paramIdx);
}

void Ostrel::IdleTick()
{
    PeerRegistry& registry = sharedRegistry();
    PeerLink& link = engine.link;

    // The user's last settings, for an instance nobody has set yet.
    RestoreLastStateOnce();

    // 1. Gestures the page, or a drag in some editor's matrix, opened and
    // never closed.
    gestures.Tick([this](int i) { ReleaseHostGesture(i); });

    // 2. Heartbeat of the held slot, for when audio stops (while it runs,
    // the audio thread keeps it fresh; the dips never wait for this thread).
    heartbeat(registry, link);
    reapHostSession(monotonicMs());

    // 3. Audio stopped: attach from here so role and channel changes still
    // take effect. Runs only while the block counter stands still, so it
    // never overlaps the audio thread's own attach.
    const int32_t blockCounter = link.blockCounter.load(std::memory_order_acquire);
    NoteAudioProgress(blockCounter);
    if (blockCounterSeen && blockCounter == lastBlockCounter)
    {
        const SettingsSnapshot s = engine.settings.snapshot();
        attach(registry, link, s.role, s.channelIndex, s.bypass != 0, s.sidechainOn != 0);
    }
    blockCounterSeen = true;
    lastBlockCounter = blockCounter;

    // 4. A Masker publishes its Depth for the matrix.
    if (engine.settings.role.load(kRelaxed) == kRoleMasker)
        publishDepthPercent(registry, link, static_cast<float>(GetParam(kParamDepth)->Value()));

    // A slot newly claimed (here or by the audio thread): what was requested
    // of its earlier holders is not for this one, and the claim emptied the
    // slot's name, so this holder's own goes out at once.
    if (adoptRequestsOfNewClaim(link, seenClaimCount, lastDepthRequestSeq, lastPriorityRequestSeq))
    {
        if (cachedTrackName.empty())
            TrackName(cachedTrackName);
        PublishTrackName();
    }

    // 5, 6. Requests that another editor left in the slot.
    float depthRequest = 0.0f;
    RequestGesture depthGesture = RequestGesture::Single;
    if (takeDepthRequest(registry, link, lastDepthRequestSeq, depthRequest, &seenClaimCount,
                         &depthGesture))
        SetParamFromPeer(kParamDepth, depthRequest, depthGesture);
    int32_t priorityRequest = 0;
    if (takePriorityRequest(registry, link, lastPriorityRequestSeq, priorityRequest,
                            &seenClaimCount))
        SetParamFromPeer(kParamPriority, priorityRequest);

    // 7. Track name.
    if (++nameTicks % kSlowTickPeriod == 0)
    {
        if (cachedTrackName.empty())
            TrackName(cachedTrackName);
        if (!cachedTrackName.empty())
            publishName(registry, link, cachedTrackName.c_str());
    }

    // 8. Everything below feeds the page.
    if (!editorOpen)
        return;

    // 9. Full refresh after a page load or a processing reset, once the
    // files it shows have been read outside the lock (else at the next tick).
    // A presets write by any instance of the process sends this page the
    // collection as it now stands, so no page saves over another's preset.
    const uint64_t presetsGeneration = presetsFileGeneration();
    if (presetsGeneration != presetsSeen)
    {
        presetsSeen = presetsGeneration;
        presetsRefreshPending = true;
    }
    if (refreshPending || presetsRefreshPending)
    {
        std::optional<PageFiles> files = TakePageFiles();
        // Files read before the latest presets write, or for an earlier
        // refresh, are out of date.
        if (files &&
            (files->presetsGeneration < presetsSeen || files->request < pageFilesRequest.load()))
            files.reset();
        if (files)
        {
            if (refreshPending)
                RefreshPage(*files);
            else
                SendPresetsToPage(*files);
            refreshPending = false;
            presetsRefreshPending = false;
        }
        else
        {
            pageFilesWanted = true;
        }
    }

    // The settings slot and preset shown in the page's header, when they
    // changed (after the refresh, which brings the presets they name).
    if (!refreshPending)
        SendSettingsToPage();

    // 10. Last state, at most once per 20 ticks; written outside the lock.
    if (lastState.SaveDue())
    {
        std::array<double, kNumParams> values{};
        for (int i = 0; i < kNumParams; ++i)
            values[static_cast<size_t>(i)] = GetParam(i)->Normalised();
        fileWork.QueueWrite(kLastStateFileName, BuildLastStateText(values));
    }

    // Writes that failed since the last tick, and why.
    SendFileErrorsToPage();

    // 11. Meters (plugin/ostrel_meters.cpp).
    SendMetersToPage();

    // 12. Peer list and matrix every 8th tick.
    if (++peerListTicks % kSlowTickPeriod == 0)
    {
        SendChangedTextToPage(kTagSources, BuildPeerList(registry), PageOutbox::Report::Sources);
        const RegistryPlace place = registryPlace();
        SendChangedTextToPage(
            kTagMatrix, BuildMatrixReport(registry, link, mHostSessionJoined ? &place : nullptr),
            PageOutbox::Report::Matrix);
    }
}

void Ostrel::TrackInfoChanged()
{
    // A rename reaches the other instances' matrices now, not at the next
    // slow tick.
    TrackName(cachedTrackName);
    PublishTrackName();
}

void Ostrel::PublishTrackName()
{
    if (cachedTrackName.empty())
        clearName(sharedRegistry(), engine.link);
    else
        publishName(sharedRegistry(), engine.link, cachedTrackName.c_str());
}

void Ostrel::IdleFileWork()
{
    const bool presetsQueued = fileWork.Queued(kPresetsFileName).has_value();
    std::vector<FileWorkQueue::FailedWrite> failed = fileWork.RunWrites();
    // A failed presets write too: every page then gets the presets as they
    // really stand.
    if (presetsQueued)
        notePresetsFileWritten();
    if (!failed.empty())
    {
        std::lock_guard<std::mutex> lock(mPageFilesMutex);
        for (FileWorkQueue::FailedWrite& write : failed)
        {
            // The latest failure of each file is the one that counts.
            std::erase_if(mFailedWrites, [&write](const FileWorkQueue::FailedWrite& kept)
                          { return kept.fileName == write.fileName; });
            mFailedWrites.push_back(std::move(write));
        }
    }
    lastState.ReadIfWanted([] { return ReadLastStateFileText(); });
    if (!pageFilesWanted.exchange(false))
        return;
    PageFiles files;
    files.request = pageFilesRequest.load();
    files.presetsGeneration = presetsFileGeneration();
    files.presets = ReadPresetsFile();
    files.onboardedLength = OnboardedFileLength();
    files.folderRefused = DataFolderRefused();
    std::lock_guard<std::mutex> lock(mPageFilesMutex);
    mPageFiles = std::move(files);
}

std::optional<Ostrel::PageFiles> Ostrel::TakePageFiles()
{
    std::optional<PageFiles> files;
    std::lock_guard<std::mutex> lock(mPageFilesMutex);
    files.swap(mPageFiles);
    return files;
}

void Ostrel::SendPresetsToPage(const PageFiles& files)
{
    // A write queued since the file was read is what it holds now.
    const std::string presets = fileWork.Queued(kPresetsFileName).value_or(files.presets);
    if (!presets.empty())
        SendTextToPage(kTagPresets, BuildPresetsMessage(presets));
}

void Ostrel::RefreshPage(const PageFiles& files)
{
    for (int i = 0; i < kNumParams; ++i)
        SendParamValueToPage(i, GetParam(i)->Normalised(), true);

    SendPresetsToPage(files);

    // A write queued since the files were read is what they hold now.
    const std::optional<std::string> onboarded = fileWork.Queued(kOnboardedFileName);
    SendTextToPage(kTagOnboarded,
                   BuildOnboardedMessage(onboarded ? onboarded->size() : files.onboardedLength));

    // Nothing of the data folder is read or kept: the page says so.
    if (files.folderRefused)
        SendTextToPage(
            kTagFileError,
            BuildFileErrorMessage("folder",
                                  DescribeWriteFailure(WriteFailure::FolderRefused, DataFolder())));
}

void Ostrel::SendFileErrorsToPage()
{
    std::vector<FileWorkQueue::FailedWrite> failed;
    {
        std::lock_guard<std::mutex> lock(mPageFilesMutex);
        failed.swap(mFailedWrites);
    }
    for (const FileWorkQueue::FailedWrite& write : failed)
    {
        const std::string_view file = write.fileName == kPresetsFileName     ? "presets"
                                      : write.fileName == kLastStateFileName ? "laststate"
                                                                             : "onboarded";
        SendTextToPage(kTagFileError, BuildFileErrorMessage(
                                          file, DescribeWriteFailure(write.failure, DataFolder())));
    }
}

} // namespace ostrel
