#include "desktop/PlotCanvas.h"

#include <QGraphicsSceneHoverEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QValueAxis>
#include <cmath>

#include "reader/TextRoutines.h"

namespace vx::desktop {

namespace {

// Ten colours that stay apart on white; the second ten lines repeat them dashed.
constexpr QRgb kPalette[] = {0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd,
                             0x8c564b, 0xe377c2, 0x7f7f7f, 0xbcbd22, 0x17becf};
constexpr std::size_t kColours = sizeof(kPalette) / sizeof(kPalette[0]);
// How near the pointer must come to a point to show it, in pixels.
constexpr double kHoverReach = 10;
constexpr double kMarkerRadius = 3;

// Clips the segment a-b to the rectangle [0, w] x [0, h] (Liang and Barsky); false when
// none of it lies inside.
bool ClipSegment(QPointF& a, QPointF& b, double w, double h) {
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x(), w - a.x(), a.y(), h - a.y()};
    double enter = 0, leave = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0)
            enter = std::max(enter, r);
        else
            leave = std::min(leave, r);
        if (enter > leave) return false;
    }
    const QPointF from = a;
    a = from + enter * QPointF(dx, dy);
    b = from + leave * QPointF(dx, dy);
    return true;
}

// A polyline one pixel wide, without smoothing, straight into the pixels of `image`
// (points in its pixels). For hundreds of lines of thousands of points QPainter spends a
// fraction of a microsecond on every point; this spends a few nanoseconds.
void DrawThinPolyline(QImage& image, const std::vector<QPointF>& points, QRgb colour) {
    const double w = image.width() - 1, h = image.height() - 1;
    if (w < 0 || h < 0) return;
    auto* bits = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    for (std::size_t k = 1; k < points.size(); ++k) {
        QPointF a = points[k - 1], b = points[k];
        if (!std::isfinite(a.x() + a.y() + b.x() + b.y()) || !ClipSegment(a, b, w, h)) continue;
        const long x0 = std::lround(a.x()), y0 = std::lround(a.y());
        const long x1 = std::lround(b.x()), y1 = std::lround(b.y());
        const long steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        // 16.16 fixed point from the centre of the first pixel; the steps are truncated
        // toward zero, so the last one never passes the end. Coordinates stay positive.
        constexpr long kOne = 65536;
        long x = x0 * kOne + kOne / 2, y = y0 * kOne + kOne / 2;
        const long sx = steps ? (x1 - x0) * kOne / steps : 0;
        const long sy = steps ? (y1 - y0) * kOne / steps : 0;
        for (long s = 0; s <= steps; ++s, x += sx, y += sy)
            bits[(y / kOne) * stride + x / kOne] = colour;
    }
}

QValueAxis* Axis(QChart* chart, Qt::Orientation orientation) {
    const auto axes = chart->axes(orientation);
    return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis*>(axes.front());
}

}  // namespace

PlotCanvas::PlotCanvas(QChart* chart) : m_chart(chart) {
    setParentItem(chart);
    setAcceptHoverEvents(true);
    // The chart view zooms with the mouse buttons; the canvas only listens to hovering.
    setAcceptedMouseButtons(Qt::NoButton);
    setZValue(1);
    connect(chart, &QChart::plotAreaChanged, this, [this] {
        prepareGeometryChange();
        update();
    });
}

void PlotCanvas::SetPlot(std::shared_ptr<const PlotData> plot, bool everyLine) {
    m_plot = std::move(plot);
    m_everyLine = everyLine;
    m_hover.reset();
    m_extremes.reset();
    if (m_plot) {
        const std::vector<PlotPeak> peaks = PlotPeaks(*m_plot);
        if (!peaks.empty()) m_extremes = peaks.front();
    }
    for (Qt::Orientation o : {Qt::Horizontal, Qt::Vertical})
        if (QValueAxis* axis = Axis(m_chart, o))
            connect(axis, &QValueAxis::rangeChanged, this, &PlotCanvas::Redraw,
                    Qt::UniqueConnection);
    prepareGeometryChange();
    update();
}

void PlotCanvas::Redraw() {
    update();
}

QColor PlotCanvas::LineColour(std::size_t i) {
    return QColor(kPalette[i % kColours]);
}

Qt::PenStyle PlotCanvas::LineStyle(std::size_t i) {
    return (i / kColours) % 2 == 0 ? Qt::SolidLine : Qt::DashLine;
}

QColor PlotCanvas::BandColour() {
    return QColor(0x1f, 0x77, 0xb4, 70);
}

