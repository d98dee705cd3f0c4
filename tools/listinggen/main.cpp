// vorax-listing-gen: writes a synthetic VORAX listing for tests, examples and load trials.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/listinggen/ListingGenerator.h"

namespace {

using vx::gen::AnalysisKind;
using vx::gen::BeamPoint;
using vx::gen::LineEnding;
using vx::gen::ListingSpec;

constexpr const char* kUsage = R"(usage: vorax-listing-gen [options] [-o FILE]

Writes a synthetic VORAX result listing (Latin-1, CRLF line ends by default) to FILE,
or to standard output when -o is not given.

  --kind thermal|static|dynamic   analysis kind (dynamic)
  --ndim 2|3                      space dimensions (3)
  --seed N                        value stream; the same seed gives the same bytes (1)
  --steps N                       time steps (3)
  --size BYTES                    keep adding steps until the listing is this large;
                                  suffixes K, M, G (powers of 1024): --size 1G, 500M.
                                  Without --nodes the node count grows with the size so
                                  that the step count stays in the low thousands
  --nodes N   --solids N          nodes (10); solid elements of a thermal listing (0)
  --trusses N --beams N --shells N --soils N
                                  element counts (0)
  --beam-points N                 result points per beam element (3)
  --surfaces N                    integration points per shell element (4)
  --fibers N                      longitudinal fibres of the beam section (0)
  --stress-points E:P,E:P,...     one beam stress block per entry and step
  --tangent-points E:P,...        one tangent-modulus block per entry and step
  --all-blocks                    every kind of block: 3 trusses, 4 beams of 3 points,
                                  2 shells of 4 surfaces, 2 soils, 12 fibres, stress
                                  blocks 2:1 and 3:2, tangent block 2:1 (thermal: 4
                                  solids); other options given override these
  --no-displacements --no-eigen   leave out the displacement block / the eigen value
  --waves                         displacements ring down like a struck cantilever
                                  (two damped modes) instead of random numbers
  --drop-blocks-from STEP         from this step on, only displacements are printed
  --step-delay MS                 write each step out, then wait MS milliseconds: a
                                  running analysis, to follow (voraxextract-cli follow)
  --first-time T --time-increment T
                                  time of step 1 and the step between times (60, 60)
  --version-text TEXT             version on the identification line (7.4.2)
  --line-ending crlf|cr|lf        line ends (crlf)
  -o FILE                         output file
  --help                          this text
)";

[[noreturn]] void Usage(const std::string& problem) {
    std::fprintf(stderr, "vorax-listing-gen: %s\n(--help lists the options)\n", problem.c_str());
    std::exit(2);
}

long long Integer(std::string_view option, const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0)
        Usage(std::string(option) + " wants a whole number, not '" + text + "'");
    return value;
}

int Count(std::string_view option, const std::string& text) {
    const long long value = Integer(option, text);
    if (value < 0 || value > 100000000) Usage(std::string(option) + " is out of range");
    return static_cast<int>(value);
}

double Real(std::string_view option, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') Usage(std::string(option) + " wants a number");
    return value;
}

std::int64_t Size(const std::string& text) {
    std::string digits = text;
    std::int64_t unit = 1;
    if (!digits.empty()) {
        switch (digits.back()) {
            case 'k':
            case 'K':
                unit = std::int64_t{1} << 10;
                break;
            case 'm':
            case 'M':
                unit = std::int64_t{1} << 20;
                break;
            case 'g':
            case 'G':
                unit = std::int64_t{1} << 30;
                break;
            case 't':
            case 'T':
                unit = std::int64_t{1} << 40;
                break;
            default:
                break;
        }
        if (unit != 1) digits.pop_back();
    }
    const long long value = Integer("--size", digits);
    if (value <= 0 || value > (std::int64_t{1} << 50) / unit) Usage("--size is out of range");
    return value * unit;
}

std::vector<BeamPoint> Points(std::string_view option, const std::string& text) {
    std::vector<BeamPoint> points;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        const std::size_t colon = item.find(':');
        if (colon == std::string::npos)
            Usage(std::string(option) + " wants ELEMENT:POINT pairs, not '" + item + "'");
        points.push_back(
            {Count(option, item.substr(0, colon)), Count(option, item.substr(colon + 1))});
        start = comma + 1;
    }
    return points;
}

