// voraxextract._core: the compiled part of the Python module. A listing scanned by the
// core, its summary, and extractions into numpy arrays; the Python part (voraxextract/)
// checks the arguments' types, raises the module's exceptions and holds the documentation.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/Failure.h"
#include "common/Text.h"
#include "export/ComparisonTable.h"
#include "export/ExportPlan.h"
#include "export/PeaksTable.h"
#include "export/RequestPass.h"
#include "export/Worksheet.h"
#include "extraction/Comparison.h"
#include "extraction/Extraction.h"
#include "extraction/Peaks.h"
#include "extraction/Variables.h"
#include "python/PythonHost.h"
#include "reader/Reader.h"
#include "reader/TextRoutines.h"
#include "scripting/ListingSummary.h"

namespace vx::python {

namespace {

// The summary as Python objects: dicts, lists, str, int, float and bool, equal to what
// json.loads makes of `voraxextract-cli info --json`.
class DictWriter : public SummaryWriter {
public:
    void BeginObject() override { Open(py::dict()); }
    void EndObject() override { Close(); }
    void BeginArray() override { Open(py::list()); }
    void EndArray() override { Close(); }
    void Key(std::string_view key) override { m_key = Latin1Text(key); }
    void String(std::string_view latin1) override { Add(Latin1Text(latin1)); }
    void Integer(long long value) override { Add(py::int_(value)); }
    void Single(float value) override { Add(py::float_(std::stod(ShortestText(value)))); }
    void Bool(bool value) override { Add(py::bool_(value)); }

    py::object Result() const { return m_result; }

private:
    void Add(py::object value) {
        if (m_open.empty()) {
            m_result = std::move(value);
        } else if (py::isinstance<py::dict>(m_open.back())) {
            m_open.back()[m_key] = std::move(value);
        } else {
            m_open.back().cast<py::list>().append(std::move(value));
        }
    }
    void Open(py::object container) {
        Add(container);
        m_open.push_back(std::move(container));
    }
    void Close() { m_open.pop_back(); }

