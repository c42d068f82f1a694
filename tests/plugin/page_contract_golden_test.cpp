// The page's contract with the plug-in, written down by the plug-in's own
// code: the "params" message, meter reports, the calls a page receives when
// it loads and during its first ticks, the band limits and the priority
// margins. The page's Node tests (tests/web) read these files instead of
// copies of their own, so a change on either side that breaks the contract
// fails a test.
//
// After a deliberate change on the plug-in's side, rewrite the files with
//   OSTREL_UPDATE_GOLDEN=1 build/test_plugin --gtest_filter='Golden/PageContract.*'
// then run the page's tests (ctest --test-dir build -R web_page_tests) and
// commit the files together with the change.
#include "plugin/editor_page_fixture.h"
#include "plugin/page_bridge.h"

#include "editor_messages/meter_report.h"
#include "editor_messages/product_message_tags.h"
#include "engine/band_layout.h"
#include "engine/shared_gains.h"
#include "framework/number_text.h"
#include "storage/atomic_file_store.h"
#include "storage/data_folder.h"
#include "storage/user_files.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{

using namespace ostrel;
using ostrel_test::RecordingOstrel;
using ostrel_test::RecordingWebView;

class PageContract;

struct GoldenCase
{
    const char* file;
    std::string (PageContract::*make)();
    bool shipped = false; // a file of the page itself (Resources/web), not of its tests
};

void PrintTo(const GoldenCase& c, std::ostream* os)
{
    *os << c.file;
}

// The page's own presets format, as the page would have stored it.
constexpr const char* kStoredPresets =
    "{\"format\":\"ostrel-presets\",\"version\":1,\"params\":[\"Depth\",\"Selectivity\"],"
    "\"presets\":[{\"name\":\"Verse guitars\",\"values\":[45,18]}]}";

