#pragma once

#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

#include "desktop/help/ChmArchive.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace vx::help {

// Pages of a help file are addressed as chm:/page.html#anchor; the links and pictures
// of a page are resolved against it by ResolveLink (HelpLinks.h), as the tests resolve them.
inline constexpr const char* kChmScheme = "chm";
QUrl ChmUrl(const std::string& local);

// A text browser whose pages, pictures and style sheets come from a help file.
class ChmBrowser : public QTextBrowser {
    Q_OBJECT
public:
    ChmBrowser(const ChmArchive& archive, QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;

private:
    const ChmArchive& m_archive;
};

// The help window: the table of contents on the left, the page on the right.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // Reads the table of contents; throws ChmError when the archive has none.
    explicit HelpWindow(ChmArchive archive, QWidget* parent = nullptr);
    ~HelpWindow() override;

    QString FilePath() const;
    // Shows the page the help opens at (the default topic).
    void ShowContents();
    // Shows a page by its archive path ("/saving.html#limits").
    void ShowTopic(const std::string& local);

    QTreeWidget* Contents() const { return m_contents; }
    QTextBrowser* Browser() const { return m_browser; }

private:
    void AddEntries(const std::vector<TocEntry>& entries, QTreeWidgetItem* parent);
    void SelectEntryFor(const QUrl& source);

    ChmArchive m_archive;
    QTreeWidget* m_contents = nullptr;
    ChmBrowser* m_browser = nullptr;
};

}  // namespace vx::help
