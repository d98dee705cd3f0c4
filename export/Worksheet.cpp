#include "export/Worksheet.h"

#include <new>

#include "biff/ExcelFile.h"
#include "common/Failure.h"
#include "export/StructuralValues.h"
#include "export/VariableCatalogue.h"
#include "reader/Reader.h"

namespace vx {

namespace {

constexpr std::string_view kTooManyColumns =
    "The maximum number of columns in Excel is 256. Cannot create file.";
constexpr std::string_view kTooManyRows =
    "The maximum number of rows in Excel is 65536. Cannot create file.";
constexpr std::string_view kFileLocked =
    "The file is locked. Please close the file in Excel and try again.";

// Every cell: font 0, left aligned, unlocked and visible.
constexpr std::int32_t kText = 2, kNumber = 1;
constexpr std::int32_t kCellFontUsed = 0, kAlignment = 1, kHiddenLocked = 0;

class SheetWriter {
public:
    SheetWriter(const ExtractionRequest& request, const OutputFileModel& model,
                const ValueTable& table)
        : m_request(request),
          m_model(model),
          m_table(table),
          m_label(RecordLabel(request.Variable)) {}

    void Write(const std::string& path) {
        m_file.CreateFile(path);
        m_file.SetFont("Arial", 10, 0);
        Text(1, 1, "Variable");
        Text(2, 1, "Vector");
        Text(1, 2, m_request.Variable);
        Text(2, 2, m_request.VectorKind);
        const auto times = static_cast<std::int32_t>(m_request.SelectedTimes.size());
        const auto vectors = static_cast<std::int32_t>(m_request.Vectors.size());
        if (m_request.TimesInColumns) {
            Text(3, 1, std::string(m_label));
            for (std::int32_t t = 1; t <= times; ++t) Number(3, t + 1, Time(t));
            for (std::int32_t k = 1; k <= vectors; ++k) {
                Text(k + 3, 1, VectorLabel(k));
                for (std::int32_t t = 1; t <= times; ++t) Number(k + 3, t + 1, Value(k, t));
            }
        } else {
            Text(3, 1, "Time");
            for (std::int32_t k = 1; k <= vectors; ++k) Text(3, k + 1, VectorLabel(k));
            for (std::int32_t t = 1; t <= times; ++t) {
                Number(t + 3, 1, Time(t));
                for (std::int32_t k = 1; k <= vectors; ++k) Number(t + 3, k + 1, Value(k, t));
            }
        }
        m_file.CloseFile();
    }

private:
    void Text(std::int32_t row, std::int32_t col, const std::string& text) {
        m_file.WriteValue(kText, kCellFontUsed, kAlignment, kHiddenLocked, row, col, text);
    }
    void Number(std::int32_t row, std::int32_t col, float value) {
        m_file.WriteValue(kNumber, kCellFontUsed, kAlignment, kHiddenLocked, row, col,
                          static_cast<double>(value));
    }
    float Time(std::int32_t t) const {
        std::int16_t step = m_request.SelectedTimes[static_cast<std::size_t>(t - 1)];
        if (step < 1 || step > static_cast<std::int32_t>(m_model.Times.size()))
            Raise(fail::SubscriptOutOfRange);
        return m_model.Times[static_cast<std::size_t>(step - 1)].Time;
    }
    std::int16_t Vector(std::int32_t k) const {
        return m_request.Vectors[static_cast<std::size_t>(k - 1)];
    }
    std::string VectorLabel(std::int32_t k) const {
        return vx::VectorLabel(m_request.Variable, Vector(k));
    }
    float Value(std::int32_t k, std::int32_t t) const { return m_table.At(Vector(k), t); }

    const ExtractionRequest& m_request;
    const OutputFileModel& m_model;
    const ValueTable& m_table;
    std::string_view m_label;
    ExcelFile m_file;  // completes a file left open by a failure when it goes
};

}  // namespace

std::string_view RecordLabel(std::string_view variable) {
    if (variable == var::Temperature || variable == var::Displacements) return "Node";
    if (variable == var::EigenValues) return "Value";
    if (variable == var::TrussAxialForce) return "Truss";
    if (variable == var::BeamStresses || variable == var::BeamTangentModulus) return "Fiber";
    if (variable == var::SoilAxialForceNx || variable == var::SoilPressure) return "Soil";
    if (variable.starts_with("Beam ")) {
        for (auto name : {var::BeamAxialForce, var::BeamBendingMoment, var::BeamBendingMomentMy,
                          var::BeamBendingMomentMz, var::BeamBendingMomentMw})
            if (variable == name) return "Beam";
    }
    for (auto name :
         {var::MembraneForceNx, var::MembraneForceNy, var::MembraneForceNxy, var::MembraneForceN1,
          var::MembraneForceN2, var::BendingForceMx, var::BendingForceMy, var::BendingForceMxy,
          var::BendingForceM1, var::BendingForceM2})
        if (variable == name) return "Shell";
    return "";
}

std::string VectorLabel(std::string_view variable, std::int16_t vector) {
    return std::string(RecordLabel(variable)) + " " + std::to_string(vector);
}

void WriteWorksheet(const std::string& path, const ExtractionRequest& request,
                    const OutputFileModel& model, const ValueTable& table, Services& services) {
    const std::size_t times = request.SelectedTimes.size();
    const std::size_t vectors = request.Vectors.size();
    const std::size_t across = request.TimesInColumns ? times : vectors;
    const std::size_t down = request.TimesInColumns ? vectors : times;
    if (across > 255) {
        services.Messages.MsgBox(kTooManyColumns, MsgButtons::Ok, MsgIcon::Critical);
        return;
    }
    if (down > 65535) {
        services.Messages.MsgBox(kTooManyRows, MsgButtons::Ok, MsgIcon::Critical);
        return;
    }
    try {
        SheetWriter writer(request, model, table);
        writer.Write(path);
    } catch (const Failure& failure) {
        services.Messages.MsgBox(failure.Number() == fail::PermissionDenied
                                     ? std::string(kFileLocked)
                                     : failure.Description(),
                                 MsgButtons::Ok, MsgIcon::Critical);
    } catch (const std::bad_alloc&) {
        services.Messages.MsgBox(DescribeFailure(fail::OutOfMemory), MsgButtons::Ok,
                                 MsgIcon::Critical);
    }
}

bool ExtractValues(const OutputFileModel& model, const ExtractionRequest& request,
                   ValueTable& table, Services& services) {
    switch (model.AnalysisType) {
        case AnalysisThermal:
            ReadTemperatures(model, request, table, services);
            break;
        case AnalysisStatic:
        case AnalysisDynamic:
            ReadStructuralValues(model, request, table, services);
            break;
        default:
            return false;
    }
    return !services.AbortRequested;
}

void ExtractAndWrite(const OutputFileModel& model, const ExtractionRequest& request,
                     ValueTable& table, Services& services) {
    if (ExtractValues(model, request, table, services))
        WriteWorksheet(request.OutputPath, request, model, table, services);
}

}  // namespace vx
