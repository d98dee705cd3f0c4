// One reading of a listing for a request known in advance (RequestPass) against the two
// readings it stands for: the listing opened, then the plan's values read. The same plan or
// refusal, the same messages in the same order, the same values bit for bit, the same sheet
// and peaks, on listings of every kind, whole and damaged; and the listing read once.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <filesystem>
#include <fstream>
#include <functional>

#include "export/PeaksTable.h"
#include "export/RequestPass.h"
#include "export/Worksheet.h"
#include "extraction/Extraction.h"
#include "extraction/Variables.h"
#include "reader/TextRoutines.h"
#include "tests/support/BytesRead.h"
#include "tests/support/Compress.h"
#include "tests/support/FakeServices.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using Keep = RequestPass::Keep;

// What a road gave: the plan (or the refusal's reason), every message shown in order, the
// values of each reading (bit patterns) and their outcomes, the sheet written, the peaks.
struct Road {
    std::string Plan;
    std::vector<std::string> Shown;
    std::vector<std::vector<std::uint32_t>> Values;
    std::vector<std::vector<Notice>> Read;
    std::string Sheet;
    std::vector<std::vector<ItemPeaks>> OverSteps;
    std::vector<std::vector<StepPeaks>> OverItems;
    bool Once = false;
    bool operator==(const Road&) const = default;
};

// The values of each table, request order, as bit patterns.
void KeepValues(Road& road, const ExportPlan& plan, const std::vector<ValueTable>& tables,
                const std::vector<Outcome>& read) {
    for (std::size_t k = 0; k < tables.size(); ++k) {
        auto& values = road.Values.emplace_back();
        for (std::int32_t t = 1; t <= tables[k].Columns(); ++t)
            for (std::int16_t item : plan.Readings[k].Vectors)
                if (item >= 1 && item <= tables[k].Rows())
                    values.push_back(std::bit_cast<std::uint32_t>(tables[k].At(item, t)));
        road.Read.push_back(read[k].Notices);
    }
}

// What is done with a plan, by either road: `extract` gives the tables, `write` writes the
// sheet, `reduce` gives the peaks.
struct Runs {
    std::function<std::vector<Outcome>(const OutputFileModel&, std::vector<ValueTable>&, Services&)>
        Extract;
    std::function<Outcome(const OutputFileModel&, ValueTable&, Services&)> Write;
    std::function<Outcome(const OutputFileModel&, std::vector<KindPeaks>&, Services&)> Reduce;
};

// Runs the plan: the tables (Keep::Values), or the sheet when `write`, or the peaks.
void Run(Road& road, const OutputFileModel& model, const Planned& planned, Keep keep, bool write,
         const Runs& runs, test::FakeServices& host) {
    road.Shown = host.MessageTexts();
    if (const auto* refused = std::get_if<Refusal>(&planned)) {
        road.Plan = "refused: " + refused->Reason;
        return;
    }
    const ExportPlan& plan = std::get<ExportPlan>(planned);
    road.Plan = std::to_string(plan.Readings.size()) + " readings of " +
                std::to_string(plan.Readings.front().SelectedTimes.size()) + " steps";
    auto services = host.Get();
    if (write) {
        ValueTable table;
        runs.Write(model, table, services);
        road.Sheet = test::ReadBytes(plan.Sheet.OutputPath);
        std::filesystem::remove(plan.Sheet.OutputPath);
    } else if (keep == Keep::Values) {
        std::vector<ValueTable> tables;
        KeepValues(road, plan, tables, runs.Extract(model, tables, services));
    } else {
        std::vector<KindPeaks> peaks;
        runs.Reduce(model, peaks, services);
        for (const auto& kind : peaks) {
            road.OverSteps.push_back(kind.Items);
            road.OverItems.push_back(kind.Steps);
        }
    }
    road.Shown = host.MessageTexts();
}

Road TwoReadings(const std::string& path, const ExportRequest& request, Keep keep, bool write) {
    test::FakeServices host;
    auto services = host.Get();
    OutputFileModel model;
    model.FilePath = path;
    model.Reset();
    ReadOutputFile(model, services);
    const Planned planned = PlanExport(model, request);
    Road road;
    const ExportPlan* plan = std::get_if<ExportPlan>(&planned);
    const PeaksOver over = keep == Keep::PeaksOverItems ? PeaksOver::Items : PeaksOver::Steps;
    Run(road, model, planned, keep, write,
        {[&](const OutputFileModel& m, std::vector<ValueTable>& tables, Services& s) {
             tables.resize(plan->Readings.size());
             return ExtractKinds(m, plan->Readings, tables, s);
         },
         [&](const OutputFileModel& m, ValueTable& table, Services& s) {
             return RunExport(m, *plan, table, s);
         },
         [&](const OutputFileModel& m, std::vector<KindPeaks>& peaks, Services& s) {
             return ReducePeaks(m, plan->Readings, over, peaks, s);
         }},
        host);
    return road;
}

