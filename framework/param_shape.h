// plugfw::Shape: how a parameter's real value maps to and from the
// normalised 0..1 range in which hosts and the page exchange values. Each
// IParam owns one; the display type tells a host how the knob is curved.
#pragma once

#include <memory>

namespace plugfw
{

class IParam;

class Shape
{
public:
    // Curve hints reported to the page alongside each parameter.
    enum DisplayTypeCode
    {
        kDisplayLinear = 0,
        kDisplaySquared = 3,
        kDisplaySquareRoot = 4,
        kDisplayCubed = 5,
        kDisplayCubeRoot = 6,
    };

    virtual ~Shape() = default;
    virtual std::unique_ptr<Shape> Clone() const = 0;
    virtual void Init(const IParam& /*param*/) {}
    virtual int DisplayType() const = 0;
    virtual double NormalisedToValue(double x, const IParam& param) const = 0;
    virtual double ValueToNormalised(double v, const IParam& param) const = 0;
};

class ShapeLinear : public Shape
{
public:
    std::unique_ptr<Shape> Clone() const override;
    int DisplayType() const override { return kDisplayLinear; }
    double NormalisedToValue(double x, const IParam& param) const override;
    double ValueToNormalised(double v, const IParam& param) const override;
};

// value = x^exponent over the range: exponent 3 spends most of a knob's travel
// on the low end of a frequency range.
class ShapePowCurve : public Shape
{
public:
    explicit ShapePowCurve(double exponent) : mExponent(exponent) {}

    std::unique_ptr<Shape> Clone() const override;
    int DisplayType() const override;
    double NormalisedToValue(double x, const IParam& param) const override;
    double ValueToNormalised(double v, const IParam& param) const override;

    double Exponent() const { return mExponent; }

private:
    double mExponent;
};

} // namespace plugfw
