// The plug-in's parameter table and the engine's working settings.
//
// kParamTable holds one row per parameter, in id order (the order is the
// state format: hosts' projects and the last-state file store values by
// index): name, type, range, default, step, unit, display shape, the value
// texts hosts and the page show, and the engine setting it drives. The
// plug-in defines its parameters from it, applies their values through it
// and sends it to the page; the engine's start values are its defaults,
// converted. Adding a parameter means adding a row (and, for a new kind of
// setting, its field and conversion here).
//
// The plug-in's parameter handler writes the settings (on the main or the
// audio thread) while the audio thread reads them, so every field is a
// relaxed atomic holding a whole value, and Depth's scale and bias, which
// only make sense together, share one 64-bit word. The engine takes one
// consistent snapshot at the start of each slice.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string_view>

namespace ostrel
{

inline constexpr int kBellCount = 4;

enum class ParamType : uint8_t
{
    Bool,
    Int,
    Enum,
    Double,
};

// How a control spreads the range: evenly, or on a cube curve that gives
// the low frequencies as much travel as the high ones.
enum class ParamShape : uint8_t
{
    Linear,
    Cube,
};

// The engine setting a parameter drives.
enum class EngineField : uint8_t
{
    Role,
    Channel,
    Depth,
    Bypass,
    Selectivity,
    Listen,
    LowGuard,
    Sidechain,
    BellFreq,
    BellQ,
    BellDepth,
    BellActive,
    BellListen,
    HighGuard,
    Priority,
};

// Value texts of the values min, min + 1, ...; none: the value is shown as a number.
using ParamTexts = std::array<std::string_view, 5>;

struct ParamRow
{
    std::string_view name;
    ParamType type;
    double min;
    double max;
    double defaultValue;
    double step;
    std::string_view unit;
    ParamShape shape;
    ParamTexts hostTexts; // what hosts show (enum and bool)
    ParamTexts pageTexts; // what the editor shows
    EngineField field;
    int bell = 0; // the bell of a bell's field
};

inline constexpr ParamTexts kRoleTexts = {"Off", "Source", "Masker", "Self"};
inline constexpr ParamTexts kSwitchHostTexts = {"off", "on"};
inline constexpr ParamTexts kSwitchPageTexts = {"Off", "On"};
inline constexpr ParamTexts kBellListenPageTexts = {"Off", "Bell 1", "Bell 2", "Bell 3", "Bell 4"};

namespace table_rows
{
using T = ParamType;
using S = ParamShape;
using F = EngineField;
constexpr ParamTexts kNone = {};

constexpr ParamRow number(std::string_view name, T type, double min, double max, double def,
                          double step, std::string_view unit, S shape, F field, int bell = 0)
{
    return {name, type, min, max, def, step, unit, shape, kNone, kNone, field, bell};
}
constexpr ParamRow toggle(std::string_view name, F field, int bell = 0)
{
    return {name,  T::Bool, 0, 1, 0, 1, "", S::Linear, kSwitchHostTexts, kSwitchPageTexts,
            field, bell};
}
} // namespace table_rows

// clang-format off
inline constexpr ParamRow kParamTable[] = {
    //                          name            type       min     max      default  step  unit  shape     engine setting
    {"Role", ParamType::Enum, 0, 3, 0, 1, "", ParamShape::Linear, kRoleTexts, kRoleTexts, EngineField::Role},
    table_rows::number("Channel",     ParamType::Int,    1,      64,      1,       1,    "",   ParamShape::Linear, EngineField::Channel),
    table_rows::number("Depth",       ParamType::Double, 0,      100,     0,       0.1,  "%",  ParamShape::Linear, EngineField::Depth),
    table_rows::toggle("Bypass", EngineField::Bypass),
    table_rows::number("Selectivity", ParamType::Double, 0,      100,     11,      0.1,  "%",  ParamShape::Linear, EngineField::Selectivity),
    table_rows::toggle("Listen", EngineField::Listen),
    table_rows::number("Low Guard",   ParamType::Double, 20,     500,     20,      1,    "Hz", ParamShape::Cube,   EngineField::LowGuard),
    table_rows::toggle("Sidechain", EngineField::Sidechain),
    table_rows::number("Bell 1 Freq", ParamType::Double, 20,     20000,   1000,    0.1,  "Hz", ParamShape::Cube,   EngineField::BellFreq, 0),
    table_rows::number("Bell 1 Q",    ParamType::Double, 0.3,    10,      1.5,     0.01, "",   ParamShape::Linear, EngineField::BellQ, 0),
    table_rows::number("Bell 1 Depth",ParamType::Double, 0,      100,     0,       0.1,  "%",  ParamShape::Linear, EngineField::BellDepth, 0),
    table_rows::toggle("Bell 1 Active", EngineField::BellActive, 0),
    table_rows::number("Bell 2 Freq", ParamType::Double, 20,     20000,   1000,    0.1,  "Hz", ParamShape::Cube,   EngineField::BellFreq, 1),
    table_rows::number("Bell 2 Q",    ParamType::Double, 0.3,    10,      1.5,     0.01, "",   ParamShape::Linear, EngineField::BellQ, 1),
    table_rows::number("Bell 2 Depth",ParamType::Double, 0,      100,     0,       0.1,  "%",  ParamShape::Linear, EngineField::BellDepth, 1),
    table_rows::toggle("Bell 2 Active", EngineField::BellActive, 1),
    table_rows::number("Bell 3 Freq", ParamType::Double, 20,     20000,   1000,    0.1,  "Hz", ParamShape::Cube,   EngineField::BellFreq, 2),
    table_rows::number("Bell 3 Q",    ParamType::Double, 0.3,    10,      1.5,     0.01, "",   ParamShape::Linear, EngineField::BellQ, 2),
    table_rows::number("Bell 3 Depth",ParamType::Double, 0,      100,     0,       0.1,  "%",  ParamShape::Linear, EngineField::BellDepth, 2),
    table_rows::toggle("Bell 3 Active", EngineField::BellActive, 2),
    table_rows::number("Bell 4 Freq", ParamType::Double, 20,     20000,   1000,    0.1,  "Hz", ParamShape::Cube,   EngineField::BellFreq, 3),
    table_rows::number("Bell 4 Q",    ParamType::Double, 0.3,    10,      1.5,     0.01, "",   ParamShape::Linear, EngineField::BellQ, 3),
    table_rows::number("Bell 4 Depth",ParamType::Double, 0,      100,     0,       0.1,  "%",  ParamShape::Linear, EngineField::BellDepth, 3),
    table_rows::toggle("Bell 4 Active", EngineField::BellActive, 3),
    {"Bell Listen", ParamType::Int, 0, 4, 0, 1, "", ParamShape::Linear, {}, kBellListenPageTexts, EngineField::BellListen},
    table_rows::number("High Guard",  ParamType::Double, 2000,   20000,   20000,   1,    "Hz", ParamShape::Cube,   EngineField::HighGuard),
    table_rows::number("Priority",    ParamType::Int,    1,      8,       4,       1,    "",   ParamShape::Linear, EngineField::Priority),
};
// clang-format on

inline constexpr int kParamCount = static_cast<int>(std::size(kParamTable));

struct DepthDb
{
    float scaleDb = 0.0f; // deepest dip Depth allows, 0..-48
    float biasDb = -6.0f; // how far below the spread the local rule aims
};

// ---- How a parameter's value becomes its engine setting ----

constexpr int roleOf(double v)
{
    return static_cast<int>(v);
}
// Channel 1..64 is the registry's slot 0..63.
constexpr int channelIndexOf(double v)
{
    return static_cast<int>(v) - 1;
}
// Depth 0..100 % in single precision, as the dips have always been computed.
constexpr DepthDb depthOf(double v)
{
    float f = static_cast<float>(v) * 0.01f;
    if (f >= 1.0f)
        f = 1.0f;
    if (f < 0.0f)
        f = 0.0f;
    return DepthDb{-48.0f * f, -(30.0f * f + 6.0f)};
}
// Selectivity 0..100 % is 3..12 dB.
constexpr float selectivityDbOf(double v)
{
    return static_cast<float>(v * 9.0 * 0.01 + 3.0);
}
constexpr uint8_t switchOf(double v)
{
    return v >= 0.5 ? 1 : 0;
}
constexpr float floatOf(double v)
{
    return static_cast<float>(v);
}
constexpr int intOf(double v)
{
    return static_cast<int>(v);
}
// Bell Listen 0 is none, 1..4 a bell: -1..3.
constexpr int bellListenOf(double v)
{
    return static_cast<int>(v) - 1;
}

// The default of the row that drives a field (of a bell).
constexpr double tableDefault(EngineField field, int bell = 0)
{
    for (const ParamRow& row : kParamTable)
        if (row.field == field && row.bell == bell)
            return row.defaultValue;
    return 0.0;
}

// One slice's copy of the settings: what the engine computes with. A new
// one holds the table's defaults, converted.
struct SettingsSnapshot
{
    int role = roleOf(tableDefault(EngineField::Role)); // 0 Off, 1 Source, 2 Masker, 3 Self
    int channelIndex = channelIndexOf(tableDefault(EngineField::Channel)); // 0..63
    float depthScaleDb = depthOf(tableDefault(EngineField::Depth)).scaleDb;
    float depthBiasDb = depthOf(tableDefault(EngineField::Depth)).biasDb;
    uint8_t bypass = switchOf(tableDefault(EngineField::Bypass));
    float selectivity = selectivityDbOf(tableDefault(EngineField::Selectivity)); // dB, 3..12
    uint8_t listen = switchOf(tableDefault(EngineField::Listen));
    float lowGuardHz = floatOf(tableDefault(EngineField::LowGuard));
    uint8_t sidechainOn = switchOf(tableDefault(EngineField::Sidechain));
    float bellFreqHz[kBellCount] = {floatOf(tableDefault(EngineField::BellFreq, 0)),
                                    floatOf(tableDefault(EngineField::BellFreq, 1)),
                                    floatOf(tableDefault(EngineField::BellFreq, 2)),
                                    floatOf(tableDefault(EngineField::BellFreq, 3))};
    float bellQ[kBellCount] = {
        floatOf(tableDefault(EngineField::BellQ, 0)), floatOf(tableDefault(EngineField::BellQ, 1)),
        floatOf(tableDefault(EngineField::BellQ, 2)), floatOf(tableDefault(EngineField::BellQ, 3))};
    float bellDepthPercent[kBellCount] = {floatOf(tableDefault(EngineField::BellDepth, 0)),
                                          floatOf(tableDefault(EngineField::BellDepth, 1)),
                                          floatOf(tableDefault(EngineField::BellDepth, 2)),
                                          floatOf(tableDefault(EngineField::BellDepth, 3))};
    uint8_t bellActive[kBellCount] = {switchOf(tableDefault(EngineField::BellActive, 0)),
                                      switchOf(tableDefault(EngineField::BellActive, 1)),
                                      switchOf(tableDefault(EngineField::BellActive, 2)),
                                      switchOf(tableDefault(EngineField::BellActive, 3))};
    int bellListen = bellListenOf(tableDefault(EngineField::BellListen)); // -1 none, 0..3 bell
    float highGuardHz = floatOf(tableDefault(EngineField::HighGuard));
    int priority = intOf(tableDefault(EngineField::Priority));
};

inline constexpr SettingsSnapshot kEngineDefaults{};

class EngineSettings
{
public:
    EngineSettings();
    EngineSettings(const EngineSettings&) = delete;
    EngineSettings& operator=(const EngineSettings&) = delete;

