// The engine's vector versions (engine/vector_version.h) that the cost and
// session benchmarks measure, each case once per version: the environment
// variable OSTREL_BENCH_VECTOR names them, comma-separated ("avx512,avx2",
// "baseline"); unset, every version this processor runs but the baseline.
// Only the benchmarks read it; the plug-in always runs its fastest version.
#pragma once

#include "engine/vector_version.h"

#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

namespace ostrel_bench
{

std::vector<ostrel::VectorVersion> measuredVectorVersions();

// Runs the engine in one version while it lives.
class VectorVersionScope
{
public:
    explicit VectorVersionScope(ostrel::VectorVersion version);
    ~VectorVersionScope();
    VectorVersionScope(const VectorVersionScope&) = delete;
    VectorVersionScope& operator=(const VectorVersionScope&) = delete;

private:
    ostrel::VectorVersion previous;
};

// Registers `name`/<version> for each measured version, the case running in
// that version; returns the registrations for their arguments.
template <class Case>
std::vector<benchmark::internal::Benchmark*> registerPerVectorVersion(const std::string& name,
                                                                      Case run)
{
    std::vector<benchmark::internal::Benchmark*> registered;
    for (const ostrel::VectorVersion version : measuredVectorVersions())
        registered.push_back(
            benchmark::RegisterBenchmark((name + "/" + ostrel::vectorVersionName(version)).c_str(),
                                         [run, version](benchmark::State& state)
                                         {
                                             const VectorVersionScope scope(version);
                                             run(state);
                                         }));
    return registered;
}

} // namespace ostrel_bench