QColor PlotCanvas::MeanColour() {
    return QColor(0x0b, 0x3d, 0x66);
}

QColor PlotCanvas::ExtremeColour() {
    return QColor(0xa0, 0x10, 0x10);
}

QRectF PlotCanvas::boundingRect() const {
    return m_chart->plotArea();
}

double PlotCanvas::LineWidth(const PlotData& plot) {
    // A thick line of thousands of points is drawn as a path filled with all its
    // crossings, seconds for a jagged one; a thin one is drawn stroke by stroke.
    return plot.Markers ? 2.0 : 1.0;
}

PlotCanvas::Mapping PlotCanvas::CurrentMapping() const {
    const QRectF area = m_chart->plotArea();
    const QValueAxis* ax = Axis(m_chart, Qt::Horizontal);
    const QValueAxis* ay = Axis(m_chart, Qt::Vertical);
    if (!ax || !ay || ax->max() == ax->min() || ay->max() == ay->min()) return {};
    return {area.left(),
            area.bottom(),
            ax->min(),
            ay->min(),
            area.width() / (ax->max() - ax->min()),
            area.height() / (ay->max() - ay->min())};
}

std::vector<PlotCanvas::Drawn> PlotCanvas::DrawnLines() const {
    std::vector<Drawn> drawn;
    if (!m_plot) return drawn;
    if (m_everyLine) {
        for (std::size_t i = 0; i < m_plot->Lines.size(); ++i)
            drawn.push_back({&m_plot->Lines[i], LineColour(i)});
    } else {
        const QColor edge = BandColour().darker(150);
        drawn = {{&m_plot->Maximum, edge}, {&m_plot->Mean, MeanColour()}, {&m_plot->Minimum, edge}};
    }
    return drawn;
}

void PlotCanvas::Polyline(QPainter& painter, const Mapping& map,
                          const std::vector<double>& values) {
    const std::vector<double>& times = m_plot->Times;
    m_points.resize(times.size());
    for (std::size_t t = 0; t < times.size(); ++t) m_points[t] = map(times[t], values[t]);
    painter.drawPolyline(m_points.data(), static_cast<int>(m_points.size()));
}