bool UpdateRequested()
{
    const char* v = std::getenv("OSTREL_UPDATE_GOLDEN");
    return v != nullptr && std::string(v) == "1";
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Where two texts part, with a little of each around it: a whole message in
// a failure report says nothing.
std::string FirstDifference(const std::string& want, const std::string& got)
{
    size_t at = 0;
    while (at < want.size() && at < got.size() && want[at] == got[at])
        ++at;
    const size_t from = at > 40 ? at - 40 : 0;
    return "first difference at byte " + std::to_string(at) + "\n  committed: ..." +
           want.substr(from, 100) + "\n  built:     ..." + got.substr(from, 100);
}

void AppendNumbers(std::string& out, const std::vector<double>& values)
{
    out += '[';
    for (size_t i = 0; i < values.size(); ++i)
    {
        if (i > 0)
            out += ',';
        plugfw::AppendFixed(out, values[i], 6);
    }
    out += ']';
}

class PageContract : public ostrel_test::OstrelPageTest,
                     public ::testing::WithParamInterface<GoldenCase>
{
public:
    // The first message of every page load.
    std::string ParamsMessage()
    {
        RecordingWebView& web = NewInstance().OpenEditor();
        ostrel_test::PageMessage m;
        EXPECT_FALSE(web.scripts.empty());
        if (web.scripts.empty() || !RecordingWebView::Parse(web.scripts[0], m))
            return "";
        EXPECT_EQ(m.tag, kTagParams);
        return m.text;
    }

    // What a fresh instance's idle tick reports.
    std::string ResetMeterReport()
    {
        RecordingOstrel& p = NewInstance();
        RecordingWebView& web = p.OpenEditor();
        p.Ticks(1);
        const auto meters = web.MessagesWithTag(kTagMeters);
        EXPECT_EQ(meters.size(), 1u);
        return meters.empty() ? "" : meters[0].text;
    }

    // A Masker dipping bands 10 to 13 under a live Source, bells 1 and 4 at work.
    std::string MaskerMeterReport()
    {
        MeterSnapshot m;
        m.role = 2;
        m.linked = true;
        m.peers = 1;
        m.nullDb = -7.4f;
        m.touched = 4;
        for (int k = 0; k < kMeterBands; ++k)
        {
            m.dipDb[k] = k >= 10 && k <= 13 ? -1.5f * static_cast<float>(k - 9) : 0.0f;
            // Levels in full-scale terms: the Source at -20 dBFS in band 11
            // and -34 elsewhere, this track at -26 where it covers it.
            m.src[k] = k == 11 ? 0.1f : 0.02f;
            m.mask[k] = k >= 9 && k <= 14 ? 0.05f : 0.005f;
        }
        m.bellDipDb[0] = -6.0f;
        m.bellDipDb[3] = -1.3f;
        return BuildMeterReport(m);
    }

    // A Masker's page loading next to a live Source and living 11 ticks:
    // every script the plug-in runs in the page, in order.
    std::string MaskerPageSession()
    {
        // Tests before this one in the same process may have written slots
        // by hand (owners that never were, levels): start from a fresh
        // registry, which is possible while no instance is alive.
        EXPECT_TRUE(releaseSharedRegistry()) << "an instance outlived its test";
        CreateDataFolder();
        WriteFileAtomically(DataFile(kPresetsFileName), kStoredPresets);

        RecordingOstrel& source = NewInstance();
        source.NameTrack("Lead Vox");
        source.SetPlain(kParamRole, 1);
        source.SetPlain(kParamChannel, 3);
        source.Ticks(8); // attached, and its name published

        RecordingOstrel& masker = NewInstance();
        masker.NameTrack("Pad");
        masker.SetPlain(kParamRole, 2);
        masker.SetPlain(kParamChannel, 3);
        masker.SetPlain(kParamDepth, 50.0);
        masker.SetPlain(bellParam(0, kBellFreqOffset), 2500.0); // on its cube curve
        RecordingWebView& web = masker.OpenEditor();
        masker.Ticks(11);

        // At the first tick, before the Masker's audio attached it; then
        // with both rows.
        EXPECT_EQ(web.MessagesWithTag(kTagMatrix).size(), 2u);
        std::string out = "[\n";
        for (size_t i = 0; i < web.scripts.size(); ++i)
        {
            out += nlohmann::json(web.scripts[i]).dump();
            out += i + 1 < web.scripts.size() ? ",\n" : "\n";
        }
        return out + "]";
    }

    // Three Sources on one channel, one on another and a Masker, each with
    // its editor open; then two renamed, then one moved to a free channel:
    // at each step what every page last got ("sources" and "matrix"), with
    // the instance's own name, Role and Channel.
    std::string SourcesSharingAChannel()
    {
        // A fresh registry when there is one to let go (the Masker's session
        // may have let it go already).
        releaseSharedRegistry();
        struct Member
        {
            const char* name;
            int role;
            int channel;
        };
        const Member members[] = {{"Lead Vocal", 1, 1},
                                  {"Backing Vox", 1, 1},
                                  {"Harmony", 1, 1},
                                  {"Bass", 1, 2},
                                  {"Gtr", 2, 1}};
        std::vector<RecordingOstrel*> all;
        for (const Member& m : members)
        {
            RecordingOstrel& p = NewInstance();
            p.NameTrack(m.name);
            p.SetPlain(kParamRole, m.role);
            p.SetPlain(kParamChannel, m.channel);
            p.OpenEditor();
            all.push_back(&p);
        }
        const auto tickAll = [&all]
        {
            // Two of the slowest page's report periods (a page behind the
            // editor opened last): every page has the step's last report.
            for (int t = 0; t < 2 * PageBridge::kBehindTickPeriod; ++t)
                for (RecordingOstrel* p : all)
                    p->Ticks(1);
        };
        std::string out = "[\n";
        const auto record = [&](const char* step)
        {
            tickAll();
            out += out.size() > 2 ? ",\n" : "";
            out += "{\"step\":\"" + std::string(step) + "\",\"pages\":[";
            for (size_t i = 0; i < all.size(); ++i)
            {
                RecordingWebView& web = *all[i]->web;
                const auto sources = web.MessagesWithTag(kTagSources);
                const auto matrices = web.MessagesWithTag(kTagMatrix);
                EXPECT_FALSE(sources.empty() || matrices.empty()) << step << " page " << i;
                nlohmann::json page;
                page["name"] = all[i]->TrackNameShown();
                page["role"] = static_cast<int>(all[i]->Plain(kParamRole));
                page["channel"] = static_cast<int>(all[i]->Plain(kParamChannel));
                page["sources"] = sources.empty() ? "" : sources.back().text;
                page["matrix"] = matrices.empty() ? "" : matrices.back().text;
                out += (i > 0 ? ",\n" : "\n") + page.dump();
            }
            out += "]}";
        };
        record("three Sources on channel 1");
        all[0]->NameTrack("Lead Vocal Dbl");
        all[1]->NameTrack("BV Stack");
        record("two renamed");
        all[1]->SetPlain(kParamChannel, 3);
        record("one moved to channel 3");
        return out + "\n]";
    }

    // Band k runs from limitsHz[k] to limitsHz[k + 1].
    std::string BandLimits()
    {
        double edges[kEdgeCount];
        computeBandEdges(edges);
        std::vector<double> limits;
        std::vector<double> centres;
        for (int k = 0; k < kBandCount; ++k)
        {
            limits.push_back(bandLowerHz(edges, k));
            centres.push_back(bandCentreHz(edges, k));
        }
        limits.push_back(bandUpperHz(edges, kBandCount - 1));
        std::string out = "{\"limitsHz\":";
        AppendNumbers(out, limits);
        out += ",\n\"centresHz\":";
        AppendNumbers(out, centres);
        return out + "}";
    }

    // The page's parameter table until the "params" message arrives: that
    // message's list, so the page never holds a copy of its own.
    std::string PageParamTable()
    {
        const nlohmann::json message = nlohmann::json::parse(ParamsMessage(), nullptr, false);
        if (message.is_discarded() || !message.contains("params"))
            return "";
        return "// Written by the plug-in's tests from its parameter table\n"
               "// (tests/plugin/page_contract_golden_test.cpp): the \"params\" message's\n"
               "// list, which the page uses until that message arrives. Do not edit.\n"
               "(function (root, table) {\n"
               "  if (typeof module === 'object' && module.exports) module.exports = table;\n"
               "  else root.OstrelParamTable = table;\n"
               "})(typeof self !== 'undefined' ? self : this, " +
               message["params"].dump() + ");";
    }

    // The margin in dB for each Priority, with one value on each side of the
    // range to show the clamping.
    std::string PriorityMargins()
    {
        std::string out = "[\n";
        for (int p = 0; p <= 9; ++p)
        {
            out += "{\"priority\":";
            plugfw::AppendInt(out, p);
            out += ",\"db\":";
            plugfw::AppendFixed(out, 20.0 * std::log10(priorityMargin(p)), 6);
            out += p < 9 ? "},\n" : "}\n";
        }
        return out + "]";
    }
};

TEST_P(PageContract, CommittedFileIsWhatThePluginBuilds)
{
    const GoldenCase& c = GetParam();
    const std::string built = (this->*c.make)() + "\n";
    const std::filesystem::path path =
        std::filesystem::path(c.shipped ? OSTREL_PAGE_DIR : OSTREL_PAGE_GOLDEN_DIR) / c.file;
    if (UpdateRequested())
    {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << built;
        std::cout << "rewrote " << path.string() << "\n";
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(path)) << path << " is missing";
    const std::string committed = ReadFile(path);
    EXPECT_TRUE(committed == built)
        << c.file << " no longer matches the plug-in: " << FirstDifference(committed, built)
        << "\nIf the change is meant, rewrite it with OSTREL_UPDATE_GOLDEN=1 and run the page's "
           "tests.";
}

INSTANTIATE_TEST_SUITE_P(
    Golden, PageContract,
    ::testing::Values(GoldenCase{"params.json", &PageContract::ParamsMessage},
                      GoldenCase{"meters_reset.json", &PageContract::ResetMeterReport},
                      GoldenCase{"meters_masker.json", &PageContract::MaskerMeterReport},
                      GoldenCase{"masker_page_session.json", &PageContract::MaskerPageSession},
                      GoldenCase{"sources_sharing_a_channel.json",
                                 &PageContract::SourcesSharingAChannel},
                      GoldenCase{"bands.json", &PageContract::BandLimits},
                      GoldenCase{"priority_margins.json", &PageContract::PriorityMargins},
                      GoldenCase{"param_table.js", &PageContract::PageParamTable, true}),
    [](const ::testing::TestParamInfo<GoldenCase>& info)
    {
        std::string name = info.param.file;
        name = name.substr(0, name.find('.'));
        std::replace(name.begin(), name.end(), '_', ' ');
        std::string out;
        bool upper = true;
        for (char ch : name)
        {
            if (ch == ' ')
            {
                upper = true;
                continue;
            }
            out += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(ch))) : ch;
            upper = false;
        }
        return out;
    });

} // namespace