// A big listing of a small mesh would hold hundreds of thousands of steps, more than a
// reader's 16-bit step counter allows; a bigger mesh keeps the count near 2000 instead.
void ScaleNodesToSize(ListingSpec& spec) {
    const std::int64_t perNode = spec.kind == AnalysisKind::Thermal ? 12
                                 : spec.ndim == 3                   ? 100
                                                                    : 48;
    const std::int64_t wanted = spec.targetBytes / (2000 * perNode);
    if (wanted > spec.nodes) spec.nodes = static_cast<int>(std::min<std::int64_t>(wanted, 30000));
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    ListingSpec spec;
    std::string output;
    bool nodesGiven = false;
    bool pointsGiven = false;

    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--all-blocks")
            vx::gen::AddEveryBlock(spec);  // first, so that other options override it
    }

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--all-blocks") continue;
        if (arg == "--no-displacements") {
            spec.displacements = false;
            continue;
        }
        if (arg == "--no-eigen") {
            spec.eigenValue = false;
            continue;
        }
        if (arg == "--waves") {
            spec.waves = true;
            continue;
        }
        if (i + 1 >= args.size()) Usage("unknown option or missing value: " + arg);
        const std::string& value = args[++i];
        if (arg == "--kind") {
            if (value == "thermal")
                spec.kind = AnalysisKind::Thermal;
            else if (value == "static")
                spec.kind = AnalysisKind::Static;
            else if (value == "dynamic")
                spec.kind = AnalysisKind::Dynamic;
            else
                Usage("--kind is thermal, static or dynamic");
        } else if (arg == "--ndim") {
            spec.ndim = Count(arg, value);
        } else if (arg == "--seed") {
            spec.seed = static_cast<std::uint64_t>(Integer(arg, value));
        } else if (arg == "--steps") {
            spec.steps = Count(arg, value);
        } else if (arg == "--size") {
            spec.targetBytes = Size(value);
        } else if (arg == "--nodes") {
            spec.nodes = Count(arg, value);
            nodesGiven = true;
        } else if (arg == "--solids") {
            spec.solids = Count(arg, value);
        } else if (arg == "--trusses") {
            spec.trusses = Count(arg, value);
        } else if (arg == "--beams") {
            spec.beams = Count(arg, value);
        } else if (arg == "--beam-points") {
            spec.beamPoints = Count(arg, value);
        } else if (arg == "--shells") {
            spec.shells = Count(arg, value);
        } else if (arg == "--surfaces") {
            spec.shellSurfaces = Count(arg, value);
        } else if (arg == "--soils") {
            spec.soils = Count(arg, value);
        } else if (arg == "--fibers") {
            spec.fibers = Count(arg, value);
        } else if (arg == "--stress-points") {
            spec.stressPoints = Points(arg, value);
            pointsGiven = true;
        } else if (arg == "--tangent-points") {
            spec.tangentPoints = Points(arg, value);
            pointsGiven = true;
        } else if (arg == "--line-ending") {
            if (value == "crlf")
                spec.lineEnding = LineEnding::CRLF;
            else if (value == "cr")
                spec.lineEnding = LineEnding::CR;
            else if (value == "lf")
                spec.lineEnding = LineEnding::LF;
            else
                Usage("--line-ending is crlf, cr or lf");
        } else if (arg == "--drop-blocks-from") {
            spec.dropBlocksFromStep = Count(arg, value);
        } else if (arg == "--step-delay") {
            spec.stepDelayMs = Count(arg, value);
        } else if (arg == "--first-time") {
            spec.firstTime = Real(arg, value);
        } else if (arg == "--time-increment") {
            spec.timeIncrement = Real(arg, value);
        } else if (arg == "--version-text") {
            spec.version = value;
        } else if (arg == "-o") {
            output = value;
        } else {
            Usage("unknown option: " + arg);
        }
    }
    if (!pointsGiven && spec.beams == 0) {
        // The preset's stress blocks name beams; without beams there is nothing to name.
        spec.stressPoints.clear();
        spec.tangentPoints.clear();
    }
    if (spec.targetBytes > 0 && !nodesGiven) ScaleNodesToSize(spec);

    try {
        int steps = 0;
        if (output.empty()) {
#ifdef _WIN32
            _setmode(_fileno(stdout), _O_BINARY);  // CR and LF go out as generated
#endif
            steps = vx::gen::WriteListing(spec, stdout);
        } else {
            steps = vx::gen::WriteListingFile(spec, output);
            std::fprintf(stderr, "vorax-listing-gen: %d steps, %lld bytes, %d nodes -> %s\n", steps,
                         static_cast<long long>(std::filesystem::file_size(output)), spec.nodes,
                         output.c_str());
        }
        if (steps >= 32767)
            std::fprintf(stderr,
                         "vorax-listing-gen: warning: %d steps; a reader counts at most 32766\n",
                         steps);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
