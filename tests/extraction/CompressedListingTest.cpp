// Compressed listings (gzip, several gzip members, zstd, many zstd frames, xz) against the
// same listings as they are: the same model, messages and values; cut inside the compressed
// stream, the same as the listing cut where the stream's whole pieces end; damaged or
// absurd archives end in a message; a late step of a gzip listing is read from a restart
// point, and reading from any offset gives the listing's bytes there.
#include <gtest/gtest.h>
#include <lzma.h>

#include <zstd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "common/Failure.h"
#include "extraction/Extraction.h"
#include "extraction/Variables.h"
#include "reader/CompressedSource.h"
#include "reader/LineReader.h"
#include "tests/support/BytesRead.h"
#include "tests/support/Compress.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using test::Packing;

// A model without where it came from and how its file was marked.
OutputFileModel Contents(OutputFileModel model) {
    model.FilePath.clear();
    model.Mark = {};
    return model;
}

// Every value of every variable and vector kind the listing offers, and the messages.
struct AllValues {
    std::vector<std::vector<float>> Tables;
    std::vector<std::vector<Notice>> Notices;
    bool operator==(const AllValues&) const = default;
};

AllValues ReadAll(const OutputFileModel& model) {
    AllValues all;
    std::vector<std::int16_t> steps;
    for (std::int16_t t = 1; t <= model.TimeCount; ++t) steps.push_back(t);
    for (const Variable& variable : AllVariables()) {
        if (!Offers(model, variable)) continue;
        const auto kinds = VectorKinds(variable, model);
        for (std::size_t k = 0; k < std::max<std::size_t>(kinds.size(), 1); ++k) {
            ExtractionRequest request{std::string(variable.Name),
                                      kinds.empty() ? "" : kinds[k],
                                      static_cast<std::int16_t>(kinds.empty() ? -1 : k),
                                      {},
                                      steps};
            for (std::int16_t r = 1; r <= UpperBound(variable, model); ++r)
                request.Vectors.push_back(r);
            ValueTable table;
            test::FakeServices host;
            auto services = host.Get();
            const Outcome outcome = ExtractValues(model, request, table, services);
            std::vector<float> values;
            for (std::int32_t c = 1; c <= table.Columns(); ++c)
                for (std::int32_t r = 1; r <= table.Rows(); ++r) values.push_back(table.At(r, c));
            all.Tables.push_back(std::move(values));
            all.Notices.push_back(outcome.Notices);
        }
    }
    return all;
}

// Every byte the reader gives of the listing at `path`.
std::string Unpacked(const std::filesystem::path& path) {
    auto source = OpenByteSource(path);
    std::string bytes;
    char buffer[65536];
    while (const std::size_t n =
               source->Read(buffer, sizeof buffer, static_cast<std::int64_t>(bytes.size())))
        bytes.append(buffer, n);
    return bytes;
}

std::vector<std::filesystem::path> SomeListings(const test::TempDir& dir) {
    std::vector<std::filesystem::path> listings;
    for (const auto& entry : std::filesystem::directory_iterator(test::SourceDir() / "examples"))
        if (entry.path().extension() == ".out") listings.push_back(entry.path());
    std::sort(listings.begin(), listings.end());
    auto cr = test::EveryBlockSpec(2);
    cr.lineEnding = gen::LineEnding::CR;
    auto fibres = test::EveryBlockSpec(3, gen::AnalysisKind::Static);
    const gen::ListingSpec specs[] = {test::EveryBlockSpec(3), cr, fibres, test::ThermalSpec()};
    int n = 0;
    for (const auto& spec : specs)
        listings.push_back(
            test::Generate(spec, dir.Path() / ("made" + std::to_string(++n) + ".out")));
    return listings;
}

TEST(CompressedListings, ReadAsTheListingsTheyHold) {
    test::TempDir dir;
    for (const auto& plain : SomeListings(dir)) {
        test::Scanned expected;
        expected.Open(plain);
        const AllValues values = ReadAll(expected.Model);
        const std::string bytes = test::ReadBytes(plain);
        for (Packing packing : test::EveryPacking()) {
            SCOPED_TRACE(plain.filename().string() + ", " + std::string(test::NameOf(packing)));
            const auto packed = dir.Write("packed", test::Pack(bytes, packing));
            test::Scanned got;
            got.Open(packed);
            EXPECT_EQ(Contents(got.Model), Contents(expected.Model));
            EXPECT_EQ(got.Read.Notices, expected.Read.Notices);
            EXPECT_EQ(got.Model.Mark.Size, expected.Model.Mark.Size);
            EXPECT_TRUE(got.Model.Mark.Compressed && !got.Model.Mark.Resumable);
            EXPECT_TRUE(ReadAll(got.Model) == values);
        }
    }
}