    std::vector<py::object> m_open;
    py::object m_key;
    py::object m_result = py::none();
};

// A Python string as the listing's Latin-1 bytes; false for a character beyond Latin-1,
// which no text of a listing holds.
bool ToLatin1(const py::str& text, std::string& out) {
    PyObject* bytes = PyUnicode_AsLatin1String(text.ptr());
    if (!bytes) {
        PyErr_Clear();
        return false;
    }
    out.assign(PyBytes_AS_STRING(bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes)));
    Py_DECREF(bytes);
    return true;
}

[[noreturn]] void Refuse(const std::string& latin1Reason) {
    throw py::value_error(Latin1ToUtf8(latin1Reason));
}

// A result table as (header, values, empty) triples, in the table's order: texts as a list
// (an empty cell ""), whole numbers as int64, singles as float32 (an empty cell NaN),
// doubles as float64 and yes/no as bool arrays; `empty` a bool array marking the empty
// cells of a column that has any, else None.
py::list TableColumns(const ResultTable& table) {
    const auto rows = static_cast<py::ssize_t>(table.DataRows());
    py::list columns;
    for (std::size_t c = 0; c < table.Header().size(); ++c) {
        const TableColumn& column = table.Header()[c];
        py::object values;
        py::array_t<bool> empty(rows);
        auto emptyView = empty.mutable_unchecked<1>();
        bool anyEmpty = false;
        auto fill = [&](auto array, auto get) {
            auto view = array.template mutable_unchecked<1>();
            for (py::ssize_t r = 0; r < rows; ++r) {
                const TableCell cell = table.Cell(static_cast<std::int32_t>(r), c);
                emptyView(r) = std::holds_alternative<std::monostate>(cell);
                anyEmpty = anyEmpty || emptyView(r);
                view(r) = get(cell);
            }
            values = array;
        };
        switch (column.Type) {
            case TableCellType::Text: {
                py::list texts;
                for (py::ssize_t r = 0; r < rows; ++r) {
                    const TableCell cell = table.Cell(static_cast<std::int32_t>(r), c);
                    const auto* text = std::get_if<std::string>(&cell);
                    texts.append(Latin1Text(text ? *text : std::string()));
                }
                values = texts;
                break;
            }
            case TableCellType::Whole:
                fill(py::array_t<std::int64_t>(rows), [](const TableCell& cell) {
                    const auto* value = std::get_if<std::int64_t>(&cell);
                    return value ? *value : std::int64_t{0};
                });
                break;
            case TableCellType::Single:
                fill(py::array_t<float>(rows), [](const TableCell& cell) {
                    const auto* value = std::get_if<float>(&cell);
                    return value ? *value : std::numeric_limits<float>::quiet_NaN();
                });
                break;
            case TableCellType::Double:
                fill(py::array_t<double>(rows), [](const TableCell& cell) {
                    const auto* value = std::get_if<double>(&cell);
                    return value ? *value : std::numeric_limits<double>::quiet_NaN();
                });
                break;
            case TableCellType::YesNo:
                fill(py::array_t<bool>(rows), [](const TableCell& cell) {
                    const auto* value = std::get_if<bool>(&cell);
                    return value && *value;
                });
                break;
        }
        columns.append(py::make_tuple(std::string(column.Header), values,
                                      anyEmpty ? py::object(empty) : py::object(py::none())));
    }
    return columns;
}

// What the Python part passes: every argument already of its type, None where unset.
struct Arguments {
    std::optional<py::str> Variable;
    std::optional<py::str> Vector;
    std::optional<std::int64_t> VectorIndex;
    // Several vector kinds (peaks), each by its text or its place.
    std::optional<std::vector<std::variant<std::int64_t, py::str>>> Vectors;
    std::optional<std::vector<std::int64_t>> Items;
    std::optional<std::vector<std::int64_t>> Steps;
    std::optional<std::vector<std::variant<double, py::str>>> Times;
};

// The Latin-1 bytes of a text argument; a character beyond Latin-1 is in no list of a
// listing, and `refusal` (with the text in place of %) says so.
std::string Latin1Argument(const py::str& text, std::string_view refusal) {
    std::string bytes;
    if (ToLatin1(text, bytes)) return bytes;
    std::string reason(refusal);
    reason.replace(reason.find('%'), 1, std::string(text));
    throw py::value_error(reason);
}

ExportRequest RequestOf(const Arguments& a) {
    ExportRequest request;
    if (a.Variable)
        request.Variable =
            Latin1Argument(*a.Variable, "variable '%' is not offered by this listing");
    constexpr std::string_view kNoSuchKind = "vector kind '%' does not exist";
    if (a.Vector)
        request.VectorKinds = {{Latin1Argument(*a.Vector, kNoSuchKind), std::nullopt}};
    else if (a.VectorIndex)
        request.VectorKinds = {{std::nullopt, *a.VectorIndex}};
    else if (a.Vectors)
        for (const auto& kind : *a.Vectors) {
            if (const auto* text = std::get_if<py::str>(&kind))
                request.VectorKinds.push_back({Latin1Argument(*text, kNoSuchKind), std::nullopt});
            else
                request.VectorKinds.push_back({std::nullopt, std::get<std::int64_t>(kind)});
        }
    if (a.Items)
        request.Items = ItemNumbers{*a.Items};
    else
        request.Items = EveryItem{};
    if (a.Steps) {
        request.Steps = StepNumbers{{a.Steps->begin(), a.Steps->end()}};
    } else if (a.Times) {
        StepTimes times;
        constexpr std::string_view kNoSuchTime = "time '%' is not in the list of available times";
        for (const auto& time : *a.Times) {
            if (const py::str* text = std::get_if<py::str>(&time)) {
                times.Times.push_back(Latin1Argument(*text, kNoSuchTime));
            } else {
                // A time is a single; what no single holds is no time of the listing.
                const double value = std::get<double>(time);
                if (!(std::fabs(value) <= std::numeric_limits<float>::max()))
                    throw py::value_error("time " + std::string(py::repr(py::float_(value))) +
                                          " is not in the list of available times");
                times.Times.push_back(TimeText(static_cast<float>(value)));
            }
        }
        request.Steps = std::move(times);
    } else {
        request.Steps = EveryStep{};
    }
    return request;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A refused request in the module's words: about the arguments given, not the window's
// boxes and buttons.
std::string ModuleReason(const Refusal& refusal, const Arguments& arguments,
                         const OutputFileModel& model) {
    switch (refusal.Rule) {
        case RefusalRule::RangeNotReady: {
            // Only every item of a variable whose listing holds none comes here: items given
            // one by one are each checked against the bound first.
            OfferedVariable row;
            DescribeVariable(refusal.Variable, model, row);
            return "'" + refusal.Variable + "' has no items to read: the listing holds no " +
                   Lower(row.RangeCaption);
        }
        case RefusalRule::NoStepSelected:
            return std::string(arguments.Times ? "times" : "steps") +
                   " is empty: give at least one time step to read";
        default:
            return refusal.Reason;
    }
}

std::vector<float> TakeInRequestOrder(ValueTable& table, const ExtractionRequest& request,
                                      bool& inOrder) {
    const auto& vectors = request.Vectors;
    const auto& kept = table.KeptRows();
    inOrder = !table.KeepsEveryRow() && kept.size() == vectors.size() &&
              std::equal(kept.begin(), kept.end(), vectors.begin()) &&
              table.Columns() == static_cast<std::int32_t>(request.SelectedTimes.size());
    return inOrder ? table.TakeValues() : std::vector<float>{};
}

// (values, item numbers, step numbers): values[i][j] is item j at step i, taken from the
// extraction's table.
py::tuple ValuesResult(ValueTable& table, const ExtractionRequest& request) {
    const auto steps = static_cast<py::ssize_t>(request.SelectedTimes.size());
    const auto items = static_cast<py::ssize_t>(request.Vectors.size());
    const std::vector<py::ssize_t> shape = {steps, items};
    bool inOrder = false;
    auto values = TakeInRequestOrder(table, request, inOrder);
    py::array_t<float> array;
    if (inOrder) {
        // The table's own storage becomes the array's: steps after steps, the items in
        // increasing order, exactly the request's order.
        auto* owned = new std::vector<float>(std::move(values));
        py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<float>*>(p); });
        array = py::array_t<float>(shape, owned->data(), owner);
    } else {
        array = py::array_t<float>(shape);
        auto view = array.mutable_unchecked<2>();
        try {
            for (py::ssize_t t = 0; t < steps; ++t)
                for (py::ssize_t k = 0; k < items; ++k)
                    view(t, k) = table.At(request.Vectors[static_cast<std::size_t>(k)],
                                          static_cast<std::int32_t>(t + 1));
        } catch (const Failure& failure) {
            RaiseFailures({{FailureKind::ReadFailed, 0, failure.Description(), MsgIcon::Critical}});
        }
    }
    return py::make_tuple(array, request.Vectors, request.SelectedTimes);
}