// `threads`: those that read the steps' values as the scan goes (0: one per processor).
Road OneReading(const std::string& path, const ExportRequest& request, Keep keep, bool write,
                int threads = 0) {
    test::FakeServices host;
    auto services = host.Get();
    services.Reading.Threads = threads;
    services.Reading.HelperValues = 1;  // however few values a step gives
    OutputFileModel model;
    model.FilePath = path;
    model.Reset();
    RequestPass pass(request, keep);
    pass.Read(model, services);
    Road road;
    Run(road, model, pass.Plan(), keep, write,
        {[&](const OutputFileModel& m, std::vector<ValueTable>& tables, Services& s) {
             return pass.Extract(m, tables, s);
         },
         [&](const OutputFileModel& m, ValueTable& table, Services& s) {
             return pass.Export(m, table, s);
         },
         [&](const OutputFileModel& m, std::vector<KindPeaks>& peaks, Services& s) {
             return pass.Peaks(m, peaks, s);
         }},
        host);
    road.Once = pass.ReadOnce();
    return road;
}

const std::string kDisplacements = gen::marker::kDisplacementHeader;

// Every variable and vector kind of each listing, its first kind and all of them, every
// item and a few in disorder, steps of every kind of choice: the two roads agree, and one
// reading serves every request it can be sure of.
TEST(RequestPass, GivesWhatTheTwoReadingsGive) {
    test::TempDir dir;
    auto sameTimes = test::EveryBlockSpec(3);
    sameTimes.timeIncrement = 0;
    const struct {
        const char* Name;
        gen::ListingSpec Made;  // what the generator writes
        std::function<std::string(std::string)> Edit;
        bool Shows = true;  // the reading of some request shows a message
    } listings[] = {
        {"dynamic 3D", test::EveryBlockSpec(3), {}, false},
        {"static 2D", test::EveryBlockSpec(2, gen::AnalysisKind::Static), {}, false},
        {"thermal", test::ThermalSpec(23, 5), {}, false},
        // A time text is the first step of that time.
        {"every step at one time", sameTimes, {}, false},
        // Equal values at two steps: the peak is the one first in the request's order.
        {"step 3's displacements those of step 1", test::EveryBlockSpec(3),
         [](std::string b) {
             for (int line = 1; line <= 13; ++line) {
                 const auto lines = test::SplitPlainly(b);
                 std::string first;
                 for (const auto& l : lines)
                     if (l.Text.find(kDisplacements) != std::string_view::npos) {
                         first = std::string((&l)[line].Text);
                         break;
                     }
                 b = test::EditLine(b, kDisplacements, 3, line, [&](std::string) { return first; });
             }
             return b;
         },
         false},
        // Step 2 reads step 3's block; the last step has none.
        {"no displacements in steps 2 and 5", test::EveryBlockSpec(3),
         [](std::string b) {
             for (int step : {5, 2})
                 b = test::EditLine(b, kDisplacements, step, 0, [](std::string) { return " "; });
             return b;
         }},
        {"a value too large in step 3", test::EveryBlockSpec(3),
         [](std::string b) {
             return test::EditLine(b, kDisplacements, 3, 4, [](std::string line) {
                 return line.replace(line.find('E', 20) - 1, 5, "1E+99");
             });
         }},
        // Steps 4, 2 read in that order fail at step 4, which one reading in file order
        // does not read once step 2 has failed. The last step fails for every kind:
        // the peaks show the first kind's message, not the first message.
        {"values too large in steps 2 and 4, no displacements in the last step",
         test::EveryBlockSpec(3),
         [](std::string b) {
             for (int step : {2, 4})
                 b = test::EditLine(b, kDisplacements, step, 6, [](std::string line) {
                     return line.replace(line.find('E', 20) - 1, 5, "1E+99");
                 });
             return b.substr(0, b.rfind(kDisplacements));
         }},
        {"cut inside the last step", test::EveryBlockSpec(3),
         [](std::string b) { return b.substr(0, b.rfind(kDisplacements) + 400); }},
    };
    for (const auto& listing : listings) {
        const auto path = dir.Path() / "listing.out";
        test::Generate(listing.Made, path);
        if (listing.Edit) {
            const std::string damaged = listing.Edit(test::ReadBytes(path));
            std::ofstream(path, std::ios::binary) << damaged;
        }
        test::Scanned scanned;
        scanned.Open(path);
        const OutputFileModel& model = scanned.Model;
        ASSERT_GE(model.TimeCount, 5) << listing.Name;
        const std::string second = TimeText(model.Times[1].Time);
        const std::string fourth = TimeText(model.Times[3].Time);
        const std::vector<StepChoice> steps = {
            EveryStep{},
            StepNumbers{{std::int64_t{3}, std::int64_t{1}, std::int64_t{3}}},
            StepNumbers{{std::string("2")}},
            StepNumbers{{std::int64_t{4}, std::int64_t{2}}},
            StepTimes{{fourth, second, fourth}},
            StepNumbers{{std::int64_t{1}, std::int64_t{model.TimeCount + 1}}},  // refused
        };
        int requests = 0, once = 0, shown = 0;
        for (const OfferedVariable& v : OfferedVariables(model)) {
            for (const bool every : {false, true}) {
                if (every && v.VectorKinds.size() < 2) continue;
                for (const auto& choice : steps) {
                    for (const int items : {0, 1, 2}) {
                        ExportRequest request;
                        request.Variable = v.Name;
                        request.EveryVectorKind = every;
                        request.Items = EveryItem{};
                        if (items == 1 && v.NeedsRange)
                            request.Items = ItemNumbers{{v.Bound, 1, v.Bound}};
                        // Boxes whose count outruns their values: an item 0 in the list.
                        if (items == 2 && choice.index() != 0) continue;
                        if (items == 2)
                            request.Items =
                                ItemRange{" +1.5 ", std::to_string(v.Bound) + ".0E0", "2D0"};
                        request.Steps = choice;
                        request.Sheet.Path =
                            (dir.Path() / (every ? "out.xlsx" : "out.csv")).string();
                        for (int run = 0; run < 4; ++run) {
                            // The tables, the sheet (of one kind), the peaks both ways.
                            const Keep keep = run < 2    ? Keep::Values
                                              : run == 2 ? Keep::PeaksOverSteps
                                                         : Keep::PeaksOverItems;
                            const bool write = run == 1;
                            if (write && every) continue;
                            const ExportRequest asked =
                                keep == Keep::Values ? request : PeaksRequest(request);
                            SCOPED_TRACE(std::string(listing.Name) + ", " + v.Name +
                                         (every ? ", every kind" : "") + ", steps choice " +
                                         std::to_string(choice.index()) + ", items " +
                                         std::to_string(items) + ", run " + std::to_string(run));
                            const Road two = TwoReadings(path.string(), asked, keep, write);
                            // The steps read by the scan's thread alone, or by it and
                            // one or three helpers, each step by whichever comes first.
                            const int threads = std::array{1, 2, 4}[requests % 3];
                            Road one = OneReading(path.string(), asked, keep, write, threads);
                            ++requests;
                            once += one.Once;
                            shown += items < 2 && !two.Plan.starts_with("refused") &&
                                     two.Shown.size() > scanned.Host.Messages.size();
                            if (!listing.Shows && items < 2 && !two.Plan.starts_with("refused")) {
                                EXPECT_TRUE(one.Once) << "read after the scan";
                            }
                            one.Once = false;
                            ASSERT_EQ(one, two) << two.Plan << ", " << threads << " threads";
                        }
                    }
                }
            }
        }
        EXPECT_GT(once, requests / 2) << listing.Name;
        EXPECT_EQ(shown > 0, listing.Shows) << listing.Name;
    }
}

