#include "desktop/help/ChmHelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <QtDebug>

#include "desktop/help/ChmArchive.h"
#include "desktop/help/HelpWindow.h"

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