// The warning of a request that reaches into a step cut short.
py::object& IncompleteStepWarning() {
    static py::object category;
    return category;
}

// The plan of a request, or its refusal raised in the module's words; a reading that reaches
// into a step cut short is warned of, and read all the same.
ExportPlan Accepted(const OutputFileModel& model, const Arguments& arguments, Planned planned,
                    SharedBytes* held = nullptr) {
    if (const auto* refused = std::get_if<Refusal>(&planned))
        Refuse(ModuleReason(*refused, arguments, model));
    ExportPlan plan = std::get<ExportPlan>(std::move(planned));
    for (const ExtractionRequest& reading : plan.Readings) {
        if (const auto cut = RequestCutShort(model, reading, held)) {
            const std::string text = Latin1ToUtf8(CutShortText(model, reading, *cut));
            if (PyErr_WarnEx(IncompleteStepWarning().ptr(), text.c_str(), 2) != 0)
                throw py::error_already_set();
            break;
        }
    }
    return plan;
}

// A comparison's request from the module's arguments.
CompareRequest CompareRequestOf(const std::vector<py::str>& variables, double relative,
                                double absolute) {
    CompareRequest request;
    for (const auto& name : variables)
        request.Variables.push_back(
            Latin1Argument(name, "variable '%' is offered by neither listing"));
    request.Within = {relative, absolute};
    return request;
}

// A comparison as the Python part takes it: the table's columns, whether the listings
// agree, and the differences of structure.
py::tuple ComparisonResult(const Comparison& comparison) {
    py::list structure;
    for (const auto& line : comparison.Structure) structure.append(Latin1Text(line));
    return py::make_tuple(TableColumns(ComparisonTable(comparison)), comparison.Agree(), structure);
}

