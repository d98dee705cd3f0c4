#pragma once

#include <QChartView>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "window/FrmPlot.h"
#include "window/Platform.h"

class QCheckBox;
class QValueAxis;
class QLabel;
class QPushButton;

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
    // The chart as it stands, as a picture of `size` (the chart's size when empty).
    QImage Picture(QSize size = {});
    // Writes the chart to `path`: SVG for a name ending in ".svg", PNG otherwise. The file
    // is written whole or not at all. False, with the reason, when it cannot be.
    bool WritePicture(const QString& path, QString& reason);
    // "Save Picture..." and "Copy".
    void SavePicture();
    void CopyPicture();

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

private:
    void DrawChart();

    FrmPlot& m_model;
    std::function<std::string()> m_listingPath;
    std::unique_ptr<FileDialogs> m_ownDialogs;
    std::unique_ptr<MessageBoxes> m_ownBoxes;
    FileDialogs* m_dialogs;
    MessageBoxes* m_boxes;
    QLabel* m_state = nullptr;
    QChartView* m_view = nullptr;
    PlotCanvas* m_canvas = nullptr;
    QValueAxis* m_x = nullptr;
    QValueAxis* m_y = nullptr;
    QCheckBox* m_everyLine = nullptr;
    QLabel* m_point = nullptr;
    QPushButton* m_resetZoom = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_savePicture = nullptr;
    // What the chart shows, so that a new state line does not draw it again.
    std::shared_ptr<const PlotData> m_shown;
    bool m_shownEveryLine = false;
    int m_drawn = 0;
};

}  // namespace vx::desktop
