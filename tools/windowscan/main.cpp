// voraxextract-windowscan: opens a listing in the real window, as the "..." button
// does, and reports how long the reading took and the longest time the window went
// without handling its events meanwhile.
//
//   voraxextract-windowscan LISTING [RUNS]
//
// Prints one line per run: "seconds <s> longest-event-gap-ms <ms> steps <n>". Runs on
// any Qt platform; the benchmark uses the offscreen one.

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "desktop/MainWindow.h"

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

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: voraxextract-windowscan LISTING [RUNS]\n");
        return 2;
    }
    int runs = argc > 2 ? std::atoi(argv[2]) : 1;
    OpenDialog dialog(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    vx::desktop::DesktopServices services;
    services.Dialogs = &dialog;
    vx::desktop::MainWindow window(services);
    window.show();
    QApplication::processEvents();

    for (int run = 0; run < runs; ++run) {
        // A timer that fires whenever the window handles its events: the gaps between
        // its shots are how long the window was deaf.
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [&] {
            qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        beat.start(0);
        clock.start();
        static_cast<QPushButton*>(window.WidgetOf("cmdFile"))->click();
        qint64 total = clock.nsecsElapsed();
        longest = std::max(longest, total - last);
        beat.stop();
        std::printf("seconds %.4f longest-event-gap-ms %.1f steps %d\n", total / 1e9, longest / 1e6,
                    window.Form().FileModel().TimeCount);
        std::fflush(stdout);
    }
    return 0;
}
