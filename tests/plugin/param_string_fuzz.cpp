// libFuzzer target: texts a host hands the controller to turn into values
// (getParamValueByString), in the C locale and in one with a decimal comma.
// Whatever the text, an accepted one gives a value within 0..1, and the text
// of that value reads back to it.
#include "plugin/ostrel.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Steinberg;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ostrel::Ostrel* plugin = []
    {
        auto* p = new ostrel::Ostrel();
        p->initialize(nullptr);
        return p;
    }();
    if (size < 2)
        return 0;
    const Vst::ParamID id = data[0] % 32;
    const bool comma = (data[1] & 1) != 0;
    std::setlocale(LC_NUMERIC, comma ? "de_DE.UTF-8" : "C");

    // The rest as UTF-16 text (two bytes a unit), zero-terminated.
    Vst::String128 text = {};
    const size_t units = std::min<size_t>((size - 2) / 2, 127);
    for (size_t i = 0; i < units; ++i)
        text[i] = static_cast<Vst::TChar>(data[2 + 2 * i] | (data[3 + 2 * i] << 8));

    Vst::ParamValue value = -1.0;
    if (plugin->getParamValueByString(id, text, value) == kResultTrue)
    {
        if (!(value >= 0.0 && value <= 1.0))
            std::abort();
        Vst::String128 back = {};
        if (plugin->getParamStringByValue(id, value, back) != kResultTrue)
            std::abort();
        Vst::ParamValue again = -1.0;
        if (plugin->getParamValueByString(id, back, again) == kResultTrue &&
            !(again >= 0.0 && again <= 1.0))
            std::abort();
    }
    std::setlocale(LC_NUMERIC, "C");
    return 0;
}
