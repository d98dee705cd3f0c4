#include "window/PlotData.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "common/Failure.h"
#include "common/Text.h"
#include "extraction/Variables.h"
#include "reader/TextRoutines.h"

namespace vx {

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// "1 node", "255 nodes": the sheet's word for one, the range frame's caption for more.
std::string ItemsText(const std::string& variable, const OutputFileModel& model,
                      std::size_t count) {
    std::string one = Lower(std::string(RecordLabel(variable)));
    if (count == 1) return "1 " + one;
    OfferedVariable row;
    std::string many = DescribeVariable(variable, model, row) ? Lower(row.RangeCaption) : one;
    return std::to_string(count) + " " + many;
}

AxisRange RangeOf(const std::vector<double>& values) {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (double v : values) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return NiceRange(lo, hi);
}

}  // namespace

PlotData BuildPlot(const OutputFileModel& model, const ExtractionRequest& request,
                   const ValueTable& table) {
    PlotData plot;
    plot.Title = std::filesystem::path(model.FilePath).filename().string();
    plot.XTitle = "Time (s)";
    plot.YTitle = request.Variable;
    if (!request.VectorKind.empty()) plot.YTitle += " " + Latin1ToUtf8(request.VectorKind);

    const std::size_t times = request.SelectedTimes.size();
    plot.Times.reserve(times);
    for (std::int16_t step : request.SelectedTimes) {
        if (step < 1 || step > static_cast<std::int32_t>(model.Times.size()))
            Raise(fail::SubscriptOutOfRange);
        plot.Times.push_back(
            static_cast<double>(model.Times[static_cast<std::size_t>(step - 1)].Time));
    }

    const std::size_t items = request.Vectors.size();
    plot.Items = ItemsText(request.Variable, model, items);
    plot.ManyItems = items > kMostPlotLines;
    plot.Markers = times <= kMostMarkedTimes;
    plot.Lines.reserve(items);
    for (std::int16_t vector : request.Vectors) {
        PlotLine line{VectorLabel(request.Variable, vector), {}};
        line.Values.reserve(times);
        for (std::size_t t = 1; t <= times; ++t)
            line.Values.push_back(
                static_cast<double>(table.At(vector, static_cast<std::int32_t>(t))));
        plot.Lines.push_back(std::move(line));
    }

    plot.BandLabel = "Minimum to maximum of " + plot.Items;
    plot.Minimum = {"Minimum of " + plot.Items, std::vector<double>(times)};
    plot.Maximum = {"Maximum of " + plot.Items, std::vector<double>(times)};
    plot.Mean = {"Mean of " + plot.Items, std::vector<double>(times)};
    for (std::size_t t = 0; t < times && items > 0; ++t) {
        double lo = plot.Lines[0].Values[t], hi = lo, sum = 0;
        for (const auto& line : plot.Lines) {
            const double v = line.Values[t];
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            sum += v;
        }
        plot.Minimum.Values[t] = lo;
        plot.Maximum.Values[t] = hi;
        plot.Mean.Values[t] = sum / static_cast<double>(items);
    }

    plot.X = RangeOf(plot.Times);
    // The band holds every line, so one range serves both views.
    std::vector<double> extremes = plot.Minimum.Values;
    extremes.insert(extremes.end(), plot.Maximum.Values.begin(), plot.Maximum.Values.end());
    plot.Y = RangeOf(extremes);
    return plot;
}

bool ShowsEveryLine(const PlotData& plot, bool everyLineAsked) {
    return !plot.ManyItems || everyLineAsked;
}

AxisRange NiceRange(double lo, double hi, int maxTicks) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) return {};
    if (lo > hi) std::swap(lo, hi);
    maxTicks = std::max(maxTicks, 2);
    // A span lost in the values' own rounding counts as a single value.
    if (hi - lo <= 1e-12 * std::max(std::abs(lo), std::abs(hi))) {
        const double pad = lo == 0 && hi == 0 ? 1 : std::abs(lo) * 0.1;
        lo -= pad;
        hi += pad;
    }
    const double raw = (hi - lo) / (maxTicks - 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double multiple : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        const double step = multiple * power;
        const double min = std::floor(lo / step) * step;
        const double max = std::ceil(hi / step) * step;
        const double ticks = std::round((max - min) / step) + 1;
        if (ticks <= maxTicks)
            return {min == 0 ? 0 : min, max == 0 ? 0 : max, static_cast<int>(ticks)};
    }
    return {lo, hi, 2};
}

std::size_t NearestTime(const std::vector<double>& times, double x) {
    std::size_t nearest = 0;
    for (std::size_t i = 1; i < times.size(); ++i)
        if (std::abs(times[i] - x) < std::abs(times[nearest] - x)) nearest = i;
    return nearest;
}

std::string PointText(std::string_view label, double time, double value) {
    return std::string(label) + " at " + TimeText(static_cast<float>(time)) +
           " s: " + TimeText(static_cast<float>(value));
}

PixelRect PlotWindowPlace(const PixelRect& mainWindow, const PixelRect& screen, int width,
                          int height) {
    const int screenRight = screen.Left + screen.Width;
    const int screenBottom = screen.Top + screen.Height;
    int left = mainWindow.Left + mainWindow.Width;
    if (left + width > screenRight) {
        left = mainWindow.Left - width;
        if (left < screen.Left) left = std::max(screen.Left, screenRight - width);
    }
    const int top = std::max(screen.Top, std::min(mainWindow.Top, screenBottom - height));
    return {left, top, width, height};
}

}  // namespace vx
