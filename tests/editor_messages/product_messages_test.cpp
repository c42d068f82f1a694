// The product's outgoing messages: exact texts from plain inputs.
#include "editor_messages/matrix_report.h"
#include "editor_messages/meter_report.h"
#include "editor_messages/peer_list.h"
#include "editor_messages/peer_name_text.h"
#include "editor_messages/settings_message.h"
#include "editor_messages/stored_file_messages.h"
#include "link/monotonic_clock.h"
#include "link/process_identity.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>

namespace
{

using namespace ostrel;

std::string Repeat(const std::string& item, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += (i > 0 ? "," : "") + item;
    return out;
}

TEST(MeterReport, ResetEngineGivesTheExactText)
{
    MeterSnapshot m; // null meter at its reset value -150
    const std::string expected = "{\"t\":\"meters\",\"role\":0,\"linked\":0,\"peers\":0,"
                                 "\"null\":-120.0,\"touched\":0,\"dip\":[" +
                                 Repeat("0.0", 24) + "],\"src\":[" + Repeat("-120.0", 24) +
                                 "],\"mask\":[" + Repeat("-120.0", 24) + "],\"bellDip\":[" +
                                 Repeat("0.0", 4) + "],\"hostBypass\":0,\"stale\":0}";
    EXPECT_EQ(BuildMeterReport(m), expected);
}

TEST(MeterReport, LevelsGoOutInDbfsOnOneScaleWithAFloor)
{
    struct Case
    {
        float level;
        const char* text;
    };
    const Case cases[] = {
        {1.0f, "0.0"},
        {0.5f, "-6.0"},
        {0.001f, "-60.0"},
        {2.0f, "6.0"}, // hotter than full scale stays honest
        {1e-7f, "-120.0"},
        {0.0f, "-120.0"},
        {-0.5f, "-120.0"},
        {std::numeric_limits<float>::quiet_NaN(), "-120.0"},
        {std::numeric_limits<float>::infinity(), "-120.0"},
    };
    for (const Case& c : cases)
    {
        MeterSnapshot m;
        m.src[7] = c.level;
        m.mask[7] = c.level;
        const std::string text = BuildMeterReport(m);
        const std::string expected = std::string(",") + c.text + ",";
        EXPECT_NE(text.find("\"src\":[" + Repeat("-120.0", 7) + expected), std::string::npos)
            << c.level;
        EXPECT_NE(text.find("\"mask\":[" + Repeat("-120.0", 7) + expected), std::string::npos)
            << c.level;
    }
}

TEST(MeterReport, TellsThePageWhenTheHostBypassesOrTheAudioStopped)
{
    for (const bool hostBypass : {false, true})
        for (const bool stale : {false, true})
        {
            MeterSnapshot m;
            m.hostBypass = hostBypass;
            m.stale = stale;
            const std::string text = BuildMeterReport(m);
            const std::string tail = std::string(",\"hostBypass\":") + (hostBypass ? "1" : "0") +
                                     ",\"stale\":" + (stale ? "1" : "0") + "}";
            ASSERT_GE(text.size(), tail.size());
            EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
        }
}

TEST(MeterReport, ValuesInBandOrderWithTheirDecimals)
{
    MeterSnapshot m;
    m.role = 2;
    m.linked = true;
    m.peers = 3;
    m.nullDb = -17.26f;
    m.touched = 5;
    for (int k = 0; k < kMeterBands; ++k)
    {
        m.dipDb[k] = -0.5f * static_cast<float>(k);
        m.src[k] = 0.5f;
        m.mask[k] = 0.001f;
    }
    m.bellDipDb[0] = -6.04f;
    m.bellDipDb[3] = -1.25f;
    const auto j = nlohmann::json::parse(BuildMeterReport(m));
    EXPECT_EQ(j["t"], "meters");
    EXPECT_EQ(j["role"], 2);
    EXPECT_EQ(j["linked"], 1);
    EXPECT_EQ(j["peers"], 3);
    EXPECT_DOUBLE_EQ(j["null"].get<double>(), -17.3);
    EXPECT_EQ(j["touched"], 5);
    ASSERT_EQ(j["dip"].size(), 24u);
    EXPECT_DOUBLE_EQ(j["dip"][23].get<double>(), -11.5);
    EXPECT_DOUBLE_EQ(j["src"][1].get<double>(), -6.0);
    EXPECT_DOUBLE_EQ(j["mask"][0].get<double>(), -60.0);
    ASSERT_EQ(j["bellDip"].size(), 4u);
    EXPECT_DOUBLE_EQ(j["bellDip"][0].get<double>(), -6.0);
    EXPECT_DOUBLE_EQ(j["bellDip"][3].get<double>(), -1.2); // -1.25f is exact: ties to even
}

TEST(MeterReport, NonFiniteMetersKeepTheTextValidJson)
{
    MeterSnapshot m;
    m.nullDb = std::numeric_limits<float>::quiet_NaN();
    m.dipDb[3] = std::numeric_limits<float>::infinity();
    m.src[4] = std::numeric_limits<float>::quiet_NaN();
    const auto j = nlohmann::json::parse(BuildMeterReport(m), nullptr, false);
    ASSERT_FALSE(j.is_discarded());
    EXPECT_DOUBLE_EQ(j["null"].get<double>(), -120.0);
    EXPECT_DOUBLE_EQ(j["dip"][3].get<double>(), 0.0);
}

TEST(StoredFileMessages, PresetsContentIsCarriedUnchanged)
{
    EXPECT_EQ(BuildPresetsMessage("[]"), "{\"t\":\"presets\",\"json\":[]}");
    EXPECT_EQ(BuildPresetsMessage("{\"a\":[1, 2]}\n"),
              "{\"t\":\"presets\",\"json\":{\"a\":[1, 2]}\n}");
}

TEST(StoredFileMessages, OnboardedByFileLength)
{
    EXPECT_EQ(BuildOnboardedMessage(0), "{\"t\":\"onboarded\",\"onboarded\":0}");
    EXPECT_EQ(BuildOnboardedMessage(1), "{\"t\":\"onboarded\",\"onboarded\":1}");
    EXPECT_EQ(BuildOnboardedMessage(4096), "{\"t\":\"onboarded\",\"onboarded\":1}");
}

TEST(SettingsMessage, ExactTextAndNamesThatStayJson)
{
    struct Case
    {
        SettingsView view;
        const char* text;
    };
    const Case cases[] = {
        {{0, "", false}, R"({"t":"settings","slot":0,"preset":"","modified":0})"},
        {{1, "Lead vocal", true},
         R"({"t":"settings","slot":1,"preset":"Lead vocal","modified":1})"},
        {{0, "A \"b\" \\ <c>", false},
         R"({"t":"settings","slot":0,"preset":"A \"b\" \\ <c>","modified":0})"},
        {{0, "tab\there\x01", false},
         R"({"t":"settings","slot":0,"preset":"tab\u0009here\u0001","modified":0})"},
        {{0, "B\xc3\xbchne", false},
         "{\"t\":\"settings\",\"slot\":0,\"preset\":\"B\xc3\xbchne\",\"modified\":0}"},
    };
    for (const Case& c : cases)
    {
        const std::string text = BuildSettingsMessage(c.view);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(nlohmann::json::parse(text)["preset"], c.view.presetName) << text;
    }
}

