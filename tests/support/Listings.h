#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "reader/OutputFileModel.h"
#include "tools/listinggen/ListingGenerator.h"

namespace vx::test {

// A dynamic or static listing holding every kind of result block.
inline gen::ListingSpec EveryBlockSpec(int ndim, gen::AnalysisKind kind = gen::AnalysisKind::Dynamic) {
    gen::ListingSpec spec;
    gen::AddEveryBlock(spec);
    spec.kind = kind;
    spec.ndim = ndim;
    spec.nodes = 13;
    spec.solids = 0;
    spec.tangentPoints = {{4, 3}};
    spec.steps = 5;
    return spec;
}

inline gen::ListingSpec ThermalSpec(int nodes = 12, int steps = 6) {
    gen::ListingSpec spec;
    spec.kind = gen::AnalysisKind::Thermal;
    spec.nodes = nodes;
    spec.solids = 4;
    spec.steps = steps;
    return spec;
}

// Hand-written listing text: each line followed by `end`.
inline std::string Lines(std::initializer_list<std::string_view> lines, std::string_view end = "\r\n") {
    std::string bytes;
    for (auto l : lines) (bytes += l) += end;
    return bytes;
}

// Writes the listing to `file` and returns its path as the model takes it.
inline std::string Generate(const gen::ListingSpec& spec, const std::filesystem::path& file) {
    gen::WriteListingFile(spec, file.string());
    return file.string();
}

}  // namespace vx::test
