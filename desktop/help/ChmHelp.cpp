#include "desktop/help/ChmHelp.h"

#include <QScreen>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <QtDebug>

#include "desktop/help/ChmArchive.h"
#include "desktop/help/HelpWindow.h"
#include "window/Platform.h"

namespace vx::help {

namespace {

QString Key(const QString& chmPath) {
    return QFileInfo(chmPath).absoluteFilePath();
}

}  // namespace

ChmHelp::ChmHelp(MessageSink showMessage) : m_showMessage(std::move(showMessage)) {}

ChmHelp::~ChmHelp() {
    CloseHelp();
}

QString ChmHelp::DefaultHelpFile() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("VoraxExtract.chm"));
}

QString ChmHelp::OpenFailureMessage(const QString& chmPath, const QString& reason) {
    return QStringLiteral("The help file %1 could not be opened: %2.")
        .arg(QDir::toNativeSeparators(chmPath), reason);
}

HelpWindow* ChmHelp::WindowFor(const QString& chmPath) const {
    const QString key = Key(chmPath);
    for (const auto& [path, window] : m_windows)
        if (path == key && window) return window;
    return nullptr;
}

namespace {

// Centred on the window that asks for it, and all of it on that window's screen (made
// smaller where the screen is): a window manager would put it where the toolkit says.
void KeepOnScreen(QWidget* owner, QWidget* window) {
    QScreen* screen = owner ? owner->screen() : window->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    // The frame is known once a window is shown: the owner's stands for the help window's.
    QSize frame(0, 0);
    if (owner) frame = owner->frameGeometry().size() - owner->geometry().size();
    const QSize outer = window->size() + frame;
    const QPoint centre = owner ? owner->frameGeometry().center() : area.center();
    const PixelRect kept =
        KeptOnScreen({centre.x() - outer.width() / 2, centre.y() - outer.height() / 2,
                      outer.width(), outer.height()},
                     {area.x(), area.y(), area.width(), area.height()});
    window->resize(kept.Width - frame.width(), kept.Height - frame.height());
    window->move(kept.Left, kept.Top);
}

}  // namespace

void ChmHelp::ShowHelp(QWidget* owner, const QString& chmPath) {
    if (HelpWindow* window = WindowFor(chmPath)) {
        window->show();
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->raise();
        window->activateWindow();
        return;
    }

    HelpWindow* window = nullptr;
    try {
        window = new HelpWindow(ChmArchive(QFile::encodeName(chmPath).toStdString()), owner);
    } catch (const ChmError& failure) {
        const QString message =
            OpenFailureMessage(chmPath, QString::fromLocal8Bit(failure.Reason().c_str()));
        if (m_showMessage)
            m_showMessage(message);
        else
            qWarning().noquote() << message;
        return;
    }
    window->setWindowFlag(Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);

    // Forget windows the user has closed since.
    std::erase_if(m_windows, [](const auto& entry) { return entry.second.isNull(); });
    m_windows.emplace_back(Key(chmPath), window);

    window->ShowContents();
    KeepOnScreen(owner, window);
    window->show();
    window->raise();
    window->activateWindow();
}

void ChmHelp::CloseHelp() {
    for (auto& [path, window] : m_windows)
        if (window) window->close();
    m_windows.clear();
}

}  // namespace vx::help