TEST(CompressedListings, AnUnchangedArchiveIsNotReadAgainAChangedOneIsReadFromTheStart) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.steps = 3;
    const std::string three = test::ReadBytes(test::Generate(spec, dir.Path() / "three.out"));
    spec.steps = 5;
    const std::string five = test::ReadBytes(test::Generate(spec, dir.Path() / "five.out"));
    const auto path = dir.Write("run.out.gz", test::Pack(three, Packing::Gzip));
    test::Scanned reading;
    reading.Open(path);
    test::FakeServices host;
    auto services = host.Get();
    Refreshed refreshed = RefreshOutputFile(reading.Model, services);
    EXPECT_FALSE(refreshed.FromStart || refreshed.Replaced);
    EXPECT_EQ(reading.Model.TimeCount, 3);

    std::ofstream(path, std::ios::binary | std::ios::trunc) << test::Pack(five, Packing::Gzip);
    refreshed = RefreshOutputFile(reading.Model, services);
    EXPECT_TRUE(refreshed.FromStart);
    EXPECT_EQ(refreshed.NewSteps, 2);
    test::Scanned full;
    full.Open(path);
    EXPECT_EQ(reading.Model, full.Model);
}

TEST(CompressedListings, CutShortTheyReadAsTheListingCutWhereTheirWholePiecesEnd) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.nodes = 200;
    const std::string bytes = test::ReadBytes(test::Generate(spec, dir.Path() / "whole.out"));
    for (Packing packing : test::EveryPacking()) {
        SCOPED_TRACE(test::NameOf(packing));
        const std::string packed = test::Pack(bytes, packing);
        // (From its magic bytes on: fewer are a file of other bytes.)
        std::vector<std::size_t> cuts = {
            6, 7, 12, 30, packed.size() - 12, packed.size() - 4, packed.size() - 1};
        for (std::size_t i = 1; i < 24; ++i) cuts.push_back(packed.size() * i / 24);
        std::size_t longest = 0;
        for (std::size_t cut : cuts) {
            SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(packed.size()));
            const auto file = dir.Write("cut", std::string_view(packed).substr(0, cut));
            const std::string got = Unpacked(file);
            ASSERT_EQ(got, bytes.substr(0, got.size())) << "a cut stream gives its listing's start";
            longest = std::max(longest, got.size());
            const auto same = dir.Write("same.out", got);
            test::Scanned expected, actual;
            expected.Open(same);
            actual.Open(file);
            EXPECT_EQ(Contents(actual.Model), Contents(expected.Model));
            EXPECT_EQ(actual.Read.Notices, expected.Read.Notices);
        }
        EXPECT_GT(longest, bytes.size() * 9 / 10) << "a stream cut near its end gives most of it";
    }
}

// The one failure a reading of `file` shows.
Notice OnlyNotice(const std::filesystem::path& file) {
    test::Scanned reading;
    reading.Open(file);
    EXPECT_EQ(reading.Read.Notices.size(), 1u) << file;
    return reading.Read.Notices.empty() ? Notice{} : reading.Read.Notices.front();
}

