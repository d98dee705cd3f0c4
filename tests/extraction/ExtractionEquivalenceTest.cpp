// The extractions as they run (columns read on several threads, rows the request does
// not name passed over in bulk, numbers converted directly, tables holding only the
// requested rows) against the plain reading: line after line, every word split and
// converted with the text routines. Listings come from the generator, with every line
// ending, and are then damaged in the ways that make the fast paths step aside. (The
// values of every variable, fibres included, are checked end to end against the
// generator in tests/app CliEndToEndTest.)
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <fstream>
#include <functional>
#include <limits>

#include "common/Failure.h"
#include "extraction/Extraction.h"
#include "extraction/StepReading.h"
#include "extraction/Variables.h"
#include "reader/LineReader.h"
#include "reader/Markers.h"
#include "reader/TextRoutines.h"
#include "reader/VectorLevel.h"
#include "tests/support/BytesRead.h"
#include "tests/support/FakeServices.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using gen::LineEnding;
using test::FakeServices;
using test::TempDir;

constexpr std::size_t kNoAbort = std::numeric_limits<std::size_t>::max();

// What an extraction gave: entry [t][r] (both from 1), the messages and the progress.
struct Reading {
    std::vector<std::vector<float>> Values;
    std::vector<std::string> Messages;
    std::vector<float> Reports;
};

// Where a variable's records stand in a step, as the listing lays them out.
struct Layout {
    std::string Header;
    int Lead = 0;    // lines from the header to the first record
    int Stride = 1;  // lines from one record to the next
    std::size_t Word = 0;
    int Rows = 0;
};
// The Word of temperatures: five fixed-width pairs a line, from the line after the header.
constexpr std::size_t kTemperaturePairs = SIZE_MAX;

// The plain reading of a variable. `abortAfter`: the window's close request comes during
// that progress report.
Reading ReadPlainly(const std::string& bytes, const OutputFileModel& model, const Layout& layout,
                    const std::vector<std::int16_t>& steps, std::size_t abortAfter = kNoAbort) {
    const auto lines = test::SplitPlainly(bytes);
    Reading out;
    out.Values.assign(steps.size() + 1,
                      std::vector<float>(static_cast<std::size_t>(layout.Rows) + 1, 0.0f));
    try {
        for (std::size_t t = 1; t <= steps.size(); ++t) {
            if (out.Reports.size() == abortAfter) break;
            const int step = steps[t - 1];
            if (step < 1 || step > model.TimeCount) throw Failure(fail::SubscriptOutOfRange);
            std::size_t i = 0;
            while (i < lines.size() &&
                   static_cast<std::int64_t>(lines[i].Start) < model.Times[step - 1].Position)
                ++i;
            while (i < lines.size() && !Contains(lines[i].Text, layout.Header)) ++i;
            if (i == lines.size()) throw Failure(fail::InputPastEndOfFile);
            out.Reports.push_back(
                static_cast<float>(static_cast<double>(t) / static_cast<double>(steps.size())));
            auto& values = out.Values[t];
            if (layout.Word == kTemperaturePairs) {
                for (std::size_t n = 1; n < values.size(); ++i) {
                    if (i + 1 >= lines.size()) throw Failure(fail::InputPastEndOfFile);
                    const std::string_view line = lines[i + 1].Text;
                    for (std::size_t start = 5; start < 55 && n < values.size(); start += 11, ++n)
                        values[n] = start < line.size()
                                        ? RoundToSingle(NumericPrefix(line.substr(start, 6)))
                                        : 0.0f;
                }
                continue;
            }
            auto advance = [&](int count) {
                for (int c = 0; c < count && i + 1 < lines.size(); ++c) ++i;  // the last line stays
            };
            advance(layout.Lead);
            for (std::size_t r = 1; r < values.size(); ++r) {
                const WordList words = SplitWords(lines[i].Text);
                if (words.size() > layout.Word)
                    values[r] = RoundToSingle(NumericPrefix(words[layout.Word]));
                advance(layout.Stride);
            }
        }
    } catch (const Failure& f) {
        out.Messages.push_back(FailureText(f.Number(), f.Description()));
    }
    return out;
}

ExtractionRequest Request(const std::string& variable, std::int16_t kind,
                          std::vector<std::int16_t> steps) {
    return {variable, "", kind, {}, steps};
}