    std::atomic<int> role{kEngineDefaults.role};
    std::atomic<int> channelIndex{kEngineDefaults.channelIndex};
    std::atomic<uint8_t> bypass{kEngineDefaults.bypass};
    std::atomic<float> selectivity{kEngineDefaults.selectivity};
    std::atomic<uint8_t> listen{kEngineDefaults.listen};
    std::atomic<float> lowGuardHz{kEngineDefaults.lowGuardHz};
    std::atomic<uint8_t> sidechainOn{kEngineDefaults.sidechainOn};
    std::atomic<float> bellFreqHz[kBellCount];
    std::atomic<float> bellQ[kBellCount];
    std::atomic<float> bellDepthPercent[kBellCount];
    std::atomic<uint8_t> bellActive[kBellCount];
    std::atomic<int> bellListen{kEngineDefaults.bellListen};
    std::atomic<float> highGuardHz{kEngineDefaults.highGuardHz};
    std::atomic<int> priority{kEngineDefaults.priority};

    // A parameter's value (plain, in its row's range) into the setting its
    // row drives.
    void apply(const ParamRow& row, double value);

    void setDepth(DepthDb depth);
    DepthDb depth() const;

    SettingsSnapshot snapshot() const;
    // The same, written over an existing copy (no temporary on the audio thread).
    void snapshotInto(SettingsSnapshot& s) const;

private:
    std::atomic<uint64_t> depthBits;
};

} // namespace ostrel
