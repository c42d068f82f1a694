// A plug-in instance with its page attached to a recording web view, its
// host edits recorded, and the data folder in a private temporary folder.
#pragma once

#include "framework/iparam.h"
#include "framework/recording_web_view.h"
#include "link/peer_registry.h"
#include "plugin/ostrel.h"
#include "storage/data_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrel_test
{

// The instance with what it tells the host written down as short texts:
// "begin i", "edit i 0.500000", "end i".
class RecordingOstrel : public ostrel::Ostrel
{
public:
    void BeginHostEdit(int i) override
    {
        host.push_back("begin " + std::to_string(i));
        Ostrel::BeginHostEdit(i);
    }
    void EndHostEdit(int i) override
    {
        host.push_back("end " + std::to_string(i));
        Ostrel::EndHostEdit(i);
    }
    void SetParamFromEditor(int i, double normalised) override
    {
        host.push_back("edit " + std::to_string(i) + " " + std::to_string(normalised));
        Ostrel::SetParamFromEditor(i, normalised);
    }

    // Sets a parameter as the host's controller would, engine included.
    void SetPlain(int i, double value)
    {
        GetParam(i)->Set(value);
        OnParamChange(i);
    }
    double Plain(int i) const { return GetParam(i)->Value(); }

    // Attaches a recording web view and runs the page-loaded sequence.
    RecordingWebView& OpenEditor()
    {
        auto backend = std::make_unique<RecordingWebView>();
        web = backend.get();
        AttachWebViewBackend(std::move(backend));
        ContentLoaded();
        return *web;
    }
    void CloseEditor()
    {
        EditorClosed();
        DetachWebViewBackend();
        web = nullptr;
    }
    // Ticks as the idle timer runs them: file work outside the lock before
    // and after each.
    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i)
        {
            IdleFileWork();
            IdleTick();
            IdleFileWork();
        }
    }
    // Sends a product message as the page would (bytes of `text`); the files
    // it writes are written as at the end of the tick that carried it.
    void Message(int tag, const std::string& text)
    {
        OnEditorMessage(tag, 0, static_cast<int>(text.size()), text.data());
        IdleFileWork();
    }

    // A read of the files nobody asked for, as the timer thread makes when
    // it runs between the two requests of a page load.
    void ReadFilesUnasked()
    {
        FileWork().WantPageFilesAgain();
        IdleFileWork();
    }
    // The host reports the track's name, as its channel context does.
    void NameTrack(const std::string& name)
    {
        mChannelContext.name = name;
        TrackInfoChanged();
    }

    std::string TrackNameShown() const
    {
        std::string name;
        TrackName(name);
        return name;
    }

    std::vector<std::string> host;
    RecordingWebView* web = nullptr;
    // While set, the meters the page gets instead of the engine's.
    std::optional<ostrel::MeterReadings> plantedMeters;

protected:
    ostrel::MeterReadings ReadMeters() const override
    {
        return plantedMeters ? *plantedMeters : Ostrel::ReadMeters();
    }
};

// Fresh data folder and a registry without leftovers from other tests.
class OstrelPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        namespace fs = std::filesystem;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        savedConfigHome = old != nullptr ? old : "";
        hadConfigHome = old != nullptr;
        configHome = fs::temp_directory_path() /
                     ("ostrel-page-" + std::to_string(getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(configHome);
        fs::create_directories(configHome);
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        ClearRegistryRequests();
    }

    void TearDown() override
    {
        instances.clear();
        ClearRegistryRequests();
        if (hadConfigHome)
            setenv("XDG_CONFIG_HOME", savedConfigHome.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::filesystem::remove_all(configHome);
    }

    static void ClearRegistryRequests()
    {
        ostrel::PeerRegistry& r = ostrel::sharedRegistry();
        r.header.soloIndex.store(-1);
        for (ostrel::PeerSlot& s : r.slots)
        {
            s.depthRequest.store(-1.0f);
            s.depthRequestGesture.store(0);
            s.depthRequestSeq.store(0);
            s.priorityRequest.store(0);
            s.priorityRequestSeq.store(0);
            s.mute.store(0);
        }
    }

    RecordingOstrel& NewInstance()
    {
        instances.push_back(std::make_unique<RecordingOstrel>());
        return *instances.back();
    }

    std::string DataFile(const char* name) const { return ostrel::PathInDataFolder(name); }

    std::filesystem::path configHome;
    std::string savedConfigHome;
    bool hadConfigHome = false;
    std::vector<std::unique_ptr<RecordingOstrel>> instances;
};

} // namespace ostrel_test
