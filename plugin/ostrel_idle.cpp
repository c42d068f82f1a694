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

#include <optional>

namespace ostrel
{

namespace
{

constexpr auto kRelaxed = std::memory_order_relaxed;

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
    if (mGestures.Held(GestureHolder::Page, paramIdx))
    {
        // The user is dragging that control: stay inside their gesture.
        SetParamFromEditor(paramIdx, normalised);
    }
    else if (gesture == RequestGesture::Held)
    {
        if (!mGestures.Held(GestureHolder::Peer, paramIdx))
            BeginHostEdit(paramIdx);
        mGestures.Open(GestureHolder::Peer, paramIdx);
        SetParamFromEditor(paramIdx, normalised);
    }
    else if (mGestures.Held(GestureHolder::Peer, paramIdx))
    {
        SetParamFromEditor(paramIdx, normalised);
        if (gesture == RequestGesture::Ended)
        {
            mGestures.Close(GestureHolder::Peer, paramIdx);
            ReleaseHostGesture(paramIdx);
        }
        else
        {
            mGestures.Touch(GestureHolder::Peer, paramIdx);
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
    if (!mGestures.HeldByAnyone(paramIdx))
        EndHostEdit(paramIdx);
}

void Ostrel::IdleTick()
{
    // The registry the process meets its peers in now (the preference may
    // have moved it): the instance follows, and its audio with it.
    mEngine.handover().followPlace();
    PeerRegistry& registry = IdleRegistry();
    const int64_t nowMs = monotonicMs();

    // The user's last settings, for an instance nobody has set yet.
    RestoreLastStateOnce();

    // 1. Gestures the page, or a drag in some editor's matrix, opened and
    // never closed.
    mGestures.Tick([this](int i) { ReleaseHostGesture(i); });

    // 2. Heartbeat of the held slot, for when audio stops (while it runs,
    // the audio thread keeps it fresh; the dips never wait for this thread).
    heartbeat(registry, IdleLink());
    reapHostSession(nowMs);

    // 3 to 7: the registry duties.
    RunLinkDuties(registry, nowMs);

    // 8. Everything below feeds the page.
    if (!mPage.IsOpen())
        return;
    mPage.Tick();

    // 9. Full refresh after a page load or a processing reset, and the
    // presets after a write by any instance.
    RefreshPageWhenDue();

    // The settings slot and preset shown in the page's header, when they
    // changed (after the refresh, which brings the presets they name).
    if (!mPage.RefreshDue())
        SendSettingsToPage();

    // 10. Last state, at most once per 20 ticks; written outside the lock.
    SaveLastStateWhenDue();

    // Writes that failed since the last tick, and why.
    SendFileErrorsToPage();

    // 11. Meters (plugin/ostrel_meters.cpp).
    SendMetersToPage();

    // 12. Peer list and matrix, with the meters.
    if (mPage.SlowReportsDue())
    {
        SendChangedTextToPage(kTagSources, BuildPeerList(registry), PageBridge::Report::Sources);
        const RegistryPlace place = registryPlace();
        SendChangedTextToPage(kTagMatrix,
                              BuildMatrixReport(registry, IdleLink(),
                                                mLink.SessionJoined() ? &place : nullptr,
                                                mLink.TrackName()),
                              PageBridge::Report::Matrix);
    }
}

void Ostrel::RunLinkDuties(PeerRegistry& registry, int64_t nowMs)
{
    PeerLink& link = IdleLink();

    // 3. Audio stopped: attach from here so role and channel changes still
    // take effect. Runs only while the block counter stands still, so it
    // never overlaps the audio thread's own attach (nor while the audio
    // thread is still to take a move to another registry).
    if (mLink.AudioStalled(link.blockCounter.load(std::memory_order_acquire), nowMs) &&
        !mEngine.handover().moving())
    {
        const SettingsSnapshot s = mEngine.settings().snapshot();
        attach(registry, link, s.role, s.channelIndex, s.bypass != 0, s.sidechainOn != 0);
    }

    // 4. A Masker publishes its Depth for the matrix.
    if (mEngine.settings().role.load(kRelaxed) == kRoleMasker)
        publishDepthPercent(registry, link, static_cast<float>(GetParam(kParamDepth)->Value()));

    // A slot newly claimed (here or by the audio thread): what was requested
    // of its earlier holders is not for this one, and the claim emptied the
    // slot's name, so this holder's own goes out at once.
    if (mLink.AdoptNewClaim(link))
    {
        if (mLink.TrackName().empty())
            TakeTrackName();
        PublishTrackName();
    }

    // 5, 6. Requests that another editor left in the slot.
    if (const std::optional<LinkUpkeep::DepthRequest> depth =
            mLink.TakeDepthRequest(registry, link))
        SetParamFromPeer(kParamDepth, depth->percent, depth->gesture);
    if (const std::optional<int32_t> priority = mLink.TakePriorityRequest(registry, link))
        SetParamFromPeer(kParamPriority, *priority);

    // 7. Track name.
    if (mLink.NameTickDue())
    {
        if (mLink.TrackName().empty())
            TakeTrackName();
        if (!mLink.TrackName().empty())
            publishName(registry, link, mLink.TrackName().c_str());
    }
}

void Ostrel::RefreshPageWhenDue()
{
    // A presets write by any instance of the process sends this page the
    // collection as it now stands, so no page saves over another's preset.
    mPage.NotePresetsGeneration(presetsFileGeneration());
    if (!mPage.RefreshDue() && !mPage.PresetsDue())
        return;
    // Once the files it shows have been read outside the lock (else at the
    // next tick).
    const std::optional<InstanceFiles::PageFiles> files =
        mFiles.TakePageFiles(mPage.PresetsGenerationSeen());
    if (!files)
        return;
    if (mPage.RefreshDue())
        RefreshPage(*files);
    else
        SendPresetsToPage(*files);
    mPage.Refreshed();
}

void Ostrel::TakeTrackName()
{
    std::string name;
    TrackName(name);
    mLink.SetTrackName(std::move(name));
}

void Ostrel::TrackInfoChanged()
{
    // A rename reaches the other instances' matrices now, not at the next
    // slow tick.
    TakeTrackName();
    PublishTrackName();
}

void Ostrel::PublishTrackName()
{
    if (mLink.TrackName().empty())
        clearName(IdleRegistry(), IdleLink());
    else
        publishName(IdleRegistry(), IdleLink(), mLink.TrackName().c_str());
}

void Ostrel::IdleFileWork()
{
    const bool presetsQueued = mFiles.Queued(kPresetsFileName).has_value();
    const bool linkQueued = mFiles.Queued(kLinkPreferenceFileName).has_value();
    mFiles.RunWrites();
    FollowLinkPreference(linkQueued);
    // A failed presets write too: every page then gets the presets as they
    // really stand.
    if (presetsQueued)
        notePresetsFileWritten();
    mLastState.ReadIfWanted([] { return ReadLastStateFileText(); });
    mFiles.ReadPageFilesIfWanted(
        []
        {
            InstanceFiles::PageFiles files;
            files.presetsGeneration = presetsFileGeneration();
            files.presets = ReadPresetsFile();
            files.onboardedLength = OnboardedFileLength();
            files.folderRefused = DataFolderRefused();
            return files;
        });
}

void Ostrel::SendPresetsToPage(const InstanceFiles::PageFiles& files)
{
    // A write queued since the file was read is what it holds now.
    const std::string presets = mFiles.Queued(kPresetsFileName).value_or(files.presets);
    if (!presets.empty())
        SendTextToPage(kTagPresets, BuildPresetsMessage(presets));
}

void Ostrel::RefreshPage(const InstanceFiles::PageFiles& files)
{
    for (int i = 0; i < kNumParams; ++i)
        SendParamValueToPage(i, GetParam(i)->Normalised(), true);

    SendPresetsToPage(files);

    // A write queued since the files were read is what they hold now.
    const std::optional<std::string> onboarded = mFiles.Queued(kOnboardedFileName);
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
    for (const FileWorkQueue::FailedWrite& write : mFiles.TakeFailedWrites())
    {
        const std::string_view file = write.fileName == kPresetsFileName          ? "presets"
                                      : write.fileName == kLastStateFileName      ? "laststate"
                                      : write.fileName == kLinkPreferenceFileName ? "link"
                                                                                  : "onboarded";
        SendTextToPage(kTagFileError, BuildFileErrorMessage(
                                          file, DescribeWriteFailure(write.failure, DataFolder())));
    }
}

} // namespace ostrel
