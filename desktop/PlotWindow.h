#pragma once

#include <QChartView>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "window/FrmPlot.h"
#include "window/Platform.h"

class QCheckBox;
class QCategoryAxis;
class QLabel;
class QPushButton;
class QTableWidget;

namespace vx::desktop {

class PlotCanvas;

// The plot window on screen: the state line, a Qt Charts chart of the model's plot
// (axes, titles, legend, rubber-band zoom) whose lines a canvas of our own draws inside
// the plot area, the "Show every line" check box and the picture commands. It holds no
// rules: what is drawn comes from the plot model (window/FrmPlot.h, window/PlotData.h).
class PlotWindow : public QWidget {
    Q_OBJECT
public:
    // `listingPath` names the open listing, which a picture never replaces. `dialogs` and
    // `boxes` are the desktop's unless a test gives its own.
    PlotWindow(FrmPlot& model, std::function<std::string()> listingPath,
               FileDialogs* dialogs = nullptr, MessageBoxes* boxes = nullptr);
    ~PlotWindow() override;

    // Shows the model's state; draws the chart again only when its content changed.
    void Refresh();
    // Back to the plot's own ranges after zooming.
    void ResetZoom();
    // The chart as it stands, as a picture of `size` (the chart's size when empty), or
    // `width` pixels across in the chart's proportions (0: as on screen).
    QImage Picture(QSize size = {});
    QImage Picture(int width);
    // Writes the chart to `path`: SVG for a name ending in ".svg", a PNG of the size the
    // chosen entry of the save dialog names otherwise (ChosenPicture). The file is written
    // whole or not at all. False, with the reason, when it cannot be.
    bool WritePicture(const QString& path, QString& reason, int filterIndex = 1);
    // "Save Picture..." and "Copy".
    void SavePicture();
    void CopyPicture();
    // The table of peaks: copied as tab-separated text (Ctrl+C), saved as a CSV file.
    void CopyTable();
    void SaveTable();
    QString PeaksTableText(char separator) const;
    QTableWidget* PeaksTable() { return m_peaks; }

    QChartView* ChartView() { return m_view; }
    QCheckBox* EveryLineBox() { return m_everyLine; }
    QLabel* StateLine() { return m_state; }
    // What hovering shows: the item, time and value under the pointer.
    QLabel* PointLine() { return m_point; }
    PlotCanvas* Canvas() { return m_canvas; }
    // How many times the chart was drawn from new content.
    int ChartsDrawn() const { return m_drawn; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // The middle button drags the plot, the wheel zooms, the arrow keys move it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DrawChart();
    void ShowPeaks();
    // Sets an axis's range and ticks; KeepRange puts a range something else set (a zoom)
    // back on round numbers inside the plot's own.
    void SetRange(QCategoryAxis* axis, const AxisRange& range);
    void KeepRange(QCategoryAxis* axis, double min, double max);

    FrmPlot& m_model;
    std::function<std::string()> m_listingPath;
    std::unique_ptr<FileDialogs> m_ownDialogs;
    std::unique_ptr<MessageBoxes> m_ownBoxes;
    FileDialogs* m_dialogs;
    MessageBoxes* m_boxes;
    QLabel* m_state = nullptr;
    QChartView* m_view = nullptr;
    PlotCanvas* m_canvas = nullptr;
    QCategoryAxis* m_x = nullptr;
    QCategoryAxis* m_y = nullptr;
    AxisRange m_xShown, m_yShown;  // what the axes show
    QCheckBox* m_everyLine = nullptr;
    QLabel* m_point = nullptr;
    QPushButton* m_resetZoom = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_savePicture = nullptr;
    QTableWidget* m_peaks = nullptr;
    std::vector<PlotPeak> m_shownPeaks;
    // What the chart shows, so that a new state line does not draw it again.
    std::shared_ptr<const PlotData> m_shown;
    bool m_shownEveryLine = false;
    bool m_ranging = false;            // an axis is being set here
    std::optional<QPointF> m_panFrom;  // where a drag with the middle button last was
    int m_drawn = 0;
};

}  // namespace vx::desktop
