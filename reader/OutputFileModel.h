#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vx {

// One time step of a listing: its time and where its results begin.
struct TimeStep {
    float Time = 0;
    // Offset of the line after the step's time line; extractions seek here. Listings
    // reach gigabytes, so the offset is kept in 64 bits.
    std::int64_t Position = 0;
    bool operator==(const TimeStep&) const = default;
};

enum AnalysisKind : std::int16_t {
    AnalysisNone = 0,
    AnalysisThermal = 1,
    AnalysisStatic = 2,
    AnalysisTorsion = 3,
    AnalysisDynamic = 4,
};

// Where a reading of the listing stopped and which file it read: a listing that grows is
// read on from there (RefreshOutputFile), one that shrank or was replaced is read again.
struct ScanMark {
    std::int64_t Size = 0;           // the bytes the scan read: the file up to its end then
    std::int64_t LastLineStart = 0;  // where the last line of them starts: reading goes on there
    std::uint64_t Device = 0, Inode = 0;
    std::uint64_t Head = 0;  // a hash of the first bytes of the file (up to kHeadBytes)
    // The first step's blocks were read up to the next step's, not to the end of the file.
    bool FirstStepSettled = false;
    // Counts and first step settled, no message: what is added later cannot change them.
    bool Resumable = false;
    // A compressed listing: Size counts the listing's bytes, FileSize the file's own. It
    // is read again from the start whenever the file changes.
    bool Compressed = false;
    std::int64_t FileSize = 0;
    static constexpr std::int64_t kHeadBytes = 4096;
    bool operator==(const ScanMark&) const = default;
};

// What the reader learned about the one open listing. The readers are its only
// writers; the window and the extraction read it. Text fields hold the listing's own
// Latin-1 bytes. Lists are 0-based here: time step i is Times[i - 1].
struct OutputFileModel {
    std::string FilePath;  // kept by Reset(): the window sets it before each reading

    std::string Version;
    std::int16_t AnalysisType = AnalysisNone;
    std::int16_t Ndim = 0;
    std::int32_t NodeCount = 0;
    std::int16_t SolidCount = 0;
    std::int16_t TrussCount = 0;
    std::int16_t BeamCount = 0;
    std::int16_t ShellCount = 0;
    std::int16_t SoilCount = 0;
    std::int16_t BeamPointCount = 0;
    std::int16_t ShellSurfaceCount = 0;
    std::int16_t FiberCount = 0;
    std::int16_t TimeCount = 0;
    std::vector<TimeStep> Times;

    bool HasTemperatures = false;
    bool HasDisplacements = false;
    bool HasBeamForces = false;
    bool HasBeamStresses = false;
    bool HasBeamTangentModulus = false;
    bool HasTrussForces = false;
    bool HasMembraneForces = false;
    bool HasBendingForces = false;
    bool HasSoilForces = false;

    std::int16_t StressPointCount = 0;
    std::vector<std::string> StressPoints;
    std::int16_t TangentPointCount = 0;
    std::vector<std::string> TangentPoints;

    ScanMark Mark;

    bool operator==(const OutputFileModel&) const = default;

    // Every field but FilePath back to its cleared value.
    void Reset() {
        std::string path = std::move(FilePath);
        *this = OutputFileModel{};
        FilePath = std::move(path);
    }
};

}  // namespace vx
