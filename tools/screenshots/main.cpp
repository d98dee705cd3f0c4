// voraxextract-shots: runs the real window through its key states and saves a
// screenshot of each, so that anyone can look at the window without clicking.
//
//   voraxextract-shots OUTDIR [LISTING]
//
// Run it on a display (scripts/screenshots starts one with Xvfb). The file dialogs are
// answered by the program; everything else is the window as users get it.

#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "desktop/MainWindow.h"
#include "desktop/PlotWindow.h"
#include "desktop/QtServices.h"
#include "desktop/TimeListWidget.h"

namespace {

class ScriptedDialogs : public vx::FileDialogs {
public:
    ScriptedDialogs(QString open, QString save)
        : m_open(std::move(open)), m_save(std::move(save)) {}
    void SetOpen(QString open) { m_open = std::move(open); }
    bool ShowOpen(const vx::FileDialogSetup&, vx::FileDialogChoice& choice) override {
        return Answer(m_open, choice);
    }
    bool ShowSave(const vx::FileDialogSetup&, vx::FileDialogChoice& choice) override {
        return Answer(m_save, choice);
    }

private:
    static bool Answer(const QString& path, vx::FileDialogChoice& choice) {
        choice.FileName = path.toStdString();
        choice.FileTitle = QFileInfo(path).fileName().toStdString();
        return true;
    }
    QString m_open, m_save;
};

// Lets events run for `ms` milliseconds: the display server shows what was painted.
void Settle(int ms) {
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Lets events run until `done` holds or 10 s have passed.
bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// The window as the screen shows it; the window's own rendering where no screen can
// be read (the offscreen platform).
void Shoot(QWidget& window, const QString& file) {
    Settle(150);
    QPixmap pixmap;
    if (QScreen* screen = window.screen(); screen && QGuiApplication::platformName() == "xcb") {
        QRect frame = window.frameGeometry();
        pixmap = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    }
    if (pixmap.isNull()) pixmap = window.grab();
    if (!pixmap.save(file))
        std::fprintf(stderr, "voraxextract-shots: cannot write %s\n", qPrintable(file));
    std::printf("%s\n", qPrintable(file));
}

}  // namespace

// Both windows as the screen shows them, where a screen can be read; the plot window's
// own rendering elsewhere.
void ShootScreen(QWidget& window, QWidget& plot, const QString& file) {
    Settle(300);
    QPixmap pixmap;
    if (QScreen* screen = window.screen(); screen && QGuiApplication::platformName() == "xcb") {
        QRect both = window.frameGeometry().united(plot.frameGeometry());
        pixmap = screen->grabWindow(0, both.x(), both.y(), both.width(), both.height());
    }
    if (pixmap.isNull()) pixmap = plot.grab();
    if (!pixmap.save(file))
        std::fprintf(stderr, "voraxextract-shots: cannot write %s\n", qPrintable(file));
    std::printf("%s\n", qPrintable(file));
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: voraxextract-shots OUTDIR [LISTING]\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath(".");
    QString listing = argc > 2 ? QString::fromLocal8Bit(argv[2])
                               : QString(VX_SOURCE_DIR) + "/examples/dynamic3d.out";
    ScriptedDialogs dialogs(QFileInfo(listing).absoluteFilePath(), out.filePath("export.xls"));
    vx::desktop::DesktopServices services;
    services.Dialogs = &dialogs;
    vx::desktop::MainWindow window(services);
    window.move(40, 40);
    window.show();
    QApplication::processEvents();
    Shoot(window, out.filePath("1-start.png"));

    static_cast<QPushButton*>(window.WidgetOf("cmdFile"))->click();
    Shoot(window, out.filePath("2-file-open.png"));

    // Times by double-click and by a drop of the highlighted ones.
    auto& form = window.Form();
    form.UserFocuses(form.lstAvailable, 1);
    form.lstAvailable_DblClick();
    for (int i : {3, 4}) form.UserSelects(form.lstAvailable, i, true);
    form.lstSelected_OLEDragDrop(form.lstAvailable_OLEStartDrag());
    form.UserTypes(1, "10");
    form.UserChoosesLayout(1);
    window.Refresh();
    Shoot(window, out.filePath("3-times-selected.png"));

    // The export, caught while it runs.
    bool caught = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (form.SaveRunning && !caught) {
            caught = true;
            Shoot(window, out.filePath("4-export-running.png"));
        }
    });
    watch.start(0);
    static_cast<QPushButton*>(window.WidgetOf("cmdSave"))->click();
    watch.stop();
    Shoot(window, out.filePath("5-export-done.png"));

    // F1: the help beside the window.
    window.WidgetOf("cmdHelp")->setFocus();
    form.Form_KeyDown(vx::kKeyF1, 0);
    QWidget* help = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == "VoraxExtract Help") help = w;
    if (help) {
        help->raise();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);
        QPixmap screen = QGuiApplication::platformName() == "xcb" ? window.screen()->grabWindow(0)
                                                                  : help->grab();
        screen.save(out.filePath("6-help.png"));
        std::printf("%s\n", qPrintable(out.filePath("6-help.png")));
        help->close();
    }

    // The plot beside the window: a listing of a structure ringing down, four nodes
    // along it over every step, then all of its 24 nodes as their range and mean.
    dialogs.SetOpen(QString(VX_SOURCE_DIR) + "/examples/vibration2d.out");
    static_cast<QPushButton*>(window.WidgetOf("cmdFile"))->click();
    form.Form_KeyDown(vx::kKeyA, vx::kShiftCtrl);
    form.lstSelected_OLEDragDrop(form.lstAvailable_OLEStartDrag());
    form.UserTypes(0, "6");
    form.UserTypes(1, "24");
    form.UserTypes(2, "6");
    window.Refresh();
    static_cast<QPushButton*>(window.WidgetOf("cmdPlot"))->click();
    vx::FrmPlot& plot = form.Plot();
    auto shown = [&] { return plot.GetState() == vx::FrmPlot::State::Shown; };
    bool plotted = WaitFor(shown);
    vx::desktop::PlotWindow* plotWindow = window.Plot();
    if (plotted && plotWindow) {
        // Hover the highest point of the node at the free end, as a user would.
        const vx::PlotData& data = *plot.Plot();
        const auto& line = data.Lines.back().Values;
        const std::size_t peak =
            static_cast<std::size_t>(std::max_element(line.begin(), line.end()) - line.begin());
        QChartView* view = plotWindow->ChartView();
        const QRectF area = view->chart()->plotArea();
        const QPointF at(
            area.left() +
                (data.Times[peak] - data.X.Min) / (data.X.Max - data.X.Min) * area.width(),
            area.bottom() - (line[peak] - data.Y.Min) / (data.Y.Max - data.Y.Min) * area.height());
        const QPoint pixel = view->mapFromScene(at);
        QMouseEvent move(QEvent::MouseMove, pixel, view->viewport()->mapToGlobal(pixel),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
        ShootScreen(window, *plotWindow, out.filePath("7-plot.png"));

        form.UserTypes(0, "1");
        form.UserTypes(2, "1");
        window.Refresh();
        plotted = WaitFor([&] { return shown() && plot.Plot()->ManyItems; });
        if (plotted) {
            ShootScreen(window, *plotWindow, out.filePath("8-plot-envelope.png"));
            plotWindow->EveryLineBox()->click();
            ShootScreen(window, *plotWindow, out.filePath("9-plot-every-line.png"));
            // A drag of the rubber band over the first second, as a user zooms in.
            QChart* chart = view->chart();
            const QRectF now = chart->plotArea();
            chart->zoomIn(QRectF(now.left(), now.top() + now.height() * 0.2, now.width() * 0.3,
                                 now.height() * 0.6));
            ShootScreen(window, *plotWindow, out.filePath("10-plot-every-line-zoomed.png"));
        }

        // Twelve nodes: every line, each named in the legend.
        form.UserTypes(1, "12");
        window.Refresh();
        plotted = plotted && WaitFor([&] { return shown() && plot.Plot()->Lines.size() == 12; });
        if (plotted) ShootScreen(window, *plotWindow, out.filePath("11-plot-legend-12.png"));

        // A shell force, its unit on the value axis.
        dialogs.SetOpen(QString(VX_SOURCE_DIR) + "/examples/dynamic3d.out");
        static_cast<QPushButton*>(window.WidgetOf("cmdFile"))->click();
        form.Form_KeyDown(vx::kKeyA, vx::kShiftCtrl);
        form.lstSelected_OLEDragDrop(form.lstAvailable_OLEStartDrag());
        const auto& variables = form.cboVariables.Items();
        const auto membrane = std::find(variables.begin(), variables.end(), "Membrane Force Nx");
        form.UserChoosesVariable(static_cast<std::int32_t>(membrane - variables.begin()));
        form.UserTypes(0, "1");
        form.UserTypes(1, "2");
        form.UserTypes(2, "1");
        window.Refresh();
        plotted = plotted && WaitFor([&] {
                      return shown() && plot.Plot()->Subject.starts_with("Membrane Force Nx");
                  });
        if (plotted) ShootScreen(window, *plotWindow, out.filePath("12-plot-shell-force.png"));
    }
    return caught && help && plotted ? 0 : 1;
}