// The extraction as it runs, on `threads` threads.
Reading ReadAsItRuns(const OutputFileModel& model, const ExtractionRequest& r, int rows,
                     int threads, std::size_t abortAfter = kNoAbort) {
    FakeServices host;
    host.OnProgress = [&](std::size_t count) {
        if (count == abortAfter) host.AbortRequested = true;
    };
    ValueTable table;
    auto services = host.Get();
    // Each thread count runs with another width of vector instructions, so that every
    // path the processor has is compared too: 1 thread portable, 2 the widest, 3 AVX2.
    services.Reading = {.Threads = threads,
                        .VectorLevel = threads == 1   ? kPortableVectors
                                       : threads == 3 ? kAvx2Vectors
                                                      : kAvx512Vectors};
    const Outcome outcome = (r.Variable == "Temperature" ? ReadTemperatures : ReadStructuralValues)(
        model, r, table, services);

    Reading out;
    out.Messages = host.MessageTexts();
    EXPECT_EQ(outcome.Notices, host.Messages) << "returned as shown";
    for (const auto& shown : host.Messages) {
        EXPECT_EQ(shown.Icon, MsgIcon::None) << shown.Text;
        // Reading past the end is a missing block here, an overflow a value too large.
        EXPECT_EQ(shown.Kind, shown.Number == fail::InputPastEndOfFile ? FailureKind::MissingBlock
                              : shown.Number == fail::Overflow         ? FailureKind::ValueTooLarge
                                                                       : FailureKind::ReadFailed)
            << shown.Text;
    }
    for (const auto& report : host.Reports) {
        EXPECT_EQ(report.Text, "Reading " + r.Variable + "...");
        out.Reports.push_back(report.Fraction);
    }
    EXPECT_EQ(table.Rows(), rows);
    out.Values.assign(r.SelectedTimes.size() + 1,
                      std::vector<float>(static_cast<std::size_t>(rows) + 1, 0.0f));
    for (int t = 1; t <= table.Columns(); ++t)
        for (int row = 1; row <= rows; ++row)
            out.Values[static_cast<std::size_t>(t)][static_cast<std::size_t>(row)] =
                table.At(row, t);
    return out;
}

// The rows the request names bit for bit, the others 0.
void ExpectSame(const Reading& actual, const Reading& plain, const ExtractionRequest& r,
                const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(actual.Messages, plain.Messages);
    EXPECT_EQ(actual.Reports, plain.Reports);
    std::vector<bool> kept(plain.Values[0].size());
    for (std::int16_t row : r.Vectors) kept[static_cast<std::size_t>(row)] = true;
    for (std::size_t t = 1; t <= r.SelectedTimes.size(); ++t) {
        for (std::size_t row = 1; row < kept.size(); ++row) {
            const float a = actual.Values[t][row], p = kept[row] ? plain.Values[t][row] : 0.0f;
            ASSERT_EQ(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(p))
                << "column " << t << " row " << row << ": " << a << " instead of " << p;
        }
    }
}

std::vector<std::int16_t> Range(int from, int to, int step = 1) {
    std::vector<std::int16_t> rows;
    for (int r = from; r <= to; r += step) rows.push_back(static_cast<std::int16_t>(r));
    return rows;
}

// Edits line `offset` after the `occurrence`-th line holding `marker` (both from 1).
std::string EditLine(std::string bytes, std::string_view marker, int occurrence, int offset,
                     const std::function<std::string(std::string)>& edit) {
    const auto lines = test::SplitPlainly(bytes);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].Text.find(marker) == std::string_view::npos || --occurrence > 0) continue;
        const test::PlainLine& line = lines[i + static_cast<std::size_t>(offset)];
        return bytes.replace(line.Start, line.Text.size(), edit(std::string(line.Text)));
    }
    ADD_FAILURE() << "no line to edit";
    return bytes;
}

// Word n of a line replaced by `word` (the separating blanks stay).
std::function<std::string(std::string)> Word(std::size_t n, std::string word) {
    return [n, word](std::string line) {
        std::size_t start = 0;
        for (std::size_t k = 0;; ++k) {
            start = line.find_first_not_of(" \t", start);
            const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
            if (k == n) return line.replace(start, end - start, word);
            start = end;
        }
    };
}

const std::string kDisplacementHeader = gen::marker::kDisplacementHeader;

// Word `word` of line `offset` after the `occurrence`-th displacement header set to `text`.
std::function<std::string(std::string)> Put(int occurrence, int offset, std::size_t word,
                                            std::string text) {
    return [=](std::string b) {
        return EditLine(b, kDisplacementHeader, occurrence, offset, Word(word, text));
    };
}