// The whole field at every step, written as the command-line tool writes it, of a
// structural and of a thermal listing, as they are and in one zstd frame (where any seek
// back decompresses from the start): each is read once, with little more than its bytes,
// the look at its last step (whether it is complete) included.
TEST(RequestPass, AWholeFieldExportReadsTheListingOnce) {
    if (test::BytesRead() < 0) GTEST_SKIP() << "no /proc/self/io here";
    auto dynamic = test::EveryBlockSpec(3);
    auto thermal = test::ThermalSpec(2000, 5);
    dynamic.targetBytes = thermal.targetBytes = std::int64_t{24} << 20;
    for (const auto& [made, variable] :
         {std::pair{dynamic, var::Displacements}, std::pair{thermal, var::Temperature}}) {
        test::TempDir dir;
        const auto plain = dir.Path() / "listing.out";
        test::Generate(made, plain);
        const auto packed =
            dir.Write("listing.out.zst", test::Pack(test::ReadBytes(plain), test::Packing::Zstd));
        for (const auto& path : {plain, packed}) {
            ExportRequest request;
            request.Variable = std::string(variable);
            request.Items = EveryItem{};
            request.Steps = EveryStep{};
            request.Sheet.Path = (dir.Path() / "field.csv").string();
            const std::int64_t before = test::BytesRead();
            test::FakeServices host;
            auto services = host.Get();
            OutputFileModel model;
            model.FilePath = path.string();
            model.Reset();
            RequestPass pass(request, Keep::Values);
            pass.Read(model, services);
            EXPECT_TRUE(StepIsComplete(model, model.TimeCount, pass.Held()));
            ValueTable table;
            pass.Export(model, table, services);
            const auto read = static_cast<double>(test::BytesRead() - before);
            const auto size = static_cast<double>(std::filesystem::file_size(path));
            SCOPED_TRACE(path.filename().string());
            EXPECT_TRUE(host.Messages.empty());
            EXPECT_GT(model.TimeCount, 100);
            EXPECT_EQ(table.Columns(), model.TimeCount);
            EXPECT_GT(std::filesystem::file_size(request.Sheet.Path), 1000u);
            // (The header and the first step are looked at by readers of their own: for a
            // compressed listing, what they decompress ahead is a few hundred KB more.)
            EXPECT_LE(read, 1.05 * size + (path == packed ? 1 << 20 : 0)) << read / size;
        }
    }
}

}  // namespace
}  // namespace vx
