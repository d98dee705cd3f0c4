#include "window/PlotData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "common/Failure.h"
#include "common/Text.h"
#include "extraction/Extraction.h"
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

// Runs of blanks as one: the labels of beam points line their numbers up in columns
// ("Beam    2 (Point  1)"), which a title does not need.
std::string OneBlankEach(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace

PlotData BuildPlot(const OutputFileModel& model, const ExtractionRequest& request,
                   const ValueTable& table) {
    PlotData plot;
    plot.Title = std::filesystem::path(model.FilePath).filename().string();
    plot.Subject = request.Variable;
    if (!request.VectorKind.empty()) {
        const std::string kind = OneBlankEach(Latin1ToUtf8(request.VectorKind));
        plot.Subject += " " + kind;
        plot.Title += ", " + kind;
    }
    plot.XTitle = "Time (s)";
    if (const auto cut = RequestCutShort(model, request))
        plot.Warning = Latin1ToUtf8(CutShortText(model, request, *cut));
    // The axis has the room of the plot's height: the kind stands in the title.
    plot.YTitle = request.Variable;
    const Variable* variable = FindVariable(request.Variable);
    if (variable && !variable->Unit.empty())
        plot.YTitle += " [" + Latin1ToUtf8(variable->Unit) + "]";

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

std::vector<PlotPeak> PlotPeaks(const PlotData& plot) {
    std::vector<PlotPeak> peaks;
    if (plot.Lines.empty() || plot.Times.empty()) return peaks;
    PlotPeak group{"All " + plot.Items, 0, 0, 0, 0, "", ""};
    for (std::size_t i = 0; i < plot.Lines.size(); ++i) {
        const PlotLine& line = plot.Lines[i];
        PlotPeak p{line.Label, line.Values[0], plot.Times[0], line.Values[0], plot.Times[0], "",
                   ""};
        for (std::size_t t = 1; t < line.Values.size(); ++t) {
            if (line.Values[t] > p.Max) p.Max = line.Values[t], p.MaxTime = plot.Times[t];
            if (line.Values[t] < p.Min) p.Min = line.Values[t], p.MinTime = plot.Times[t];
        }
        if (i == 0 || p.Max > group.Max)
            group.Max = p.Max, group.MaxTime = p.MaxTime, group.MaxLine = p.Label;
        if (i == 0 || p.Min < group.Min)
            group.Min = p.Min, group.MinTime = p.MinTime, group.MinLine = p.Label;
        peaks.push_back(std::move(p));
    }
    peaks.insert(peaks.begin(), std::move(group));
    return peaks;
}

std::string PeaksText(const std::vector<PlotPeak>& peaks, char separator) {
    auto field = [&](std::string text) {
        if (text.find(separator) == std::string::npos && text.find('"') == std::string::npos)
            return text;
        std::string quoted = "\"";
        for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        return quoted + "\"";
    };
    // The singles the listing holds, each as the shortest decimal that reads back to it.
    auto number = [](double value) { return ShortestText(static_cast<float>(value)); };
    const std::string sep(1, separator);
    std::string text = "Item" + sep + "Max" + sep + "Time of max" + sep + "Min" + sep +
                       "Time of min" + sep + "Line of max" + sep + "Line of min\r\n";
    for (const PlotPeak& p : peaks)
        text += field(p.Label) + sep + number(p.Max) + sep + number(p.MaxTime) + sep +
                number(p.Min) + sep + number(p.MinTime) + sep + field(p.MaxLine) + sep +
                field(p.MinLine) + "\r\n";
    return text;
}

bool ShowsEveryLine(const PlotData& plot, bool everyLineAsked) {
    return !plot.ManyItems || everyLineAsked;
}

LegendSide LegendPlace(const PlotData& plot, bool everyLine) {
    if (!everyLine) return LegendSide::Bottom;  // the band and the mean
    if (plot.ManyItems) return LegendSide::None;
    return plot.Lines.size() <= kMostLegendEntriesBelow ? LegendSide::Bottom : LegendSide::Right;
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
            return {min == 0 ? 0 : min, max == 0 ? 0 : max, static_cast<int>(ticks), step};
    }
    return {lo, hi, 2, hi - lo};
}

std::vector<AxisTick> AxisTicks(const AxisRange& range) {
    std::vector<AxisTick> ticks;
    const double step = range.Step;
    if (!(step > 0) || !std::isfinite(range.Min) || !std::isfinite(range.Max)) return ticks;
    // A tick is an integer times the step, so that 0 is 0 and not what adding steps to the
    // first tick leaves of it.
    const double first = std::ceil(range.Min / step - 1e-9);
    const double last = std::floor(range.Max / step + 1e-9);
    if (last - first > 1000) return ticks;
    // Decimals enough for the step (2.5 and its powers of ten need one more).
    const double digits = -std::floor(std::log10(step) + 1e-9);
    const double mantissa = step / std::pow(10.0, -digits);
    const int decimals =
        std::max(0, static_cast<int>(digits) + (mantissa > 2.01 && mantissa < 3 ? 1 : 0));
    const double largest = std::max(std::abs(range.Min), std::abs(range.Max));
    const bool plain = decimals <= 6 && largest < 1e7;
    for (double k = first; k <= last; ++k) {
        const double value = k * step;
        char text[64];
        if (plain) {
            std::snprintf(text, sizeof text, "%.*f", decimals, value);
        } else {
            const int significant =
                std::clamp(static_cast<int>(std::ceil(std::log10(largest / step))) + 2, 1, 15);
            std::snprintf(text, sizeof text, "%.*g", significant, value);
        }
        std::string label(text);
        if (plain && label.find('.') != std::string::npos) {
            while (label.back() == '0') label.pop_back();
            if (label.back() == '.') label.pop_back();
        }
        if (label == "-0") label = "0";
        ticks.push_back({k == 0 ? 0.0 : value, label});
    }
    return ticks;
}

AxisRange ZoomedRange(const AxisRange& full, double lo, double hi, int maxTicks) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) return full;
    if (lo > hi) std::swap(lo, hi);
    const double fullSpan = full.Max - full.Min;
    if (hi - lo >= fullSpan) return full;
    AxisRange zoomed = NiceRange(lo, hi, maxTicks);
    if (zoomed.Max - zoomed.Min >= fullSpan) return full;
    // Past an end, the whole range moves back inside, keeping its width.
    if (zoomed.Min < full.Min) {
        zoomed.Max += full.Min - zoomed.Min;
        zoomed.Min = full.Min;
    } else if (zoomed.Max > full.Max) {
        zoomed.Min -= zoomed.Max - full.Max;
        zoomed.Max = full.Max;
    }
    return zoomed;
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