class ExtractionEquivalence : public ::testing::Test {
protected:
    // A listing with enough records of each kind that the rows between requested ones
    // are passed over in bulk, and long enough to take several reads of the file.
    static gen::ListingSpec Spec(LineEnding ending) {
        auto spec = test::EveryBlockSpec(3);
        spec.nodes = 700;
        spec.beams = 40;
        spec.shells = 30;
        spec.steps = 6;
        spec.lineEnding = ending;
        return spec;
    }

    void Open(const std::string& bytes) {
        m_bytes = bytes;
        m_listing.Open(m_dir.Write("listing.out", bytes));
        ASSERT_TRUE(m_listing.Host.Messages.empty()) << m_listing.Host.Messages[0].Text;
    }

    std::string Generated(const gen::ListingSpec& spec) {
        return test::ReadBytes(test::Generate(spec, m_dir.Path() / "generated.out"));
    }

    // Every request against the plain reading, on one thread and on several.
    void Check(const Layout& layout, ExtractionRequest request,
               const std::vector<std::vector<std::int16_t>>& selections, const std::string& what) {
        for (const auto& vectors : selections) {
            request.Vectors = vectors;
            const Reading plain = ReadPlainly(m_bytes, m_model, layout, request.SelectedTimes);
            for (int threads : {1, 2, 3})
                ExpectSame(ReadAsItRuns(m_model, request, layout.Rows, threads), plain, request,
                           what + ", " + std::to_string(vectors.size()) + " rows from " +
                               std::to_string(vectors.front()) + ", " + std::to_string(threads) +
                               " threads");
        }
    }

    TempDir m_dir;
    std::string m_bytes;
    test::Scanned m_listing;
    const OutputFileModel& m_model = m_listing.Model;
};

TEST_F(ExtractionEquivalence, EveryLineEndingEveryLayoutAndEverySelection) {
    const std::vector<std::int16_t> all = Range(1, 6), mixed = {6, 2, 2, 5};
    for (LineEnding ending : {LineEnding::CRLF, LineEnding::CR, LineEnding::LF}) {
        Open(Generated(Spec(ending)));
        const std::string name = "ending " + std::to_string(static_cast<int>(ending));
        Check({kDisplacementHeader, 1, 1, 7, 700}, Request("Displacements", 6, mixed),
              {Range(1, 10), Range(3, 700, 37), Range(650, 700)}, name + ", DOF7");
        Check({gen::marker::kBeamHeader3D, 2, 3, 2, 40}, Request("Beam Axial Force", 1, all),
              {Range(1, 40, 13), Range(1, 3), {40}}, name + ", beams");
        Check({std::string(marker::MembraneForces), 6, 4, 13, 30},
              Request("Membrane Force N2", 3, mixed), {Range(1, 30, 10), Range(28, 30)},
              name + ", shells");
    }
}

// Numbers too large for a single end the reading wherever they stand, also in rows the
// request does not name; words that only look dangerous, or stand in another column,
// change nothing.
TEST_F(ExtractionEquivalence, DamagedRecordsGiveThePlainReadingsValuesAndMessages) {
    const std::string generated = Generated(Spec(LineEnding::CRLF));
    const Layout dof1{kDisplacementHeader, 1, 1, 1, 700};
    const ExtractionRequest request = Request("Displacements", 0, Range(1, 6));
    const std::vector<std::vector<std::int16_t>> nodes = {Range(1, 20), Range(5, 700, 50)};
    const std::vector<std::string> none, overflow = {"6: Overflow"};
    const struct {
        const char* what;
        std::vector<std::string> shown;  // by the plain reading: the damage is seen
        std::function<std::string(std::string)> damage;
    } cases[] = {
        {"too large in an unrequested row", overflow, Put(3, 400, 1, "0.1E+40")},
        {"too large in a requested row", overflow, Put(4, 5, 1, "-1D45")},
        {"beyond a double, in the last row", overflow, Put(2, 700, 1, "1E+400")},
        {"too large in another column", none, Put(3, 400, 3, "0.1E+40")},
        {"short lines, tabs and an empty line", none,
         [](std::string b) {
             b = EditLine(b, kDisplacementHeader, 2, 15,
                          [](std::string) { return std::string("   15"); });
             b = EditLine(b, kDisplacementHeader, 2, 16, [](std::string line) {
                 std::replace(line.begin(), line.end(), ' ', '\t');
                 return line;
             });
             return EditLine(b, kDisplacementHeader, 5, 55,
                             [](std::string line) { return line + "\r\n"; });
         }},
        {"cut inside the last block", none,
         [](std::string b) { return b.substr(0, b.rfind(kDisplacementHeader) + 290 * 99 + 17); }},
        // A step without the block reads the next step's; the last step's is missing.
        {"no block in the second and the last step",
         {"62: Input past end of file"},
         [](std::string b) {
             for (int step : {6, 2})
                 b = EditLine(b, kDisplacementHeader, step, 0, [](std::string) { return " "; });
             return b;
         }},
        // Row 400 of the first step padded with blanks until its CR is the last byte of
        // the first read from that step, its LF the first of the next: in a run of rows
        // passed over in bulk, both halves must make one line end.
        {"a CR LF split between two reads", none,
         [](std::string b) {
             const std::size_t step = b.find("\r\n", b.find(gen::marker::kTime)) + 2;
             std::size_t cr = b.find(kDisplacementHeader, step);
             for (int row = 0; row <= 400; ++row) cr = b.find("\r\n", cr) + (row < 400 ? 2 : 0);
             return b.insert(cr, step + LineReader::kReadSize - 1 - cr, ' ');
         }},
    };
    for (const auto& c : cases) {
        Open(c.damage(generated));
        EXPECT_EQ(ReadPlainly(m_bytes, m_model, dof1, request.SelectedTimes).Messages, c.shown)
            << c.what;
        Check(dof1, request, nodes, c.what);
    }
}

