// The arguments of `voraxextract-cli export`, any of them, and the --items lists: the
// parser must refuse with a reason or give options that hold together, and an item list
// must give exactly what a plain reading of its pieces gives.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "app/cli/ExportOptions.h"
#include "export/ItemList.h"
#include "fuzz/FuzzSupport.h"

namespace {

const char* const kOptions[] = {
    "-o",      "--output",    "--variable", "--vector", "--all-vectors", "--vector-index",
    "--from",  "--to",        "--step",     "--items",  "--format",      "--steps",
    "--times", "--all-steps", "--columns",  "--rows",   "--quiet",       "xlsx",
    "csv",     "listing.out"};

// The slow, obvious reading: each piece matched whole, ranges written out one by one.
bool PlainItems(const std::string& list, std::int64_t bound, std::vector<std::int16_t>& items) {
    static const std::regex piece(R"(^[ \t]*(\d+)(?:-(\d+)(?::(\d+))?)?[ \t]*$)");
    items.clear();
    std::size_t start = 0;
    if (list.find_first_not_of(" \t") == std::string::npos) return false;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        const std::string text =
            list.substr(start, comma == std::string::npos ? comma : comma - start);
        std::smatch m;
        if (!std::regex_match(text, m, piece)) return false;
        auto number = [](std::string digits) {
            digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
            return digits.size() > 12 ? std::int64_t{1} << 40 : std::stoll(digits);
        };
        const std::int64_t a = number(m[1]), b = m[2].matched ? number(m[2]) : a;
        const std::int64_t s = m[3].matched ? number(m[3]) : 1;
        if (s < 1 || a < 1 || b < 1 || a > bound || b > bound) return false;
        for (std::int64_t v = a;; v += a <= b ? s : -s) {
            if ((a <= b && v > b) || (a > b && v < b)) break;
            if (items.size() == 32767) return false;
            items.push_back(static_cast<std::int16_t>(v));
        }
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vx;
    FuzzedDataProvider in(data, size);

    // An item list and a bound first, then the arguments: known words or any text.
    const auto bound = in.ConsumeIntegralInRange<std::int32_t>(0, 32767);
    const std::string list = in.ConsumeRandomLengthString(64);
    std::vector<std::int16_t> items, plain;
    std::string error;
    const bool parsed = ParseItems(list, bound, items, error);
    const bool plainParsed = PlainItems(list, bound, plain);
    VX_FUZZ_CHECK(parsed == plainParsed);
    if (parsed) {
        VX_FUZZ_CHECK(items == plain);
    } else {
        VX_FUZZ_CHECK(error.find("item") != std::string::npos);
    }

    std::vector<std::string> args;
    while (in.remaining_bytes() > 0 && args.size() < 24)
        args.push_back(in.ConsumeBool() ? std::string(in.PickValueInArray(kOptions))
                                        : in.ConsumeRandomLengthString(16));
    cli::ExportOptions options;
    error.clear();
    if (cli::ParseExportArgs(args, options, error)) {
        VX_FUZZ_CHECK(error.empty());
        const ExportRequest& r = options.Request;
        VX_FUZZ_CHECK(!options.File.empty() && !r.Sheet.Path.empty());
        VX_FUZZ_CHECK(!(r.EveryVectorKind && !r.VectorKinds.empty()));
        // A place names one vector kind: it comes alone or with the one text it must match.
        for (std::size_t i = 0; i < r.VectorKinds.size(); ++i)
            VX_FUZZ_CHECK(!r.VectorKinds[i].Index || (i == 0 && r.VectorKinds.size() == 1));
        for (std::size_t i = 1; i < r.VectorKinds.size(); ++i)
            VX_FUZZ_CHECK(r.VectorKinds[i].Text.has_value());
    } else {
        VX_FUZZ_CHECK(!error.empty());
    }
    return 0;
}