TEST(PeerNameText, EscapesQuotesAndBackslashesDropsControlsAndBrackets)
{
    struct Case
    {
        const char* name;
        const char* shown;
    };
    const Case cases[] = {
        {"Lead \"Vox\" <L>", "Lead \\\"Vox\\\" L"},
        {"a\\b", "a\\\\b"},
        {"tab\there\nnl", "tabherenl"},
        {"Caf\xC3\xA9", "Caf\xC3\xA9"},
        {"", ""},
    };
    for (const Case& c : cases)
    {
        std::string out;
        AppendEscapedName(out, c.name);
        EXPECT_EQ(out, c.shown) << c.name;
    }
}

TEST(PeerNameText, StopsAtSeventyTwoOutputBytes)
{
    const std::string longName(100, 'x');
    std::string out;
    AppendEscapedName(out, longName.c_str());
    EXPECT_EQ(out.size(), kEscapedNameLimit);
}

// A private registry with a hand-set clock: rows are put in place field by
// field as the audio and idle sides of other instances would leave them.
class RegistryMessages : public ::testing::Test
{
protected:
    static int64_t Now() { return sNowMs; }

    void SetUp() override
    {
        sNowMs = 100000;
        setMonotonicSourceForTesting(&Now);
        registry = std::make_unique<PeerRegistry>();
    }
    void TearDown() override { setMonotonicSourceForTesting(nullptr); }

