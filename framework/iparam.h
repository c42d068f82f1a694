// plugfw::IParam: one automatable setting of the plug-in. It holds the
// parameter's type, range, step, default, display rules and its current real
// value. Only the value changes after the plug-in's constructor has defined
// the parameter; it is atomic because the audio thread reads it while the
// main thread may set it.
#pragma once

#include "framework/param_shape.h"

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plugfw
{

class IParam
{
public:
    enum Type
    {
        kTypeNone = 0,
        kTypeBool = 1,
        kTypeInt = 2,
        kTypeEnum = 3,
        kTypeDouble = 4,
    };

    // Bits of Flags().
    enum Flag
    {
        NotAutomatable = 1,
        Stepped = 2,
        NegatedDisplay = 4,
        SignedDisplay = 8,
    };

    // Room for a name, label, group or value text, terminator included.
    static constexpr int kTextSize = 32;
    // "Custom unit": carried for hosts, interpreted nowhere.
    static constexpr int kUnitCustom = 21;

    // Writes the display text of a real value into a kTextSize buffer.
    using DisplayFunc = std::function<void(double value, char* text)>;

    struct ValueText
    {
        double value = 0.0;
        char text[kTextSize] = {};
    };

    IParam();
    ~IParam();
    IParam(const IParam&) = delete;
    IParam& operator=(const IParam&) = delete;

    // Definitions, made once by the plug-in's constructor. Each sets the type
    // only while it is still unset, so a wrapper's type survives its inner call.
    void DefineDouble(const char* name, double defaultValue, double min, double max, double step,
                      const char* label = "", int flags = 0, const char* group = "",
                      const Shape& shape = ShapeLinear(), int unitCode = kUnitCustom,
                      DisplayFunc displayFunction = nullptr);
    void DefineInt(const char* name, double defaultValue, double min, double max,
                   const char* label = "", int flags = 0, const char* group = "");
    // Texts, when given, label the values 0, 1, ... (at most `count` of them).
    void DefineEnum(const char* name, double defaultValue, int count, const char* label = "",
                    int flags = 0, const char* group = "",
                    std::initializer_list<const char*> texts = {});
    void DefineBool(const char* name, double defaultValue, const char* label = "", int flags = 0,
                    const char* group = "", const char* offText = "off", const char* onText = "on");

    // Values.
    double Clamp(double v) const;
    void Set(double v) { mValue.store(Clamp(v), std::memory_order_relaxed); }
    double Value() const { return mValue.load(std::memory_order_relaxed); }
    double FromNormalised(double x) const;
    double ToNormalised(double v) const;
    void SetNormalised(double x) { Set(FromNormalised(x)); }
    double Normalised() const { return ToNormalised(Value()); }

    // Texts.
    void AddValueText(double value, const char* text);
    const char* UnitLabel() const;
    // Fills `text` (room for kTextSize bytes) with the display text of `v`.
    void FormatValue(double v, bool isNormalised, char* text, bool withValueTexts = true) const;
    std::string FormatValue(double v, bool isNormalised, bool withValueTexts = true) const;
    double ParseText(const char* text) const;
    // What a user typed: a value text in any case, or a number with a decimal
    // point or comma, an optional k or M multiplier and the parameter's own
    // unit ("5 kHz", "2,5k", "40 %"), clamped into range. Nothing when the
    // text reads as none of these.
    std::optional<double> ParseTypedText(std::string_view text) const;
    // Appends the parameter's one-line JSON description for the page.
    void DescribeJson(int index, std::string& out) const;

    // Definition fields.
    int GetType() const { return mType; }
    int UnitCode() const { return mUnitCode; }
    double Min() const { return mMin; }
    double Max() const { return mMax; }
    double Step() const { return mStep; }
    double DefaultValue() const { return mDefault; }
    int DisplayPrecision() const { return mDisplayPrecision; }
    int Flags() const { return mFlags; }
    bool HasFlag(Flag flag) const { return (mFlags & flag) != 0; }
    const char* Name() const { return mName; }
    const char* Label() const { return mLabel; }
    const char* Group() const { return mGroup; }
    const Shape& GetShape() const { return *mShape; }
    int NValueTexts() const { return static_cast<int>(mValueTexts.size()); }
    const ValueText& GetValueText(int i) const { return mValueTexts[static_cast<size_t>(i)]; }

private:
    int mType = kTypeNone;
    int mUnitCode = kUnitCustom;
    std::atomic<double> mValue{0.0};
    double mMin = 0.0;
    double mMax = 1.0;
    double mStep = 1.0;
    double mDefault = 0.0;
    int mDisplayPrecision = 0;
    int mFlags = 0;
    char mName[kTextSize] = {};
    char mLabel[kTextSize] = {};
    char mGroup[kTextSize] = {};
    std::unique_ptr<Shape> mShape;
    DisplayFunc mDisplayFunction;
    std::vector<ValueText> mValueTexts;
};

} // namespace plugfw