TEST_F(ExtractionEquivalence, AbortAndFailuresEndTheReadingAtTheSameColumn) {
    Open(Generated(Spec(LineEnding::LF)));
    const Layout dof2{kDisplacementHeader, 1, 1, 2, 700};
    auto request = Request("Displacements", 1, {1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 6, 3});
    request.Vectors = Range(1, 700, 7);
    for (std::size_t abortAfter : {1u, 4u, 12u}) {
        const Reading plain =
            ReadPlainly(m_bytes, m_model, dof2, request.SelectedTimes, abortAfter);
        EXPECT_EQ(plain.Reports.size(), abortAfter);
        for (int threads : {1, 2, 3})
            ExpectSame(ReadAsItRuns(m_model, request, 700, threads, abortAfter), plain, request,
                       "abort after " + std::to_string(abortAfter) + ", " +
                           std::to_string(threads) + " threads");
    }
    request.SelectedTimes = {2, 5, 7, 1};  // no step 7: the reading ends before its report
    const Reading plain = ReadPlainly(m_bytes, m_model, dof2, request.SelectedTimes);
    EXPECT_EQ(plain.Messages, std::vector<std::string>{"9: Subscript out of range"});
    for (int threads : {1, 2})
        ExpectSame(ReadAsItRuns(m_model, request, 700, threads), plain, request,
                   "a step that is not there");
    // Failures before any value is read: no time at all, more records than the record
    // counter holds.
    EXPECT_EQ(ReadAsItRuns(m_model, Request("Displacements", 1, {}), 0, 1).Messages,
              std::vector<std::string>{"9: Subscript out of range"});
    m_listing.Model.NodeCount = 40000;
    const Reading overflow = ReadAsItRuns(m_model, request, 32767, 2);
    EXPECT_EQ(overflow.Messages, std::vector<std::string>{"6: Overflow"});
    EXPECT_EQ(overflow.Values[1][1], 0.0f);
}