// Two listings compared from their paths, each read once (scan and values together).
py::tuple ComparePaths(const py::bytes& a, const py::bytes& b,
                       const std::vector<py::str>& variables, double relative, double absolute,
                       py::object progress, int threads) {
    const CompareRequest request = CompareRequestOf(variables, relative, absolute);
    ListingsCompared compared;
    Outcome read;
    PythonHost host(std::move(progress), threads);
    host.Run([&](Services& services) {
        read = CompareListings(std::string(a), std::string(b), request, compared, services);
    });
    host.RaiseIfFailed(read);
    if (compared.Refused) Refuse(compared.Refused->Reason);
    host.RaiseIfFailed(Outcome{compared.Failures, false});
    return ComparisonResult(compared.Result);
}

// A listing read from its path for one request, in one reading: the scan and the values
// the request wants together (RequestPass). The same checks, messages, warnings and values
// as opening it and asking Listing for the request.
class PathReading {
public:
    PathReading(const py::bytes& path, const ExportRequest& request, RequestPass::Keep keep,
                py::object progress, int threads)
        : m_host(std::move(progress), threads), m_pass(request, keep) {
        m_model.FilePath = std::string(path);
        m_model.Reset();
        Outcome scan;
        m_host.Run([&](Services& services) { scan = m_pass.Read(m_model, services); });
        m_host.RaiseIfFailed(scan);
    }
    const OutputFileModel& Model() const { return m_model; }
    ExportPlan Plan(const Arguments& arguments) {
        return Accepted(m_model, arguments, m_pass.Plan(), m_pass.Held());
    }
    // Runs `work` as Listing's requests run theirs, and raises what it reports.
    void Run(const std::function<Outcome(RequestPass&, Services&)>& work) {
        Outcome outcome;
        m_host.Run([&](Services& services) { outcome = work(m_pass, services); });
        m_host.RaiseIfFailed(outcome);
    }

private:
    PythonHost m_host;
    RequestPass m_pass;
    OutputFileModel m_model;
};

// voraxextract.read(): (values, item numbers, step numbers, each step's time as the frames
// index it, the items' label).
py::tuple ReadPath(const py::bytes& path, const Arguments& arguments, py::object progress,
                   int threads) {
    PathReading reading(path, RequestOf(arguments), RequestPass::Keep::Values, std::move(progress),
                        threads);
    const OutputFileModel& model = reading.Model();
    const ExportPlan plan = reading.Plan(arguments);
    ValueTable table;
    reading.Run(
        [&](RequestPass& pass, Services& services) { return pass.Values(model, table, services); });
    const ExtractionRequest& request = plan.Readings.front();
    py::list index;
    for (std::int16_t step : request.SelectedTimes)
        index.append(py::float_(
            std::stod(ShortestText(model.Times[static_cast<std::size_t>(step - 1)].Time))));
    const py::tuple values = ValuesResult(table, request);
    return py::make_tuple(values[0], values[1], values[2], index,
                          Latin1Text(RecordLabel(request.Variable)));
}

// The peaks of a request read from a listing's path in one reading, as Listing.peaks gives
// them.
py::list ReadPeaks(const py::bytes& path, const Arguments& arguments, bool overSteps,
                   py::object progress, int threads) {
    const PeaksOver over = overSteps ? PeaksOver::Steps : PeaksOver::Items;
    PathReading reading(
        path, PeaksRequest(RequestOf(arguments)),
        overSteps ? RequestPass::Keep::PeaksOverSteps : RequestPass::Keep::PeaksOverItems,
        std::move(progress), threads);
    const ExportPlan plan = reading.Plan(arguments);
    std::vector<KindPeaks> peaks;
    reading.Run([&](RequestPass& pass, Services& services) {
        return pass.Peaks(reading.Model(), peaks, services);
    });
    return TableColumns(PeaksTable(reading.Model(), plan.Readings, peaks, over));
}

class Listing {
public:
    // `threads`: what each reading of the listing runs on (0: one per processor, at most
    // four), so that readings that run at once can share the processors out.
    Listing(const py::bytes& path, py::object progress, int threads) : m_threads(threads) {
        auto model = std::make_shared<OutputFileModel>();
        model->FilePath = std::string(path);
        model->Reset();
        PythonHost host(std::move(progress), m_threads);
        Outcome outcome;
        host.Run([&](Services& services) { outcome = ReadOutputFile(*model, services); });
        host.RaiseIfFailed(outcome);
        m_model = std::move(model);
    }

