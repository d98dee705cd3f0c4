#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "reader/OutputFileModel.h"
#include "reader/Reader.h"
#include "tests/support/FakeServices.h"
#include "tests/support/TempDir.h"
#include "tools/listinggen/ListingGenerator.h"

namespace vx::test {

// A dynamic or static listing holding every kind of result block.
inline gen::ListingSpec EveryBlockSpec(int ndim,
                                       gen::AnalysisKind kind = gen::AnalysisKind::Dynamic) {
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
inline std::string Lines(std::initializer_list<std::string_view> lines,
                         std::string_view end = "\r\n") {
    std::string bytes;
    for (auto l : lines) (bytes += l) += end;
    return bytes;
}

// A listing of examples/, by its file name.
inline std::string Example(std::string_view name) {
    return (SourceDir() / "examples" / name).string();
}

// Writes the listing to `file` and returns its path as the model takes it.
inline std::string Generate(const gen::ListingSpec& spec, const std::filesystem::path& file) {
    gen::WriteListingFile(spec, file.string());
    return file.string();
}

// A listing opened as the window opens it: path set, model cleared, scan run, with the
// stand-in window keeping the messages (of this opening only) and progress reports.
// What the reading returns is what it showed, in every test that opens a listing.
struct Scanned {
    OutputFileModel Model;
    FakeServices Host;
    Outcome Read;

    void Open(const std::filesystem::path& listing) {
        Model.FilePath = listing.string();
        Model.Reset();
        Host.Messages.clear();
        auto services = Host.Get();
        Read = ReadOutputFile(Model, services);
        EXPECT_EQ(Read.Notices, Host.Messages) << listing;
    }
};

// One line of the slow, obvious split of a listing's bytes, the witness for the
// buffered readers: its text without the terminator (a view into the bytes), where
// that text starts and where the next line starts.
struct PlainLine {
    std::string_view Text;
    std::size_t Start = 0, Next = 0;
};

inline std::vector<PlainLine> SplitPlainly(std::string_view bytes) {
    std::vector<PlainLine> lines;
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t j = i;
        while (j < bytes.size() && bytes[j] != '\r' && bytes[j] != '\n') ++j;
        const std::string_view text = bytes.substr(i, j - i);
        if (j < bytes.size())
            j += bytes[j] == '\r' && j + 1 < bytes.size() && bytes[j + 1] == '\n' ? 2 : 1;
        lines.push_back({text, i, j});
        i = j;
    }
    return lines;
}

// Edits the line `offset` lines after the `occurrence`-th line holding `marker`.
inline std::string EditLine(std::string bytes, std::string_view marker, int occurrence, int offset,
                            const std::function<std::string(std::string)>& edit) {
    const auto lines = SplitPlainly(bytes);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].Text.find(marker) == std::string_view::npos || --occurrence > 0) continue;
        const PlainLine& line = lines[i + static_cast<std::size_t>(offset)];
        return bytes.replace(line.Start, line.Text.size(), edit(std::string(line.Text)));
    }
    ADD_FAILURE() << "no line to edit";
    return bytes;
}

}  // namespace vx::test
