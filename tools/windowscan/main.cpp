// voraxextract-windowscan: opens a listing in the real window, as the "..." button
// does, and reports how long the reading took and the longest time the window went
// without handling its events meanwhile. With --plot N it then plots nodes 1 to N of
// Displacements over every step, as the Plot button does, and times that too.
//
//   voraxextract-windowscan LISTING [RUNS] [--plot N] [--idle SECONDS]
//
// Prints one line per run: "seconds <s> longest-event-gap-ms <ms> steps <n>", and with
// --plot: "plot-seconds <s> plot-gap-ms <ms> every-line-draw-seconds <s>
// envelope-draw-seconds <s>". The plot's seconds run from pressing Plot until the chart
// is drawn (values read beside the window, then the band and mean drawn); its gap is the
// longest time without events meanwhile; the draw seconds time drawing the chart again
// from the values read, with every line and as the band. Runs on any Qt platform; the
// benchmark uses the offscreen one. With --idle, after the runs the window is left open on
// the listing, which does not change, for SECONDS, and "idle-cpu-seconds <s>" tells the
// processor time the program took meanwhile (user and system).

#include <sys/resource.h>
#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "desktop/MainWindow.h"
#include "desktop/PlotWindow.h"

namespace {

class OpenDialog : public vx::FileDialogs {
public:
    explicit OpenDialog(QString path) : m_path(std::move(path)) {}
    bool ShowOpen(const vx::FileDialogSetup&, vx::FileDialogChoice& choice) override {
        choice.FileName = m_path.toStdString();
        choice.FileTitle = QFileInfo(m_path).fileName().toStdString();
        return true;
    }
    bool ShowSave(const vx::FileDialogSetup&, vx::FileDialogChoice&) override { return false; }

private:
    QString m_path;
};

// Runs `action` and lets the window handle its events until `done` holds: the seconds
// this took and the longest time the window went without handling its events. A timer
// fires whenever the window handles its events; the gaps between its shots are how long
// the window was deaf. While the window only waits (for a reading beside it), a timer
// firing without pause would take a processor from the reading: it fires every `beatMs`.
struct Timed {
    double Seconds = 0;
    double LongestGapMs = 0;
};
Timed Time(const std::function<void()>& action, const std::function<bool()>& done, int beatMs = 0) {
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    beat.start(beatMs);
    clock.start();
    action();
    while (!done()) {
        if (clock.elapsed() > 600'000) {
            std::fprintf(stderr, "voraxextract-windowscan: no plot after 10 minutes\n");
            std::exit(1);
        }
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    qint64 total = clock.nsecsElapsed();
    longest = std::max(longest, total - last);
    beat.stop();
    return {total / 1e9, longest / 1e6};
}

// Draws the plot window's chart at once, as a screen would show it.
void Paint(vx::desktop::PlotWindow& plot) {
    plot.ChartView()->viewport()->repaint();
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    int runs = 1;
    int plotNodes = 0;
    double idleSeconds = 0;
    const char* listing = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--plot") == 0 && i + 1 < argc)
            plotNodes = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--idle") == 0 && i + 1 < argc)
            idleSeconds = std::atof(argv[++i]);
        else if (!listing)
            listing = argv[i];
        else
            runs = std::atoi(argv[i]);
    }
    if (!listing) {
        std::fprintf(stderr,
                     "usage: voraxextract-windowscan LISTING [RUNS] [--plot N] [--idle SECONDS]\n");
        return 2;
    }
    OpenDialog dialog(QFileInfo(QString::fromLocal8Bit(listing)).absoluteFilePath());
    vx::desktop::DesktopServices services;
    services.Dialogs = &dialog;
    vx::desktop::MainWindow window(services);
    window.show();
    QApplication::processEvents();
    vx::FrmExtract& form = window.Form();
    vx::FrmPlot& plot = form.Plot();
    auto shown = [&] { return plot.GetState() == vx::FrmPlot::State::Shown; };

    for (int run = 0; run < runs; ++run) {
        auto* open = static_cast<QPushButton*>(window.WidgetOf("cmdFile"));
        Timed scan = Time([&] { open->click(); }, [] { return true; });
        std::printf("seconds %.4f longest-event-gap-ms %.1f steps %d", scan.Seconds,
                    scan.LongestGapMs, form.FileModel().TimeCount);
        if (plotNodes > 0) {
            form.Form_KeyDown(vx::kKeyA, vx::kShiftCtrl);
            form.lstSelected_OLEDragDrop(form.lstAvailable_OLEStartDrag());
            auto* plotButton = static_cast<QPushButton*>(window.WidgetOf("cmdPlot"));
            // A small plot first, so that what Qt does once (fonts, the chart's parts) is
            // not counted: the figures are those of a plot window in use.
            form.UserTypes(1, "2");
            window.Refresh();
            Time([&] { plotButton->click(); }, shown, 5);
            vx::desktop::PlotWindow* plotWindow = window.Plot();
            Paint(*plotWindow);
            plotWindow->EveryLineBox()->setChecked(false);

            form.UserTypes(1, std::to_string(plotNodes));
            window.Refresh();
            Timed plotted = Time([&] { plotButton->click(); },
                                 [&] {
                                     return shown() && plot.Plot()->Lines.size() ==
                                                           static_cast<std::size_t>(plotNodes);
                                 },
                                 5);
            QElapsedTimer clock;
            clock.start();
            Paint(*plotWindow);
            plotted.Seconds += clock.nsecsElapsed() / 1e9;

            clock.restart();
            plotWindow->EveryLineBox()->setChecked(true);
            Paint(*plotWindow);
            const double everyLine = clock.nsecsElapsed() / 1e9;
            clock.restart();
            plotWindow->EveryLineBox()->setChecked(false);
            Paint(*plotWindow);
            const double envelope = clock.nsecsElapsed() / 1e9;
            std::printf(
                " plot-seconds %.4f plot-gap-ms %.1f every-line-draw-seconds %.4f "
                "envelope-draw-seconds %.4f",
                plotted.Seconds, plotted.LongestGapMs, everyLine, envelope);
            plotWindow->close();
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    if (idleSeconds > 0) {
        auto cpu = [] {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        };
        const double before = cpu();
        QTimer::singleShot(static_cast<int>(idleSeconds * 1000), &app, &QApplication::quit);
        app.exec();
        std::printf("idle-seconds %.1f idle-cpu-seconds %.4f\n", idleSeconds, cpu() - before);
    }
    return 0;
}