    void Close() { m_model.reset(); }
    bool Closed() const { return !m_model; }

    py::object Summary() const {
        DictWriter out;
        WriteListingSummary(Model(), {}, out);
        return out.Result();
    }

    py::array_t<float> Times() const {
        const OutputFileModel& m = Model();
        py::array_t<float> times(static_cast<py::ssize_t>(m.TimeCount));
        auto view = times.mutable_unchecked<1>();
        for (std::int32_t i = 0; i < m.TimeCount; ++i)
            view(i) = m.Times[static_cast<std::size_t>(i)].Time;
        return times;
    }

    py::list Variables() const {
        py::list rows;
        for (const auto& v : OfferedVariables(Model())) {
            py::list kinds;
            for (const auto& kind : v.VectorKinds) kinds.append(Latin1Text(kind));
            rows.append(py::make_tuple(Latin1Text(v.Name), Latin1Text(v.RangeCaption), kinds,
                                       v.Bound, v.NeedsRange, Latin1Text(RecordLabel(v.Name))));
        }
        return rows;
    }

    // (values, item numbers, step numbers): values[i][j] is item j at step i.
    py::tuple Values(const Arguments& arguments, py::object progress) const {
        const auto model = Shared();
        const ExtractionRequest request = Plan(*model, arguments, SheetRequest{}).Readings.front();
        ValueTable table;
        Outcome outcome;
        PythonHost host(std::move(progress), m_threads);
        host.Run(
            [&](Services& services) { outcome = ExtractValues(*model, request, table, services); });
        host.RaiseIfFailed(outcome);

        return ValuesResult(table, request);
    }

    void Export(const py::bytes& output, const Arguments& arguments, bool columns,
                py::object progress) const {
        const auto model = Shared();
        // The extension picks the format, as it does for the command-line tool.
        const ExportPlan plan =
            Plan(*model, arguments, SheetRequest{std::string(output), std::nullopt, columns});
        ValueTable table;
        Outcome outcome;
        PythonHost host(std::move(progress), m_threads);
        host.Run([&](Services& services) { outcome = RunExport(*model, plan, table, services); });
        host.RaiseIfFailed(outcome);
    }

    // The table of peaks as (header, column) pairs, in the table's order: texts as a list,
    // whole numbers as int64, singles as float32 and means as float64 arrays.
    py::list Peaks(const Arguments& arguments, bool overSteps, py::object progress) const {
        const auto model = Shared();
        const ExportPlan plan = Plan(*model, arguments, PeaksRequest(RequestOf(arguments)));
        const PeaksOver over = overSteps ? PeaksOver::Steps : PeaksOver::Items;
        std::vector<KindPeaks> peaks;
        Outcome outcome;
        PythonHost host(std::move(progress), m_threads);
        host.Run([&](Services& services) {
            outcome = ReducePeaks(*model, plan.Readings, over, peaks, services);
        });
        host.RaiseIfFailed(outcome);

        const PeaksTable table(*model, plan.Readings, peaks, over);
        return TableColumns(table);
    }

    // Reads what was added to the listing since it was read: (steps added, whether it grew,
    // whether it was read again from the start, whether it was replaced). Calls under way
    // keep the model they started with.
    py::tuple Refresh(py::object progress) {
        const auto current = Shared();
        auto model = std::make_shared<OutputFileModel>(*current);
        Refreshed refreshed;
        PythonHost host(std::move(progress), m_threads);
        host.Run([&](Services& services) { refreshed = RefreshOutputFile(*model, services); });
        host.RaiseIfFailed(refreshed.Read);
        const bool grew = model->Mark.Size != current->Mark.Size || refreshed.Replaced;
        if (!refreshed.Gone) m_model = std::move(model);
        return py::make_tuple(refreshed.NewSteps, grew, refreshed.FromStart, refreshed.Replaced);
    }

