#include "framework/param_shape.h"

#include "framework/iparam.h"

#include <cmath>

namespace plugfw
{

namespace
{

// Position of `v` inside the range, 0 at min and 1 at max; 0 for an empty range.
double RangeFraction(double v, const IParam& param)
{
    const double range = param.Max() - param.Min();
    return range > 0.0 ? (v - param.Min()) / range : 0.0;
}

} // namespace

std::unique_ptr<Shape> ShapeLinear::Clone() const
{
    return std::make_unique<ShapeLinear>(*this);
}

double ShapeLinear::NormalisedToValue(double x, const IParam& param) const
{
    return param.Min() + x * (param.Max() - param.Min());
}

double ShapeLinear::ValueToNormalised(double v, const IParam& param) const
{
    return RangeFraction(v, param);
}

std::unique_ptr<Shape> ShapePowCurve::Clone() const
{
    return std::make_unique<ShapePowCurve>(*this);
}

int ShapePowCurve::DisplayType() const
{
    if (mExponent > 2.5)
        return kDisplayCubeRoot;
    if (mExponent > 1.5)
        return kDisplaySquareRoot;
    if (mExponent < 0.4)
        return kDisplayCubed;
    if (mExponent < 0.6666666666666666)
        return kDisplaySquared;
    return kDisplayLinear;
}

double ShapePowCurve::NormalisedToValue(double x, const IParam& param) const
{
    return std::pow(x, mExponent) * (param.Max() - param.Min()) + param.Min();
}

double ShapePowCurve::ValueToNormalised(double v, const IParam& param) const
{
    return std::pow(RangeFraction(v, param), 1.0 / mExponent);
}

} // namespace plugfw
