#pragma once

#include <QChart>
#include <QColor>
#include <QGraphicsObject>
#include <QPointF>
#include <QString>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "window/PlotData.h"

namespace vx::desktop {

// The lines of a plot, drawn inside the plot area of a chart through the chart's
// axes. Qt Charts' own series build a path and a hover shape per series, which takes
// seconds for a few hundred lines of a few thousand points; drawn here, it is a
// polyline each. The chart keeps the axes, the titles, the legend and the zoom.
class PlotCanvas : public QGraphicsObject {
    Q_OBJECT
public:
    explicit PlotCanvas(QChart* chart);

    // What to draw: a line per item, or the band from minimum to maximum and the mean.
    void SetPlot(std::shared_ptr<const PlotData> plot, bool everyLine);

    // The colour and dash of line i, as its legend entry shows them.
    static QColor LineColour(std::size_t i);
    static Qt::PenStyle LineStyle(std::size_t i);
    static QColor BandColour();
    static QColor MeanColour();
    // The marks of the largest and the smallest value.
    static QColor ExtremeColour();
    // Lines are thick while their points stay apart.
    static double LineWidth(const PlotData& plot);

    // The point of a drawn line nearest to `at` (scene coordinates), when one lies within
    // a few pixels: what hovering it shows.
    std::optional<QString> PointAt(QPointF at) const;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

signals:
    // The text of the point under the pointer and where the point is (scene
    // coordinates); an empty text when the pointer leaves every line.
    void Hovered(const QString& text, QPointF at);

protected:
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;

private:
    // A zoom changed the axes.
    void Redraw();

    struct Drawn {
        const PlotLine* Line;
        QColor Colour;
    };
    // A point of a drawn line near the pointer: the line, the time's index, where it is.
    struct Hit {
        const PlotLine* Line;
        std::size_t Time;
        QPointF At;
    };
    std::optional<Hit> HitAt(QPointF at) const;
    QString TextOf(const Hit& hit) const;
    // The lines drawn, with their colours: every line, or the edges of the band and the mean.
    std::vector<Drawn> DrawnLines() const;
    // From the plot's values to scene coordinates through the axes as they stand, zoomed
    // or not.
    struct Mapping {
        double Left = 0, Bottom = 0, XMin = 0, YMin = 0, XScale = 0, YScale = 0;
        QPointF operator()(double x, double y) const {
            return {Left + (x - XMin) * XScale, Bottom - (y - YMin) * YScale};
        }
    };
    Mapping CurrentMapping() const;
    void Polyline(QPainter& painter, const Mapping& map, const std::vector<double>& values);
    // Every line of many, one pixel wide, into the pixels of the plot area.
    void DrawManyLines(QPainter& painter, const Mapping& map);

    QChart* m_chart;
    std::shared_ptr<const PlotData> m_plot;
    bool m_everyLine = true;
    std::vector<QPointF> m_points;  // reused from line to line
    // The largest and smallest values of all the lines, marked on the plot.
    std::optional<PlotPeak> m_extremes;
    // The point pointed at: its line and the index of its time.
    std::optional<std::pair<const PlotLine*, std::size_t>> m_hover;
};

}  // namespace vx::desktop