    // This listing (A) compared with `other` (B): the table's columns as TableColumns gives
    // them, whether they agree, and the differences of structure.
    py::tuple Compare(const Listing& other, const std::vector<py::str>& variables, double relative,
                      double absolute, py::object progress) const {
        const auto a = Shared(), b = other.Shared();
        CompareRequest request;
        for (const auto& name : variables)
            request.Variables.push_back(
                Latin1Argument(name, "variable '%' is offered by neither listing"));
        request.Within = {relative, absolute};
        Comparison comparison;
        if (auto refused = PlanComparison(*a, *b, request, comparison)) Refuse(refused->Reason);
        Outcome outcome;
        PythonHost host(std::move(progress), m_threads);
        host.Run([&](Services& services) {
            outcome = RunComparison(*a, *b, request, comparison, services);
        });
        host.RaiseIfFailed(outcome);
        return ComparisonResult(comparison);
    }

private:
    const OutputFileModel& Model() const { return *Shared(); }

    // The model stays alive for a call under way when another thread closes the listing.
    std::shared_ptr<const OutputFileModel> Shared() const {
        if (!m_model) throw py::value_error("I/O operation on a closed listing");
        return m_model;
    }

    static ExportPlan Plan(const OutputFileModel& model, const Arguments& arguments,
                           SheetRequest sheet) {
        ExportRequest request = RequestOf(arguments);
        request.Sheet = std::move(sheet);
        return Plan(model, arguments, request);
    }
    static ExportPlan Plan(const OutputFileModel& model, const Arguments& arguments,
                           const ExportRequest& request) {
        return Accepted(model, arguments, PlanExport(model, request));
    }

    int m_threads;
    std::shared_ptr<const OutputFileModel> m_model;
};

}  // namespace

}  // namespace vx::python

PYBIND11_MODULE(_core, m) {
    using namespace vx::python;
    m.doc() = "The compiled part of voraxextract; use the voraxextract package instead.";
    py::object failed = py::reinterpret_steal<py::object>(
        PyErr_NewException("voraxextract._core.Failed", PyExc_Exception, nullptr));
    SetFailedType(failed);
    m.attr("Failed") = failed;
    IncompleteStepWarning() = py::reinterpret_steal<py::object>(
        PyErr_NewException("voraxextract._core.IncompleteStepWarning", PyExc_UserWarning, nullptr));
    m.attr("IncompleteStepWarning") = IncompleteStepWarning();
    py::list kinds;
    for (vx::FailureKind kind : vx::kFailureKinds) kinds.append(std::string(vx::KindName(kind)));
    m.attr("FAILURE_KINDS") = kinds;

    py::class_<Arguments>(m, "Arguments")
        .def(py::init<>())
        .def_readwrite("variable", &Arguments::Variable)
        .def_readwrite("vector", &Arguments::Vector)
        .def_readwrite("vector_index", &Arguments::VectorIndex)
        .def_readwrite("vectors", &Arguments::Vectors)
        .def_readwrite("items", &Arguments::Items)
        .def_readwrite("steps", &Arguments::Steps)
        .def_readwrite("times", &Arguments::Times);

    m.def("read", &ReadPath, py::arg("path"), py::arg("arguments"), py::arg("progress"),
          py::arg("threads"));
    m.def("read_peaks", &ReadPeaks, py::arg("path"), py::arg("arguments"), py::arg("over_steps"),
          py::arg("progress"), py::arg("threads"));
    m.def("compare_paths", &ComparePaths, py::arg("a"), py::arg("b"), py::arg("variables"),
          py::arg("rtol"), py::arg("atol"), py::arg("progress"), py::arg("threads"));

    py::class_<Listing>(m, "Listing")
        .def(py::init<const py::bytes&, py::object, int>(), py::arg("path"), py::arg("progress"),
             py::arg("threads"))
        .def("close", &Listing::Close)
        .def_property_readonly("closed", &Listing::Closed)
        .def("summary", &Listing::Summary)
        .def("times", &Listing::Times)
        .def("variables", &Listing::Variables)
        .def("values", &Listing::Values, py::arg("arguments"), py::arg("progress"))
        .def("export", &Listing::Export, py::arg("output"), py::arg("arguments"),
             py::arg("columns"), py::arg("progress"))
        .def("peaks", &Listing::Peaks, py::arg("arguments"), py::arg("over_steps"),
             py::arg("progress"))
        .def("refresh", &Listing::Refresh, py::arg("progress"))
        .def("compare", &Listing::Compare, py::arg("other"), py::arg("variables"), py::arg("rtol"),
             py::arg("atol"), py::arg("progress"));
}