namespace {

constexpr PictureType kPictures[] = {
    {"PNG Picture, 1600 pixels wide", "*.png", 1600, false},
    {"PNG Picture, 3200 pixels wide", "*.png", 3200, false},
    {"PNG Picture, as on screen", "*.png", 0, false},
    {"SVG Picture", "*.svg", 0, true},
};

bool EndsWithSvg(std::string_view path) {
    if (path.size() < 4) return false;
    std::string end(path.substr(path.size() - 4));
    for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return end == ".svg";
}

}  // namespace

std::span<const PictureType> PictureTypes() {
    return kPictures;
}

std::string PictureFilter() {
    std::string filter;
    for (const auto& type : kPictures) {
        if (!filter.empty()) filter += "|";
        filter += std::string(type.Description) + " (" + std::string(type.Pattern) + ")|" +
                  std::string(type.Pattern);
    }
    return filter;
}

PictureType ChosenPicture(std::string_view path, int filterIndex) {
    if (EndsWithSvg(path)) return kPictures[std::size(kPictures) - 1];
    const bool entry = filterIndex >= 1 && filterIndex <= static_cast<int>(std::size(kPictures));
    const PictureType& chosen = kPictures[entry ? filterIndex - 1 : 0];
    return chosen.Svg ? kPictures[0] : chosen;
}

PixelRect PlotWindowPlace(const PixelRect& mainWindow, const PixelRect& screen, int width,
                          int height, int minWidth) {
    const int screenRight = screen.Left + screen.Width;
    const int roomRight = screenRight - (mainWindow.Left + mainWindow.Width);
    const int roomLeft = mainWindow.Left - screen.Left;
    const bool rightSide = width <= roomRight || (width > roomLeft && roomRight >= roomLeft);
    const int room = rightSide ? roomRight : roomLeft;
    PixelRect place{0, mainWindow.Top, width, height};
    if (width > room && room >= minWidth) place.Width = room;
    place.Left = rightSide ? mainWindow.Left + mainWindow.Width : mainWindow.Left - place.Width;
    return KeptOnScreen(place, screen);
}

}  // namespace vx