    PeerSlot& Row(int slotIndex, int role, const char* name = nullptr, int64_t ageMs = 20)
    {
        PeerSlot& slot = registry->slots[slotIndex];
        const auto owner = static_cast<uint32_t>(1000 + slotIndex);
        slot.ownerId.store(owner);
        slot.role.store(role);
        slot.heartbeatMs.store(sNowMs - ageMs);
        slot.holderCount.store(1);
        if (name != nullptr)
        {
            PeerLink link;
            link.instanceId = owner;
            link.slotIndex.store(slotIndex);
            publishName(*registry, link, name);
        }
        return slot;
    }

    static nlohmann::json Parse(const std::string& text)
    {
        auto j = nlohmann::json::parse(text, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << text;
        return j;
    }

    static inline int64_t sNowMs = 0;
    std::unique_ptr<PeerRegistry> registry;
    PeerLink ownLink;
};

TEST_F(RegistryMessages, EmptyRegistry)
{
    EXPECT_EQ(BuildPeerList(*registry), "{\"t\":\"sources\",\"list\":[]}");
    EXPECT_EQ(BuildMatrixReport(*registry, ownLink),
              "{\"t\":\"matrix\",\"slots\":[],\"diag\":{\"shared\":1,\"src\":0,\"msk\":0,"
              "\"my\":-1,\"solo\":-1}}");
}

TEST_F(RegistryMessages, PeerListHasLiveSourcesOnlyInSlotOrder)
{
    Row(9, kPeerRoleSource, "Bass");
    Row(2, kPeerRoleSource, "Lead \"Vox\" <L>");
    Row(5, kPeerRoleMasker, "Keys");
    Row(7, kPeerRoleSource, "Stale", 5001);
    Row(8, kPeerRoleSource, "Edge", 5000);
    Row(11, kPeerRoleSource);                        // never named
    registry->slots[12].role.store(kPeerRoleSource); // released: no owner
    EXPECT_EQ(BuildPeerList(*registry),
              "{\"t\":\"sources\",\"list\":[{\"ch\":3,\"name\":\"Lead \\\"Vox\\\" L\"},"
              "{\"ch\":9,\"name\":\"Edge\"},{\"ch\":10,\"name\":\"Bass\"},"
              "{\"ch\":12,\"name\":\"\"}]}");
}

// A row whose instance runs in another process of the host says which; rows
// of this process do not.
TEST_F(RegistryMessages, RowsInAnotherProcessNameIt)
{
    Row(2, kPeerRoleSource, "Vocal").ownerPid.store(thisProcessId());
    Row(63, kPeerRoleMasker, "Gtr").ownerPid.store(thisProcessId() + 7);
    const auto j = Parse(BuildMatrixReport(*registry, ownLink));
    ASSERT_EQ(j["slots"].size(), 2u);
    EXPECT_FALSE(j["slots"][0].contains("pid"));
    EXPECT_EQ(j["slots"][1]["pid"], thisProcessId() + 7);
}

TEST_F(RegistryMessages, TwoMaskersOfOneSourceShowItAsTheirTarget)
{
    PeerSlot& source = Row(2, kPeerRoleSource, "Vocal");
    source.priority.store(2);
    source.target.store(-1);
    PeerSlot& m1 = Row(63, kPeerRoleMasker, "Gtr");
    m1.target.store(2);
    m1.depthPercent.store(49.5f);
    m1.balance.store(-0.257f);
    m1.mute.store(1);
    PeerSlot& m2 = Row(62, kPeerRoleMasker, "Pad");
    m2.target.store(2);
    m2.depthPercent.store(12.4f);
    m2.balance.store(0.999f);
    PeerSlot& orphan = Row(40, kPeerRoleMasker);
    orphan.target.store(-1);
    ownLink.attachKey.store(63);
    registry->header.soloIndex.store(62);

    const auto j = Parse(BuildMatrixReport(*registry, ownLink));
    ASSERT_EQ(j["slots"].size(), 4u);
    const auto& s = j["slots"];
    EXPECT_EQ(s[0]["ch"], 3);
    EXPECT_EQ(s[0]["role"], 1);
    EXPECT_EQ(s[0]["target"], 0);
    EXPECT_EQ(s[0]["pri"], 2);
    EXPECT_EQ(s[0]["name"], "Vocal");
    EXPECT_EQ(s[1]["ch"], 41);
    EXPECT_EQ(s[1]["target"], 0);
    EXPECT_EQ(s[2]["ch"], 63);
    EXPECT_EQ(s[2]["target"], 3);
    EXPECT_EQ(s[2]["depth"], 12);
    EXPECT_EQ(s[2]["bal"], 99);
    EXPECT_EQ(s[2]["mute"], 0);
    EXPECT_EQ(s[3]["ch"], 64);
    EXPECT_EQ(s[3]["target"], 3);
    EXPECT_EQ(s[3]["depth"], 50);
    EXPECT_EQ(s[3]["bal"], -25); // toward zero
    EXPECT_EQ(s[3]["mute"], 1);
    EXPECT_EQ(j["diag"],
              nlohmann::json::parse(R"({"shared":1,"src":1,"msk":3,"my":63,"solo":63})"));
}

TEST_F(RegistryMessages, MatrixRowHasItsExactTextAndMemberOrder)
{
    PeerSlot& row = Row(4, kPeerRoleSource, "A<b>\\");
    row.target.store(4);
    for (int k = 0; k < kPeerBandCount; ++k)
        row.bandLevels[k].store(0.0f);
    row.bandLevels[0].store(0.0123f);
    row.bandLevels[1].store(150.0f);
    row.bandLevels[2].store(-1.0f);
    row.bandLevels[3].store(99.9994f);
    row.bandLevels[4].store(99.9996f);
    row.bandLevels[5].store(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(BuildMatrixReport(*registry, ownLink),
              "{\"t\":\"matrix\",\"slots\":[{\"ch\":5,\"role\":1,\"target\":5,\"pri\":4,"
              "\"depth\":0,\"mute\":0,\"bal\":0,\"name\":\"Ab\\\\\",\"e\":[12,99999,0,99999,"
              "99999,0," +
                  Repeat("0", 18) +
                  "]}],\"diag\":{\"shared\":1,\"src\":1,\"msk\":0,\"my\":-1,\"solo\":-1}}");
}

// This instance's own track name rides in the diagnostics, escaped, and cut
// at a character's start when long; without one there is no "me".
TEST_F(RegistryMessages, OwnNameIsInTheDiagnosticsWhenThereIsOne)
{
    std::string accents;
    for (int i = 0; i < 40; ++i)
        accents += "\xC3\xA9"; // 80 bytes of two-byte characters
    const struct
    {
        std::string name;
        const char* diagEnd;
    } cases[] = {
        {"", "\"solo\":-1}}"},
        {"BV \"Stack\" <2>", "\"solo\":-1,\"me\":\"BV \\\"Stack\\\" 2\"}}"},
        {accents, nullptr},
    };
    for (const auto& c : cases)
    {
        const std::string text = BuildMatrixReport(*registry, ownLink, nullptr, c.name);
        if (c.diagEnd != nullptr)
        {
            EXPECT_TRUE(text.ends_with(c.diagEnd)) << text;
            continue;
        }
        const auto j = Parse(text);
        EXPECT_EQ(j["diag"]["me"], accents.substr(0, 64)) << text;
    }
}

TEST(MatrixLevelValue, ScaledRoundedAndCapped)
{
    struct Case
    {
        float level;
        int shown;
    };
    const Case cases[] = {
        {0.0123f, 12},  {150.0f, 99999}, {-1.0f, 0},
        {0.0f, 0},      {0.0005f, 1},    {0.0004f, 0},
        {99.9f, 99900}, {1e30f, 99999},  {std::numeric_limits<float>::infinity(), 99999},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatrixLevelValue(c.level), c.shown) << c.level;
}

TEST_F(RegistryMessages, ManyLiveRowsMakeAReportLongerThanOneScript)
{
    const std::string name(31, 'N');
    for (int s = 0; s < kPeerSlotCount; ++s)
    {
        PeerSlot& row = Row(s, s % 2 == 0 ? kPeerRoleSource : kPeerRoleMasker, name.c_str());
        for (int k = 0; k < kPeerBandCount; ++k)
            row.bandLevels[k].store(50.0f);
    }
    const std::string text = BuildMatrixReport(*registry, ownLink);
    EXPECT_GT(text.size(), 8192u);
    const auto j = Parse(text);
    EXPECT_EQ(j["slots"].size(), 64u);
    EXPECT_EQ(j["diag"]["src"], 32);
    EXPECT_EQ(j["diag"]["msk"], 32);
}

} // namespace
