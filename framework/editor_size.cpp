#include "framework/editor_size.h"

#include <algorithm>
#include <cmath>

namespace plugfw
{

EditorSize NearestEditorSize(const EditorSizeRules& rules, double width, double height,
                             double scale)
{
    const double w0 = rules.designWidth;
    const double h0 = rules.designHeight;
    if (!(w0 > 0.0) || !(h0 > 0.0) || !(scale > 0.0) || !std::isfinite(scale))
        return {rules.designWidth, rules.designHeight};
    if (!std::isfinite(width) || !std::isfinite(height))
        width = height = 0.0;
    // The factor of the design size whose point lies nearest to the asked
    // one (its projection on the line of the design's proportions).
    double f = (width * w0 + height * h0) / (scale * (w0 * w0 + h0 * h0));
    const double lowest = std::max(rules.minWidth / w0, rules.minHeight / h0);
    const double highest = std::min(rules.maxWidth / w0, rules.maxHeight / h0);
    if (lowest <= highest)
        f = std::clamp(f, lowest, highest);
    else
        f = 1.0; // bounds that no size of these proportions meets
    const long width0 = std::lround(w0 * f);
    return {static_cast<int>(width0),
            static_cast<int>(std::lround(static_cast<double>(width0) * h0 / w0))};
}

} // namespace plugfw