TEST(CompressedListings, DamagedArchivesEndInAMessageThatSaysSo) {
    test::TempDir dir;
    const std::string bytes = test::ReadBytes(test::Example("dynamic3d.out"));
    auto flip = [](std::string packed, std::size_t at) {
        packed[at] = static_cast<char>(packed[at] ^ 0x5a);
        return packed;
    };
    const std::string gz = test::Pack(bytes, Packing::Gzip), zst = test::Pack(bytes, Packing::Zstd),
                      xz = test::Pack(bytes, Packing::Xz),
                      blocks = test::Pack(bytes, Packing::XzBlocks);
    // A stream's blocks followed by the index and footer of another with as many blocks: each
    // piece whole, the index not the blocks'.
    auto indexOf = [](const std::string& stream) {  // where its index starts
        lzma_stream_flags footer;
        EXPECT_EQ(lzma_stream_footer_decode(
                      &footer, reinterpret_cast<const std::uint8_t*>(stream.data() + stream.size() -
                                                                     LZMA_STREAM_HEADER_SIZE)),
                  LZMA_OK);
        return stream.size() - LZMA_STREAM_HEADER_SIZE - footer.backward_size;
    };
    std::string shorter = bytes;
    shorter.erase(bytes.size() / 2, 1000);
    const std::string one = test::Pack(bytes, Packing::XzBlocks),
                      other = test::Pack(shorter, Packing::XzBlocks);
    const std::string spliced = one.substr(0, indexOf(one)) + other.substr(indexOf(other));
    const std::pair<std::string, std::string> damaged[] = {
        {"gzip, its data check", flip(gz, gz.size() - 6)},
        {"gzip, its header's method", flip(gz, 2)},
        {"gzip, its data", flip(gz, gz.size() / 2)},
        {"zstd, its checksum", flip(zst, zst.size() - 2)},
        {"zstd, its data", flip(zst, zst.size() / 2)},
        {"zstd, something after its frame", zst + "not a frame at all"},
        {"xz, its data", flip(xz, xz.size() / 2)},
        {"xz, its index", flip(xz, xz.size() - 20)},
        {"xz in blocks, a block's data", flip(blocks, blocks.size() / 3)},
        {"xz in blocks, the second stream's index", flip(blocks, blocks.size() - 20)},
        {"xz in blocks, something after its streams", blocks + "not a stream at all"},
        {"xz, its footer", flip(xz, xz.size() - 5)},
        {"xz in blocks, an index that is another stream's", spliced},
    };
    for (const auto& [what, packed] : damaged) {
        SCOPED_TRACE(what);
        const Notice notice = OnlyNotice(dir.Write("damaged.out.gz", packed));
        EXPECT_EQ(notice.Number, fail::DeviceIoError);
        EXPECT_NE(notice.Text.find("The compressed listing is damaged"), std::string::npos)
            << notice.Text;
    }
    // A compressed file of something else is no listing, as the same bytes plainly are.
    const auto text = dir.Write("notes.txt", "minutes of the design review\n");
    const auto packedText =
        dir.Write("notes.txt.xz", test::Pack("minutes of the design review\n", Packing::Xz));
    EXPECT_EQ(OnlyNotice(packedText), OnlyNotice(text));
}

TEST(CompressedListings, AnArchiveExpandingFarBeyondAnyListingIsStoppedEarly) {
    test::TempDir dir;
    // A listing's head, then a quarter of a GB of one repeated line: a few KB of zstd.
    std::string head = test::ReadBytes(test::Example("dynamic3d.out")).substr(0, 4000);
    ZSTD_CCtx* c = ZSTD_createCCtx();
    std::string packed(1 << 20, '\0');
    ZSTD_outBuffer out{packed.data(), packed.size(), 0};
    ZSTD_inBuffer in{head.data(), head.size(), 0};
    ZSTD_compressStream2(c, &out, &in, ZSTD_e_continue);
    const std::string line(1 << 20, ' ');
    for (int i = 0; i < 256; ++i) {
        ZSTD_inBuffer more{line.data(), line.size(), 0};
        while (more.pos < more.size) ZSTD_compressStream2(c, &out, &more, ZSTD_e_continue);
    }
    ZSTD_inBuffer none{nullptr, 0, 0};
    while (ZSTD_compressStream2(c, &out, &none, ZSTD_e_end) != 0) {
    }
    ZSTD_freeCCtx(c);
    packed.resize(out.pos);
    ASSERT_LT(packed.size(), 100000u);
    const auto file = dir.Write("bomb.out.zst", packed);
    const std::int64_t before = test::BytesRead();
    const Notice notice = OnlyNotice(file);
    EXPECT_EQ(notice.Number, fail::DeviceIoError);
    EXPECT_NE(notice.Text.find("far beyond any listing"), std::string::npos) << notice.Text;
    EXPECT_LT(test::BytesRead() - before, 10 << 20) << "the file is not read over and over";
}