void PlotCanvas::DrawManyLines(QPainter& painter, const Mapping& map) {
    // The plot area in the device's own pixels, drawn into an image of that size.
    const QRectF area = m_chart->plotArea();
    const QRectF device = painter.worldTransform().mapRect(area);
    const double ratio = painter.device()->devicePixelRatioF();
    const QSize pixels = (device.size() * ratio).toSize();
    if (pixels.isEmpty()) return;
    QImage layer(pixels, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    const double sx = pixels.width() / area.width(), sy = pixels.height() / area.height();
    const std::vector<double>& times = m_plot->Times;
    m_points.resize(times.size());
    for (std::size_t i = 0; i < m_plot->Lines.size(); ++i) {
        const std::vector<double>& values = m_plot->Lines[i].Values;
        for (std::size_t t = 0; t < times.size(); ++t) {
            const QPointF p = map(times[t], values[t]);
            m_points[t] = {(p.x() - area.left()) * sx, (p.y() - area.top()) * sy};
        }
        DrawThinPolyline(layer, m_points, LineColour(i).rgba());
    }
    painter.drawImage(area, layer);
}

void PlotCanvas::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    if (!m_plot || m_plot->Times.empty()) return;
    painter->save();
    painter->setClipRect(m_chart->plotArea());
    const bool many = m_everyLine && m_plot->ManyItems;
    // Hundreds of lines are a texture, not lines: drawn without smoothing they take a
    // fraction of the time.
    painter->setRenderHint(QPainter::Antialiasing, !many);
    const bool markers = m_plot->Markers && !many;
    const double width = LineWidth(*m_plot);
    const Mapping map = CurrentMapping();
    auto drawMarkers = [&](const QColor& colour) {
        painter->setBrush(colour);
        for (const QPointF& p : m_points) painter->drawEllipse(p, kMarkerRadius, kMarkerRadius);
        painter->setBrush(Qt::NoBrush);
    };

    const QTransform& world = painter->worldTransform();
    if (many && painter->paintEngine()->type() == QPaintEngine::Raster &&
        world.type() <= QTransform::TxScale) {
        DrawManyLines(*painter, map);
    } else if (m_everyLine) {
        for (std::size_t i = 0; i < m_plot->Lines.size(); ++i) {
            // Hundreds of lines are told apart by hovering, not by their dashes.
            painter->setPen(QPen(LineColour(i), width, many ? Qt::SolidLine : LineStyle(i)));
            Polyline(*painter, map, m_plot->Lines[i].Values);
            if (markers) {
                painter->setPen(QPen(LineColour(i), 1.0));
                drawMarkers(LineColour(i));
            }
        }
    } else {
        // The band: along the maximum, back along the minimum.
        const std::vector<double>& times = m_plot->Times;
        QPolygonF band;
        band.reserve(static_cast<qsizetype>(2 * times.size()));
        for (std::size_t t = 0; t < times.size(); ++t)
            band << map(times[t], m_plot->Maximum.Values[t]);
        for (std::size_t t = times.size(); t-- > 0;)
            band << map(times[t], m_plot->Minimum.Values[t]);
        painter->setPen(Qt::NoPen);
        painter->setBrush(BandColour());
        painter->drawPolygon(band);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(BandColour().darker(150), 1.0));
        Polyline(*painter, map, m_plot->Maximum.Values);
        Polyline(*painter, map, m_plot->Minimum.Values);
        painter->setPen(QPen(MeanColour(), width));
        Polyline(*painter, map, m_plot->Mean.Values);
        if (markers) drawMarkers(MeanColour());
    }

    if (m_extremes) {
        // The largest and the smallest value of them all, marked and named.
        const PlotPeak& e = *m_extremes;
        painter->setRenderHint(QPainter::Antialiasing, true);
        for (bool max : {true, false}) {
            const QPointF at = map(max ? e.MaxTime : e.MinTime, max ? e.Max : e.Min);
            const double d = max ? -1 : 1;  // the triangle points at the value
            const QPointF tip = at + QPointF(0, d * 3);
            const QPolygonF mark({tip, tip + QPointF(-5, d * 9), tip + QPointF(5, d * 9)});
            painter->setPen(QPen(ExtremeColour(), 1.0));
            painter->setBrush(ExtremeColour());
            painter->drawPolygon(mark);
            const QString text = QString::fromStdString(
                (max ? "max " : "min ") + TimeText(static_cast<float>(max ? e.Max : e.Min)));
            painter->drawText(QRectF(at.x() + 7, at.y() + d * 22 - 8, 160, 16),
                              Qt::AlignLeft | Qt::AlignVCenter, text);
        }
        painter->setBrush(Qt::NoBrush);
    }

    if (m_hover) {
        // Where the point is now: the plot area may have moved since it was pointed at.
        const auto [line, t] = *m_hover;
        painter->setPen(QPen(Qt::black, 1.5));
        painter->setBrush(Qt::white);
        painter->drawEllipse(map(m_plot->Times[t], line->Values[t]), kMarkerRadius + 2,
                             kMarkerRadius + 2);
    }
    painter->restore();
}

std::optional<PlotCanvas::Hit> PlotCanvas::HitAt(QPointF at) const {
    if (!m_plot || m_plot->Times.empty() || !m_chart->plotArea().contains(at)) return {};
    const Mapping map = CurrentMapping();
    if (map.XScale == 0) return {};
    const std::size_t t = NearestTime(m_plot->Times, map.XMin + (at.x() - map.Left) / map.XScale);
    std::optional<Hit> hit;
    double best = kHoverReach;
    for (const Drawn& d : DrawnLines()) {
        const QPointF p = map(m_plot->Times[t], d.Line->Values[t]);
        const double distance = std::hypot(p.x() - at.x(), p.y() - at.y());
        if (distance <= best) {
            best = distance;
            hit = Hit{d.Line, t, p};
        }
    }
    return hit;
}

QString PlotCanvas::TextOf(const Hit& hit) const {
    return QString::fromStdString(
        PointText(hit.Line->Label, m_plot->Times[hit.Time], hit.Line->Values[hit.Time]));
}

std::optional<QString> PlotCanvas::PointAt(QPointF at) const {
    std::optional<Hit> hit = HitAt(at);
    if (!hit) return {};
    return TextOf(*hit);
}

void PlotCanvas::hoverMoveEvent(QGraphicsSceneHoverEvent* event) {
    std::optional<Hit> hit = HitAt(event->pos());
    std::optional<std::pair<const PlotLine*, std::size_t>> hover;
    if (hit) hover = {hit->Line, hit->Time};
    if (hover != m_hover) {
        m_hover = hover;
        update();
    }
    emit Hovered(hit ? TextOf(*hit) : QString(), hit ? hit->At : event->pos());
}

void PlotCanvas::hoverLeaveEvent(QGraphicsSceneHoverEvent*) {
    if (m_hover) {
        m_hover.reset();
        update();
    }
    emit Hovered(QString(), QPointF());
}

}  // namespace vx::desktop
