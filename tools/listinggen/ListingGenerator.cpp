#include "tools/listinggen/ListingGenerator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace vx::gen {
namespace {

// ---------------------------------------------------------------------------------------
// Output: our own large buffer in front of the FILE, so a gigabyte listing costs a few
// thousand fwrite calls and memory stays the size of the buffer whatever the listing size.

class Sink {
public:
    Sink(std::FILE* file, LineEnding ending) : m_file(file), m_buffer(new char[kCapacity]) {
        switch (ending) {
            case LineEnding::CRLF:
                m_eol = "\r\n";
                break;
            case LineEnding::CR:
                m_eol = "\r";
                break;
            case LineEnding::LF:
                m_eol = "\n";
                break;
        }
    }
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;

    void Put(char c) {
        if (m_used == kCapacity) Flush();
        m_buffer[m_used++] = c;
    }
    void Put(std::string_view text) {
        if (text.size() > kCapacity - m_used) {
            Flush();
            if (text.size() > kCapacity) {
                WriteRaw(text.data(), text.size());
                return;
            }
        }
        std::memcpy(m_buffer.get() + m_used, text.data(), text.size());
        m_used += text.size();
    }
    void Spaces(int count) {
        for (int i = 0; i < count; ++i) Put(' ');
    }
    // Right-aligned in `width` characters, wider when the text needs it.
    void Padded(std::string_view text, int width) {
        Spaces(width - static_cast<int>(text.size()));
        Put(text);
    }
    void Int(long long value, int width) {
        char digits[24];
        int n = 0;
        const bool negative = value < 0;
        unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                                : static_cast<unsigned long long>(value);
        do {
            digits[n++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (negative) digits[n++] = '-';
        Spaces(width - n);
        while (n > 0) Put(digits[--n]);
    }
    void Line(std::string_view text) {
        Put(text);
        EndLine();
    }
    void EndLine() { Put(m_eol); }

    void Flush() {
        if (m_used == 0) return;
        WriteRaw(m_buffer.get(), m_used);
        m_used = 0;
    }
    std::int64_t Bytes() const { return m_written + static_cast<std::int64_t>(m_used); }

private:
    static constexpr std::size_t kCapacity = std::size_t{4} << 20;

    void WriteRaw(const char* data, std::size_t size) {
        if (std::fwrite(data, 1, size, m_file) != size)
            throw std::runtime_error("vorax-listing-gen: write failed");
        m_written += static_cast<std::int64_t>(size);
    }

    std::FILE* m_file;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
    std::int64_t m_written = 0;
    std::string_view m_eol = "\r\n";
};

// ---------------------------------------------------------------------------------------
// Printed numbers. Every value is built as text from integers, so that the writer and
// ExpectedValue agree to the last bit without depending on how printf rounds.

struct Word {
    char text[40];
    int length = 0;

    std::string_view View() const { return {text, static_cast<std::size_t>(length)}; }
    void Add(char c) { text[length++] = c; }
    void AddDigits(std::uint64_t value, int count) {  // exactly `count` digits, zero-padded
        for (int i = count - 1; i >= 0; --i) {
            text[length + i] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
        length += count;
    }
    void AddNumber(std::uint64_t value) {
        int count = 1;
        for (std::uint64_t v = value; v >= 10; v /= 10) ++count;
        AddDigits(value, count);
    }
};

// Exponent form as VORAX prints it: [-]0.dddddE+ee, the mantissa in [0.1, 1).
Word ExponentForm(bool negative, std::uint64_t mantissa, int digits, int exponent) {
    Word w;
    if (negative) w.Add('-');
    w.Add('0');
    w.Add('.');
    w.AddDigits(mantissa, digits);
    w.Add('E');
    w.Add(exponent < 0 ? '-' : '+');
    const int magnitude = exponent < 0 ? -exponent : exponent;
    w.AddDigits(static_cast<std::uint64_t>(magnitude), magnitude >= 100 ? 3 : 2);
    return w;
}

// Fixed form [-]iii.ddd of scaled / 10^decimals.
Word FixedForm(std::int64_t scaled, int decimals) {
    Word w;
    std::uint64_t magnitude =
        scaled < 0 ? 0ULL - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::uint64_t unit = 1;
    for (int i = 0; i < decimals; ++i) unit *= 10;
    if (scaled < 0) w.Add('-');
    w.AddNumber(magnitude / unit);
    if (decimals > 0) {
        w.Add('.');
        w.AddDigits(magnitude % unit, decimals);
    }
    return w;
}

// Five significant digits in exponent form, from a double (times, coordinates).
Word ExponentForm5(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.4E", value);  // [-]d.ddddE[+-]xx[x]
    const char* p = text;
    const bool negative = *p == '-';
    if (negative) ++p;
    std::uint64_t mantissa = 0;
    for (; *p != 'E'; ++p)
        if (*p != '.') mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    int exponent = std::atoi(p + 1);
    if (mantissa != 0) ++exponent;  // d.dddd x 10^e == 0.ddddd x 10^(e+1)
    return ExponentForm(negative && mantissa != 0, mantissa, 5, exponent);
}

// ---------------------------------------------------------------------------------------
// Deterministic values: a hash of the value's coordinates mapped to a range.

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// Block ids above the public ones, for the numbers of the input echo.
constexpr int kCoordinateBlock = 40;
constexpr int kNoiseBlock = 41;
constexpr int kFillerBlock = 42;

std::uint64_t Hash(std::uint64_t seed, int block, int step, long long record, int field, int sub) {
    std::uint64_t h = Mix(seed ^ 0x5652584C47454E31ULL);  // per-seed stream
    h = Mix(h ^ (static_cast<std::uint64_t>(block & 0xFF) << 56) ^
            (static_cast<std::uint64_t>(field & 0xFF) << 48) ^
            (static_cast<std::uint64_t>(sub & 0xFFFF) << 32) ^
            static_cast<std::uint64_t>(record & 0xFFFFFFFF));
    return Mix(h ^ static_cast<std::uint64_t>(static_cast<std::uint32_t>(step)));
}

// The displacement of node `record` in DOF `field` at a step, as spec.waves has it.
double Vibration(const ListingSpec& spec, int step, int record, int field) {
    constexpr double kPi = 3.14159265358979323846;
    const double t = spec.firstTime + (step - 1) * spec.timeIncrement;
    const double x = static_cast<double>(record) / std::max(spec.nodes, 1);
    const double first = std::sin(kPi / 2 * x) * std::sin(2 * kPi * 0.8 * t) * std::exp(-0.25 * t);
    const double second =
        0.35 * std::sin(3 * kPi / 2 * x) * std::sin(2 * kPi * 2.3 * t + 0.6) * std::exp(-0.6 * t);
    const double value = 0.02 / field * (first + second);
    // Never exactly 0, which a reader keeps for a word it could not find.
    return value == 0 ? 1e-9 : value;
}

// The ranges below are chosen so that every block mixes signs and magnitudes, and so that
// no printed value is exactly 0 (0 is what a reader keeps for a word it failed to find).
Word MakeValue(const ListingSpec& spec, Block block, int step, int record, int field, int sub) {
    if (spec.waves && block == Block::Displacements)
        return ExponentForm5(Vibration(spec, step, record, field));
    const std::uint64_t h = Hash(spec.seed, static_cast<int>(block), step, record, field, sub);
    const bool negative = (h >> 63) != 0;
    const std::uint64_t r = h >> 8;  // independent of the sign bit
    switch (block) {
        case Block::Displacements:
            return ExponentForm(negative, 10000 + r % 90000, 5,
                                static_cast<int>((r >> 40) % 6) - 4);
        case Block::EigenValue:
            return ExponentForm(false, 50000 + r % 50000, 5, 0);
        case Block::Truss: {
            const int digits = 3 + static_cast<int>((r >> 40) % 6);  // 0.0001 .. 9999.9999
            std::uint64_t limit = 1;
            for (int i = 0; i < digits; ++i) limit *= 10;
            return FixedForm((negative ? -1 : 1) * static_cast<std::int64_t>(1 + r % limit), 4);
        }
        case Block::Beam:
            if (field == 2)
                return FixedForm((negative ? -1 : 1) * static_cast<std::int64_t>(1 + r % 99999999),
                                 3);
            return ExponentForm(negative, 1000 + r % 9000, 4, static_cast<int>((r >> 40) % 6) - 2);
        case Block::Membrane:
        case Block::Bending:
            return ExponentForm(negative, 1000 + r % 9000, 4, static_cast<int>((r >> 40) % 5) - 1);
        case Block::Soil:
            if (field == 1)
                return FixedForm((negative ? -1 : 1) * static_cast<std::int64_t>(1 + r % 9999999),
                                 4);
            return ExponentForm(negative, 10000 + r % 90000, 5,
                                static_cast<int>((r >> 40) % 5) - 2);
        case Block::BeamStress:
            return ExponentForm(negative, 1000 + r % 9000, 4, static_cast<int>((r >> 40) % 4));
        case Block::BeamTangent:  // a modulus: positive, up to 210000.0
            return FixedForm(static_cast<std::int64_t>(1 + r % 2100000), 1);
        case Block::Temperature: {
            // Mostly 20.0 .. 999.9, one in eight slightly below zero (-99.9 .. -0.1).
            if ((r >> 40) % 8 == 0) return FixedForm(-static_cast<std::int64_t>(1 + r % 999), 1);
            return FixedForm(static_cast<std::int64_t>(200 + r % 9800), 1);
        }
    }
    return Word{};
}

float WordValue(const Word& w) {
    const std::string text(w.View());
    return static_cast<float>(std::strtod(text.c_str(), nullptr));
}

Word TimeWord(const ListingSpec& spec, int step) {
    return ExponentForm5(spec.firstTime + (step - 1) * spec.timeIncrement);
}

// ---------------------------------------------------------------------------------------
// The listing.

bool Structural(const ListingSpec& spec) {
    return spec.kind != AnalysisKind::Thermal;
}

void Validate(const ListingSpec& spec) {
    auto fail = [](const char* what) {
        throw std::invalid_argument(std::string("vorax-listing-gen: ") + what);
    };
    if (spec.ndim != 2 && spec.ndim != 3) fail("ndim must be 2 or 3");
    if (!std::isfinite(spec.firstTime) || !std::isfinite(spec.timeIncrement))
        fail("times must be finite numbers");
    if (spec.nodes < 0 || spec.solids < 0 || spec.trusses < 0 || spec.beams < 0 ||
        spec.shells < 0 || spec.soils < 0 || spec.fibers < 0 || spec.steps < 0)
        fail("counts must not be negative");
    if (spec.beams > 0 && spec.beamPoints < 1) fail("beams need at least one result point");
    if (spec.shells > 0 && spec.shellSurfaces < 1) fail("shells need at least one surface");
    if (spec.beamPoints < 0 || spec.shellSurfaces < 0) fail("counts must not be negative");
    // The temperature table is read by column: the node number owns exactly 5 characters.
    if (spec.kind == AnalysisKind::Thermal && spec.nodes > 99999)
        fail("a thermal listing holds at most 99999 nodes");
    if (spec.version.find_first_of(",\r\n") != std::string::npos)
        fail("the version text must not hold a comma or a line end");
    if (Structural(spec) && (!spec.stressPoints.empty() || !spec.tangentPoints.empty()) &&
        spec.beams == 0)
        fail("stress and tangent blocks need beam elements");
    if (Structural(spec) && spec.stressPoints.size() + spec.tangentPoints.size() > 65535)
        fail("too many stress and tangent blocks");
}

class Writer {
public:
    Writer(const ListingSpec& spec, std::FILE* out) : m_spec(spec), m_out(out, spec.lineEnding) {}

    int Run() {
        Header();
        if (Structural(m_spec))
            StructuralEcho();
        else
            ThermalEcho();
        int step = 0;
        while (step < m_spec.steps ||
               (m_spec.targetBytes > 0 && m_out.Bytes() < m_spec.targetBytes)) {
            ++step;
            if (Structural(m_spec))
                StructuralStep(step);
            else
                ThermalStep(step);
            if (m_spec.stepDelayMs > 0) {
                // As VORAX writes: each step out as soon as it is computed.
                m_out.Flush();
                std::this_thread::sleep_for(std::chrono::milliseconds(m_spec.stepDelayMs));
            }
        }
        Trailer(step);
        m_out.Flush();
        return step;
    }

private:
    Word Value(Block block, int step, int record, int field, int sub = 0) const {
        return MakeValue(m_spec, block, step, record, field, sub);
    }
    std::uint64_t Noise(int step, long long record, int field) const {
        return Hash(m_spec.seed, kNoiseBlock, step, record, field, 0);
    }
    // A coordinate in metres with three decimals, 0.000 .. 99.999.
    void Coordinate(long long node, int axis) {
        const std::uint64_t h = Hash(m_spec.seed, kCoordinateBlock, 0, node, axis, 0);
        m_out.Put(' ');
        m_out.Padded(FixedForm(static_cast<std::int64_t>(h % 100000), 3).View(), 10);
    }
    bool BlocksOn(int step) const {
        return m_spec.dropBlocksFromStep <= 0 || step < m_spec.dropBlocksFromStep;
    }

    // Identification, dimension and analysis keyword. The banner deliberately names every
    // kind of analysis and holds commas: it stands before the identification line, where
    // nothing may be taken from it.
    void Header() {
        m_out.Line(
            " ******************************************************************************");
        m_out.Line(
            " *   VORAX  -  STATIC, DYNAMIC AND TEMPERATURE ANALYSIS OF STRUCTURES          *");
        m_out.Line(
            " ******************************************************************************");
        m_out.Line("");
        m_out.Put(" PROGRAM 'VORAX' , ");
        m_out.Put(m_spec.version);
        m_out.Line(" , FINITE ELEMENT ANALYSIS");
        m_out.Put(" RUN REFERENCE  ");
        m_out.Int(static_cast<long long>(m_spec.seed % 1000000), 6);
        m_out.EndLine();
        m_out.Line("");
        m_out.Put(" NDIM   ");
        m_out.Int(m_spec.ndim, 1);
        m_out.Line("      (NUMBER OF SPACE DIMENSIONS)");
        m_out.Line(" UNITS  :  kN   m   s   C");
        switch (m_spec.kind) {
            case AnalysisKind::Thermal:
                m_out.Line(" TEMPERATURE ANALYSIS (TRANSIENT)");
                break;
            case AnalysisKind::Static:
                m_out.Line(" STATIC ANALYSIS");
                break;
            case AnalysisKind::Dynamic:
                m_out.Line(" DYNAMIC ANALYSIS");
                break;
        }
        m_out.Line("");
    }

    void CountLine(long long count, const char* what) {
        m_out.Put("  -  THERE ARE ");
        m_out.Int(count, 7);
        m_out.Put(' ');
        m_out.Line(what);
    }

    void NodeCoordinates(bool thermal) {
        m_out.Line(thermal ? " POSITION OF THE NODES" : " COORDINATES OF THE NODAL POINTS");
        m_out.Line(m_spec.ndim == 3 ? "   NODE           X          Y          Z"
                                    : "   NODE           X          Y");
        for (long long n = 1; n <= m_spec.nodes; ++n) {
            m_out.Int(n, 7);
            m_out.Spaces(2);
            for (int axis = 1; axis <= m_spec.ndim; ++axis) Coordinate(n, axis);
            m_out.EndLine();
        }
        m_out.Line("");
    }

    // `arity` node numbers per element, spread over the mesh.
    void Connectivity(const char* title, int elements, int arity) {
        m_out.Line(title);
        const long long nodes = m_spec.nodes > 0 ? m_spec.nodes : 1;
        for (int e = 1; e <= elements; ++e) {
            m_out.Int(e, 7);
            for (int k = 0; k < arity; ++k) m_out.Int((e - 1 + k * 7LL) % nodes + 1, 7);
            m_out.EndLine();
        }
        m_out.Line("");
    }

    void StructuralEcho() {
        m_out.Line(" DESCRIPTION OF THE STRUCTURE.");
        m_out.Line(" -----------------------------");
        CountLine(m_spec.nodes, "NODES.");
        if (m_spec.trusses > 0) CountLine(m_spec.trusses, "TRUSS ELEMENTS.");
        if (m_spec.beams > 0) {
            CountLine(m_spec.beams, "BEAM ELEMENTS.");
            m_out.Put("     EACH OF THEM HAS ");
            m_out.Int(m_spec.beamPoints, 5);
            m_out.Line(" RESULT POINTS.");
        }
        if (m_spec.shells > 0) {
            CountLine(m_spec.shells, "SHELL ELEMENTS.");
            m_out.Int(m_spec.shellSurfaces, 6);
            m_out.Line(" INTEGRATION POINTS ON THE AREA OF EACH SHELL ELEMENT.");
        }
        if (m_spec.soils > 0) CountLine(m_spec.soils, "SOIL ELEMENTS.");
        m_out.Line("");
        NodeCoordinates(false);
        if (m_spec.trusses > 0)
            Connectivity(" CONNECTIVITY OF THE TRUSS ELEMENTS", m_spec.trusses, 2);
        if (m_spec.beams > 0) Connectivity(" CONNECTIVITY OF THE BEAM ELEMENTS", m_spec.beams, 3);
        if (m_spec.shells > 0)
            Connectivity(" CONNECTIVITY OF THE SHELL ELEMENTS", m_spec.shells, 4);
        if (m_spec.soils > 0) Connectivity(" CONNECTIVITY OF THE SOIL ELEMENTS", m_spec.soils, 1);
        if (m_spec.fibers > 0) FibreSection();
        m_out.Line(" END OF THE INPUT DATA.");
        m_out.Line("");
    }

    // The section description lines between the group line and the discretisation line
    // are free text; the node count among them belongs to the section's own mesh and must
    // not be taken for the structure's.
    void FibreSection() {
        m_out.Line(" GEOMETRICAL PROPERTIES OF THE BEAM SECTIONS");
        m_out.Line(" GROUP OF GEOM. PROP.     1");
        m_out.Line("    SECTION TYPE         :  WELDED I PROFILE, STEEL S355");
        m_out.Line("    SECTION MESH         :  THERE ARE    99 NODES IN THE SECTION MESH.");
        m_out.Line("    RESIDUAL STRESSES    :  NONE");
        m_out.Put(" THIS BEAM SECTION TYPE IS DISCRETIZED BY ");
        m_out.Int((m_spec.fibers + 2) / 3, 4);
        m_out.Line(" LAYERS");
        m_out.Put("     AND ");
        m_out.Int(m_spec.fibers, 5);
        m_out.Line(" LONGITUDINAL FIBERS.");
        m_out.Line("");
    }

    void ThermalEcho() {
        m_out.Line(" DESCRIPTION OF THE STRUCTURE.");
        m_out.Line(" -----------------------------");
        CountLine(m_spec.nodes, "NODES.");
        CountLine(m_spec.solids, "SOLID ELEMENTS.");
        m_out.Line("");
        m_out.Line(" MATERIAL    1   CONDUCTIVITY  0.5400E+02   SPECIFIC HEAT  0.4250E+03");
        m_out.Line("");
        if (m_spec.solids > 0)
            Connectivity(" CONNECTIVITY OF THE SOLID ELEMENTS", m_spec.solids, 8);
        NodeCoordinates(true);
    }

    void Iterations(int step) {
        const int count = 1 + static_cast<int>(Noise(step, 0, 1) % 3);
        for (int i = 1; i <= count; ++i) {
            m_out.Put("   ITERATION ");
            m_out.Int(i, 5);
            m_out.Put("   RESIDUAL NORM  ");
            m_out.Put(ExponentForm(false, 10 + Noise(step, i, 2) % 90, 2, -2 * i).View());
            m_out.EndLine();
        }
    }

    void TimeLine(int step) {
        m_out.Put("   TIME =  ");
        m_out.Padded(TimeWord(m_spec, step).View(), 12);
        m_out.EndLine();
    }

    void Equilibrium(int step, const char* what, int key) {
        m_out.Put(" EQUILIBRIUM CHECK  ");
        m_out.Put(what);
        m_out.Put("  ");
        m_out.Put(
            ExponentForm(Noise(step, 1, key) & 1, 10 + Noise(step, 2, key) % 90, 2, -5).View());
        m_out.EndLine();
    }

    void StructuralStep(int step) {
        Iterations(step);
        m_out.Line("  CONVERGENCE HAS BEEN OBTAINED.");
        TimeLine(step);
        m_out.Line("");
        if (m_spec.displacements) Displacements(step);
        if (!BlocksOn(step)) return;
        if (m_spec.eigenValue) {
            m_out.Put(" RELATIVE EIGEN VALUE OF THE STIFFNESS MATRIX  ");
            m_out.Padded(Value(Block::EigenValue, step, 1, 0).View(), 12);
            m_out.EndLine();
            m_out.Line("");
        }
        Equilibrium(step, "SUM FX", 3);
        if (m_spec.trusses > 0) Trusses(step);
        if (m_spec.beams > 0) Beams(step);
        for (std::size_t i = 0; i < m_spec.stressPoints.size(); ++i)
            FibreBlock(step, Block::BeamStress, static_cast<int>(i), m_spec.stressPoints[i]);
        for (std::size_t i = 0; i < m_spec.tangentPoints.size(); ++i)
            FibreBlock(step, Block::BeamTangent, static_cast<int>(i), m_spec.tangentPoints[i]);
        if (m_spec.shells > 0) {
            ShellForces(step, Block::Membrane);
            ShellForces(step, Block::Bending);
            LocalShellStresses(step);
        }
        if (m_spec.soils > 0) Soils(step);
        Equilibrium(step, "SUM FY", 4);
    }

    void Displacements(int step) {
        m_out.Line(" TOTAL DISPLACEMENTS.");
        m_out.Put(" ");
        m_out.Line(marker::kDisplacementHeader);
        const int dofs = m_spec.ndim == 3 ? 7 : 3;
        for (int n = 1; n <= m_spec.nodes; ++n) {
            m_out.Int(n, 6);
            for (int d = 1; d <= dofs; ++d) {
                m_out.Put(' ');
                m_out.Padded(Value(Block::Displacements, step, n, d).View(), 12);
            }
            m_out.EndLine();
        }
        m_out.Line("");
    }

    void Trusses(int step) {
        m_out.Line(" INTERNAL SOLLICITATIONS IN THE TRUSS ELEMENTS.");
        m_out.Put(" ");
        m_out.Line(marker::kTrussHeader);
        for (int e = 1; e <= m_spec.trusses; ++e) {
            m_out.Int(e, 6);
            m_out.Put(' ');
            m_out.Padded(Value(Block::Truss, step, e, 1).View(), 12);
            m_out.EndLine();
        }
        m_out.Line("");
    }

    void Beams(int step) {
        m_out.Line(" INTERNAL SOLLICITATIONS IN THE BEAM ELEMENTS.");
        m_out.Put(" ");
        m_out.Line(m_spec.ndim == 2 ? marker::kBeamHeader2D : marker::kBeamHeader3D);
        const int lastField = m_spec.ndim == 2 ? 3 : 6;
        for (int e = 1; e <= m_spec.beams; ++e) {
            for (int p = 1; p <= m_spec.beamPoints; ++p) {
                m_out.Int(e, 6);
                m_out.Int(p, 4);
                for (int f = 2; f <= lastField; ++f) {
                    m_out.Put(' ');
                    m_out.Padded(Value(Block::Beam, step, e, f, p - 1).View(), 12);
                }
                m_out.EndLine();
            }
        }
        m_out.Line("");
    }

    // Header, a blank line, the column titles and a rule, then five fibre-value pairs a line.
    void FibreBlock(int step, Block block, int index, BeamPoint where) {
        m_out.Put(' ');
        m_out.Put(block == Block::BeamStress ? marker::kStressHeader : marker::kTangentHeader);
        m_out.Int(where.element, 5);
        m_out.Put(", POINT");
        m_out.Int(where.point, 3);
        m_out.EndLine();
        m_out.Line("");
        m_out.Line(block == Block::BeamStress ? "  FIBER      STRESS  FIBER      STRESS  FIBER     "
                                                " STRESS  FIBER      STRESS  FIBER      STRESS"
                                              : "  FIBER     MODULUS  FIBER     MODULUS  FIBER     "
                                                "MODULUS  FIBER     MODULUS  FIBER     MODULUS");
        m_out.Line(
            "  "
            "--------------------------------------------------------------------------------------"
            "--------");
        for (int f = 1; f <= m_spec.fibers; ++f) {
            m_out.Int(f, 7);
            m_out.Put(' ');
            m_out.Padded(Value(block, step, f, 0, index).View(), 11);
            if (f % 5 == 0 || f == m_spec.fibers) m_out.EndLine();
        }
        m_out.Line("");
    }

    void ShellForces(int step, Block block) {
        const bool membrane = block == Block::Membrane;
        static constexpr const char* kMembraneNames[] = {"Nx=", "Ny=", "Nxy=", "N1=", "N2="};
        static constexpr const char* kBendingNames[] = {"Mx=", "My=", "Mxy=", "M1=", "M2="};
        const char* const* names = membrane ? kMembraneNames : kBendingNames;
        m_out.Put(' ');
        m_out.Line(membrane ? marker::kMembraneHeader : marker::kBendingHeader);
        m_out.Line(membrane ? "  ELEMENT  SURFACE      Nx            Ny            Nxy           "
                              "N1            N2"
                            : "  ELEMENT  SURFACE      Mx            My            Mxy           "
                              "M1            M2");
        m_out.Line(membrane ? "                      [kN/m]        [kN/m]        [kN/m]        "
                              "[kN/m]        [kN/m]"
                            : "                      [kNm/m]       [kNm/m]       [kNm/m]       "
                              "[kNm/m]       [kNm/m]");
        for (int e = 1; e <= m_spec.shells; ++e) {
            for (int s = 1; s <= m_spec.shellSurfaces; ++s) {
                m_out.Put("  ELEM");
                m_out.Int(e, 6);
                m_out.Put("  SURF");
                m_out.Int(s, 3);
                for (int k = 0; k < 5; ++k) {
                    m_out.Padded(names[k], 6);
                    m_out.Put(' ');
                    m_out.Padded(Value(block, step, e, 5 + 2 * k, s - 1).View(), 11);
                }
                m_out.EndLine();
            }
        }
        m_out.Line("");
    }

    // Looks like a shell force block on purpose; it holds no value anyone extracts.
    void LocalShellStresses(int step) {
        m_out.Line(" LOCAL STRESSES IN THE SHELL ELEMENTS [N/mm\xB2].");
        m_out.Line("  ELEMENT  SURFACE      Sx            Sy            Sxy");
        const int lines = m_spec.shells < 3 ? m_spec.shells : 3;
        for (int e = 1; e <= lines; ++e) {
            m_out.Put("  ELEM");
            m_out.Int(e, 6);
            m_out.Put("  SURF  1");
            for (int k = 0; k < 3; ++k) {
                m_out.Padded(k == 0 ? "Sx=" : k == 1 ? "Sy=" : "Sxy=", 6);
                m_out.Put(' ');
                const std::uint64_t h = Noise(step, e, 10 + k);
                m_out.Padded(ExponentForm(h & 1, 1000 + (h >> 8) % 9000, 4, 2).View(), 11);
            }
            m_out.EndLine();
        }
        m_out.Line("");
    }

    void Soils(int step) {
        m_out.Line(" INTERNAL FORCE IN THE SOIL ELEMENTS.");
        m_out.Put(" ");
        m_out.Line(marker::kSoilHeader);
        for (int e = 1; e <= m_spec.soils; ++e) {
            m_out.Int(e, 6);
            m_out.Put(' ');
            m_out.Padded(Value(Block::Soil, step, e, 1).View(), 11);
            m_out.Put(' ');
            m_out.Padded(Value(Block::Soil, step, e, 2).View(), 12);
            m_out.EndLine();
        }
        m_out.Line("");
    }

    void ThermalStep(int step) {
        TimeLine(step);
        m_out.Put("   ITERATIONS ");
        m_out.Int(1 + static_cast<long long>(Noise(step, 0, 4) % 9), 3);
        m_out.Put("    MAX. TEMPERATURE CHANGE  ");
        m_out.Put(ExponentForm(false, 1000 + Noise(step, 0, 5) % 9000, 4, 1).View());
        m_out.EndLine();
        if (BlocksOn(step)) {
            m_out.Put(' ');
            m_out.Line(marker::kTemperatureHeader);
            // No indent: the reader takes each temperature from fixed columns.
            for (int n = 1; n <= m_spec.nodes; ++n) {
                m_out.Int(n, 5);
                m_out.Padded(Value(Block::Temperature, step, n, 0).View(), 6);
                if (n % 5 == 0 || n == m_spec.nodes) m_out.EndLine();
            }
        }
        m_out.Line("");
        m_out.Put(" HEAT BALANCE   ");
        m_out.Put(ExponentForm(Noise(step, 1, 6) & 1, 10 + Noise(step, 2, 6) % 90, 2, -3).View());
        m_out.EndLine();
        m_out.Line("");
    }

    void Trailer(int steps) {
        m_out.Line(
            " ******************************************************************************");
        m_out.Put(" END OF THE ANALYSIS AFTER ");
        m_out.Int(steps, 1);
        m_out.Line(" STEPS.");
        m_out.Put(" CPU SECONDS  ");
        m_out.Put(
            FixedForm(
                static_cast<std::int64_t>(Hash(m_spec.seed, kFillerBlock, 0, 0, 0, 0) % 100000), 2)
                .View());
        m_out.EndLine();
    }

    const ListingSpec& m_spec;
    Sink m_out;
};

void CheckRecord(bool ok, const char* what) {
    if (!ok) throw std::invalid_argument(std::string("ExpectedValue: ") + what);
}

}  // namespace

int WriteListing(const ListingSpec& spec, std::FILE* out) {
    Validate(spec);
    Writer writer(spec, out);
    const int steps = writer.Run();
    if (std::fflush(out) != 0) throw std::runtime_error("vorax-listing-gen: write failed");
    return steps;
}

int WriteListingFile(const ListingSpec& spec, const std::string& path) {
    Validate(spec);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("vorax-listing-gen: cannot create " + path);
    int steps = 0;
    try {
        steps = WriteListing(spec, file);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    if (std::fclose(file) != 0) throw std::runtime_error("vorax-listing-gen: cannot write " + path);
    return steps;
}

float ExpectedTime(const ListingSpec& spec, int step) {
    return WordValue(TimeWord(spec, step));
}

std::string ExpectedVersion(const ListingSpec& spec) {
    const auto first = spec.version.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = spec.version.find_last_not_of(' ');
    return spec.version.substr(first, last - first + 1);
}

float ExpectedValue(const ListingSpec& spec, Block block, int step, int record, int field,
                    int subIndex) {
    CheckRecord(step >= 1, "steps count from 1");
    CheckRecord(record >= 1, "records count from 1");
    CheckRecord(subIndex >= 0, "sub-indices count from 0");
    switch (block) {
        case Block::Displacements:
            CheckRecord(record <= spec.nodes && field >= 1 && field <= 7, "no such node or DOF");
            if (field > (spec.ndim == 3 ? 7 : 3)) return 0.0f;
            break;
        case Block::EigenValue:
            CheckRecord(record == 1, "the eigen value is record 1");
            field = 0;
            subIndex = 0;
            break;
        case Block::Truss:
            CheckRecord(record <= spec.trusses && field == 1, "no such truss element or field");
            break;
        case Block::Beam:
            CheckRecord(
                record <= spec.beams && field >= 2 && field <= 6 && subIndex < spec.beamPoints,
                "no such beam element, field or point");
            if (field > (spec.ndim == 3 ? 6 : 3)) return 0.0f;
            break;
        case Block::Membrane:
        case Block::Bending:
            CheckRecord(record <= spec.shells && field >= 5 && field <= 13 && field % 2 == 1 &&
                            subIndex < spec.shellSurfaces,
                        "no such shell element, field or surface");
            break;
        case Block::Soil:
            CheckRecord(record <= spec.soils && (field == 1 || field == 2),
                        "no such soil element or field");
            break;
        case Block::BeamStress:
        case Block::BeamTangent: {
            const auto blocks =
                block == Block::BeamStress ? spec.stressPoints.size() : spec.tangentPoints.size();
            CheckRecord(record <= spec.fibers && static_cast<std::size_t>(subIndex) < blocks,
                        "no such fibre or block");
            field = 0;
            break;
        }
        case Block::Temperature:
            CheckRecord(record <= spec.nodes, "no such node");
            field = 0;
            subIndex = 0;
            break;
    }
    return WordValue(MakeValue(spec, block, step, record, field, subIndex));
}

void AddEveryBlock(ListingSpec& spec) {
    spec.trusses = 3;
    spec.beams = 4;
    spec.beamPoints = 3;
    spec.shells = 2;
    spec.shellSurfaces = 4;
    spec.soils = 2;
    spec.fibers = 12;
    spec.stressPoints = {{2, 1}, {3, 2}};
    spec.tangentPoints = {{2, 1}};
    spec.solids = 4;
}

}  // namespace vx::gen