// A reader that wants a listing's first lines (the header, the first step) decompresses
// little ahead of them: the read-ahead starts at one chunk and grows as chunks are taken.
TEST(CompressedListings, AReaderOfTheFirstLinesDecompressesLittleAhead) {
    if (test::BytesRead() < 0) GTEST_SKIP() << "no /proc/self/io here";
    test::TempDir dir;
    gen::ListingSpec spec;  // displacements of many nodes, which compress as a run's do
    spec.ndim = 3;
    spec.nodes = 400;
    spec.targetBytes = std::int64_t{8} << 20;
    const std::string bytes = test::ReadBytes(test::Generate(spec, dir.Path() / "run.out"));
    for (Packing packing : {Packing::Gzip, Packing::Zstd, Packing::Xz}) {
        SCOPED_TRACE(test::NameOf(packing));
        const std::string packed = test::Pack(bytes, packing);
        const auto path = dir.Write("run.out.packed", packed);
        const std::int64_t before = test::BytesRead();
        LineReader in(path);
        const std::string_view line = in.ReadLine();
        EXPECT_TRUE(std::string_view(bytes).starts_with(line));
        // However long the read-ahead runs on, it stops at one chunk beyond the one taken:
        // half a MB of listing, where eight ahead would be more than two.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto read = static_cast<double>(test::BytesRead() - before);
        const double nineChunks =
            static_cast<double>(packed.size()) * (9 << 18) / static_cast<double>(bytes.size());
        EXPECT_LT(read, nineChunks / 2) << read << " of " << packed.size();
    }
}

TEST(CompressedListings, TheLastStepIsLookedThroughWithoutDecompressingItAgain) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.nodes = 6000;
    spec.steps = 3;
    const std::string bytes = test::ReadBytes(test::Generate(spec, dir.Path() / "run.out"));
    // One zstd frame: a seek back can only start from the beginning.
    const std::string packed = test::Pack(bytes, Packing::Zstd);
    const auto path = dir.Write("run.out.zst", packed);
    test::Scanned opened;
    opened.Open(path);
    const std::int64_t before = test::BytesRead();
    EXPECT_TRUE(StepIsComplete(opened.Model, 3));
    EXPECT_LT(test::BytesRead() - before, static_cast<std::int64_t>(packed.size()) * 3 / 2)
        << bytes.size() << " " << packed.size();
}

TEST(CompressedListings, ALateStepIsReadFromARestartPointAndAnyOffsetReadsRight) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.nodes = 20000;
    spec.steps = 24;
    const auto plainPath = test::Generate(spec, dir.Path() / "big.out");
    const std::string bytes = test::ReadBytes(plainPath);
    ASSERT_GT(bytes.size(), 40u << 20);
    test::Scanned plain;
    plain.Open(plainPath);
    for (Packing packing : {Packing::Gzip, Packing::GzipMembers, Packing::ZstdFrames,
                            Packing::Pzstd, Packing::XzBlocks}) {
        SCOPED_TRACE(test::NameOf(packing));
        const std::string packed = test::Pack(bytes, packing);
        const auto path = dir.Write("big.out.packed", packed);
        test::Scanned opened;
        opened.Open(path);
        const RestartPointsHeld held = RestartPointsOf(path);
        EXPECT_GE(held.Points, 3u);
        EXPECT_LE(held.Bytes, bytes.size() / 64) << "at most 16 MB for a GB of listing";

        // The last step of the first variable, as the window extracts it after opening.
        ExtractionRequest request{
            "Displacements", "", -1, {1, 2, 20000}, {static_cast<std::int16_t>(spec.steps)}};
        const auto kinds = VectorKinds(*FindVariable("Displacements"), opened.Model);
        request.VectorKind = kinds.at(0);
        request.VectorKindIndex = 0;
        ValueTable got, expected;
        test::FakeServices host;
        auto services = host.Get();
        const std::int64_t before = test::BytesRead();
        ExtractValues(opened.Model, request, got, services);
        const std::int64_t read = test::BytesRead() - before;
        EXPECT_LT(read, static_cast<std::int64_t>(packed.size()) / 4)
            << "read from a restart point near the step, not from the start";
        ExtractValues(plain.Model, request, expected, services);
        for (std::int32_t r = 1; r <= 3; ++r) EXPECT_EQ(got.At(r, 1), expected.At(r, 1));

        // Lines read from offsets anywhere, in any order, are the listing's own there.
        LineReader in(path);
        std::mt19937 random(7);
        for (int i = 0; i < 60; ++i) {
            const std::size_t at = random() % bytes.size();
            in.Seek(static_cast<std::int64_t>(at));
            const std::string_view line = in.ReadLine();
            ASSERT_EQ(line, std::string_view(bytes).substr(at, line.size())) << at;
        }
    }
}

}  // namespace
}  // namespace vx