// The bytes this process has read from files so far.
// The vector kinds of one variable read together give each kind's values and message
// exactly as its own reading does, whichever kind fails and where, on any number of
// threads; and each step's bytes come from the file once, not once per kind.
TEST_F(ExtractionEquivalence, SeveralKindsInOneReadingAsEachAlone) {
    auto spec = Spec(LineEnding::CRLF);
    // Blocks of several reads of the file each.
    spec.nodes = 6000;
    spec.beams = 1500;
    spec.shells = 1500;
    const std::string generated = Generated(spec);
    const struct {
        const char* what;
        std::function<std::string(std::string)> damage;
        std::size_t failing;  // displacement kinds whose reading fails
    } cases[] = {
        {"whole", [](std::string b) { return b; }, 0},
        // DOF2 of step 3 ends that kind's reading there, the others read on.
        {"too large in one kind", Put(3, 400, 2, "0.1E+40"), 1},
        {"no block in the second and the last step",
         [](std::string b) {
             for (int step : {6, 2})
                 b = EditLine(b, kDisplacementHeader, step, 0, [](std::string) { return " "; });
             return b;
         },
         7},
        {"cut inside the last block",
         [](std::string b) { return b.substr(0, b.rfind(kDisplacementHeader) + 290 * 99 + 17); },
         0},
    };
    const std::vector<std::int16_t> steps = {6, 2, 2, 5, 1, 3, 4};
    for (const auto& c : cases) {
        Open(c.damage(generated));
        for (const auto& v : OfferedVariables(m_model)) {
            if (v.VectorKinds.size() < 2) continue;
            std::vector<ExtractionRequest> requests;
            for (std::size_t k = 0; k < v.VectorKinds.size(); ++k)
                requests.push_back({v.Name, v.VectorKinds[k], static_cast<std::int16_t>(k),
                                    Range(1, v.Bound, 3), steps});
            requests.push_back(requests.front());  // a kind asked for twice reads twice
            for (int threads : {1, 2, 3}) {
                SCOPED_TRACE(std::string(c.what) + ", " + v.Name + ", " + std::to_string(threads) +
                             " threads");
                FakeServices host;
                auto services = host.Get();
                services.Reading.Threads = threads;
                // The kinds read together with every width of vector instructions (1
                // thread portable, 2 the widest, 3 AVX2), each alone with the widest.
                services.Reading.VectorLevel = threads == 1   ? kPortableVectors
                                               : threads == 3 ? kAvx2Vectors
                                                              : kAvx512Vectors;
                std::vector<ValueTable> tables(requests.size());
                const std::int64_t before = test::BytesRead();
                const auto outcomes = ExtractKinds(m_model, requests, tables, services);
                const std::int64_t read = test::BytesRead() - before;
                EXPECT_TRUE(host.Messages.empty()) << "shown by the caller, in its turn";
                if (v.Name == "Displacements") {
                    EXPECT_EQ(std::count_if(outcomes.begin(), outcomes.end() - 1,
                                            [](const Outcome& o) { return o.Failed(); }),
                              c.failing);
                }
                std::int64_t mostAlone = 0;  // the bytes of the longest reading of one kind
                for (std::size_t k = 0; k < requests.size(); ++k) {
                    FakeServices alone;
                    auto its = alone.Get();
                    its.Reading.Threads = threads;
                    ValueTable table;
                    const std::int64_t start = test::BytesRead();
                    EXPECT_EQ(outcomes[k].Notices,
                              ExtractValues(m_model, requests[k], table, its).Notices)
                        << requests[k].VectorKind;
                    mostAlone = std::max(mostAlone, test::BytesRead() - start);
                    ASSERT_EQ(tables[k].Columns(), table.Columns());
                    for (std::int32_t t = 1; t <= table.Columns(); ++t)
                        for (std::int16_t row : requests[k].Vectors)
                            ASSERT_EQ(std::bit_cast<std::uint32_t>(tables[k].At(row, t)),
                                      std::bit_cast<std::uint32_t>(table.At(row, t)))
                                << requests[k].VectorKind << " column " << t << " row " << row;
                }
                if (threads == 1) {
                    EXPECT_LT(read, mostAlone * 11 / 10) << "one reading";
                }
            }
        }
    }
}

// One line ending: the others are the line reader's (FastPathsTest), and CliEndToEnd
// reads a CR thermal listing end to end.
TEST_F(ExtractionEquivalence, TemperaturesPassOverUnrequestedNodesOnlyWhenNothingCanFail) {
    const std::string generated = Generated(test::ThermalSpec(997, 5));
    const std::string header(marker::TemperatureHeader);
    const std::pair<const char*, std::function<std::string(std::string)>> cases[] = {
        {"as generated", [](std::string b) { return b; }},
        {"an exponent that fits",
         [&](std::string b) {
             return EditLine(b, header, 2, 50,
                             [](std::string l) { return l.replace(5, 6, " 1.5E1"); });
         }},
        {"an exponent too large",
         [&](std::string b) {
             return EditLine(b, header, 3, 120,
                             [](std::string l) { return l.replace(16, 6, " 9E99 "); });
         }},
        {"blank, missing and overlong fields",
         [&](std::string b) {
             b = EditLine(b, header, 2, 1,
                          [](std::string) { return std::string("    1  -1.5    2      "); });
             return EditLine(b, header, 2, 2,
                             [](std::string) { return std::string("    6 1.5E1    7 12345678"); });
         }},
        {"cut inside the last table",
         [&](std::string b) { return b.substr(0, b.rfind(header) + 6000); }},
    };
    for (const auto& [what, damage] : cases) {
        Open(damage(generated));
        Check({header, 0, 0, kTemperaturePairs, 997}, Request("Temperature", -1, {5, 1, 3, 3, 2}),
              {Range(1, 12), Range(3, 997, 101), Range(990, 997), Range(1, 997)}, what);
    }
}

}  // namespace
}  // namespace vx
