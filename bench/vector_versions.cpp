#include "vector_versions.h"

#include <cstdlib>
#include <sstream>

namespace ostrel_bench
{

namespace
{

using ostrel::VectorVersion;

std::string namesOf(const std::vector<VectorVersion>& versions)
{
    std::string names;
    for (const VectorVersion v : versions)
        names += (names.empty() ? "" : ", ") + std::string(ostrel::vectorVersionName(v));
    return names.empty() ? "none" : names;
}

std::vector<VectorVersion> chosenVersions()
{
    std::vector<VectorVersion> available;
    for (int v = ostrel::kVectorVersionCount - 1; v >= 0; --v)
        if (ostrel::vectorVersionAvailable(static_cast<VectorVersion>(v)))
            available.push_back(static_cast<VectorVersion>(v));
    benchmark::AddCustomContext("vector_versions_of_this_cpu", namesOf(available));

    std::vector<VectorVersion> chosen;
    const char* asked = std::getenv("OSTREL_BENCH_VECTOR");
    if (asked && *asked)
    {
        std::stringstream list(asked);
        std::string name;
        while (std::getline(list, name, ','))
            for (const VectorVersion v : available)
                if (name == ostrel::vectorVersionName(v))
                    chosen.push_back(v);
    }
    else
    {
        for (const VectorVersion v : available)
            if (v != VectorVersion::Baseline || available.size() == 1)
                chosen.push_back(v);
    }
    benchmark::AddCustomContext("vector_versions_measured", namesOf(chosen));
    // The yardstick of the cost ratios is built without the engine's
    // versions: x_bank divides every version by the same bank.
    benchmark::AddCustomContext("reference_bank_version",
                                "baseline, whichever version is measured");
    return chosen;
}

} // namespace

std::vector<VectorVersion> measuredVectorVersions()
{
    static const std::vector<VectorVersion> versions = chosenVersions();
    return versions;
}

VectorVersionScope::VectorVersionScope(VectorVersion version)
    : previous(ostrel::activeVectorVersion())
{
    ostrel::chooseVectorVersion(version);
}

VectorVersionScope::~VectorVersionScope()
{
    ostrel::chooseVectorVersion(previous);
}

} // namespace ostrel_bench
