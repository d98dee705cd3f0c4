#include "desktop/help/HelpWindow.h"

#include <QByteArray>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <optional>

#include "desktop/help/HelpLinks.h"

namespace vx::help {

namespace {

// The archive's texts are single-byte; the VoraxExtract help is ASCII.
QString FromArchive(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToArchive(const QString& text) {
    return text.toLatin1().toStdString();
}

// "/saving.html#limits" for chm:/saving.html#limits.
std::string LocalOf(const QUrl& url) {
    std::string local = ToArchive(url.path(QUrl::FullyDecoded));
    if (url.hasFragment()) local += "#" + ToArchive(url.fragment(QUrl::FullyDecoded));
    return local;
}

// Where `link`, as the page shown at `from` writes it, leads inside the help: the
// archive path that ResolveLink gives; none when it leaves the help. Our own chm:
// addresses are archive paths already.
std::optional<std::string> Resolve(const QUrl& from, const QUrl& link) {
    if (link.scheme() == QLatin1String(kChmScheme)) return LocalOf(link);
    return ResolveLink(LocalOf(from), ToArchive(link.toString(QUrl::FullyEncoded)));
}

constexpr int kLocalRole = Qt::UserRole;

}  // namespace

QUrl ChmUrl(const std::string& local) {
    const ObjectAndAnchor parts = SplitAnchor(local);
    QUrl url;
    url.setScheme(QString::fromLatin1(kChmScheme));
    url.setPath(FromArchive(parts.Object), QUrl::DecodedMode);
    if (!parts.Anchor.empty()) url.setFragment(FromArchive(parts.Anchor), QUrl::DecodedMode);
    return url;
}

ChmBrowser::ChmBrowser(const ChmArchive& archive, QWidget* parent)
    : QTextBrowser(parent), m_archive(archive) {
    // Links are followed in HelpWindow: Qt would treat the chm: scheme as external.
    setOpenLinks(false);
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
    const std::optional<std::string> local = Resolve(source(), name);
    if (!local) return QTextBrowser::loadResource(type, name);
    try {
        const std::string bytes = m_archive.Read(SplitAnchor(*local).Object);
        // Pages, pictures and style sheets alike: QTextBrowser decodes a page by the
        // character set its head declares.
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    } catch (const ChmError&) {
        return {};  // a missing picture or page shows as such, as in any browser
    }
}

HelpWindow::HelpWindow(ChmArchive archive, QWidget* parent)
    : QWidget(parent), m_archive(std::move(archive)) {
    setWindowTitle(QStringLiteral("VoraxExtract Help"));
    const std::vector<TocEntry> entries = m_archive.TableOfContents();

    m_contents = new QTreeWidget;
    m_contents->setHeaderHidden(true);
    m_contents->setColumnCount(1);
    AddEntries(entries, nullptr);

    m_browser = new ChmBrowser(m_archive);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(m_contents);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 680});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    resize(920, 640);

    connect(m_contents, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item) return;
        const QString local = item->data(0, kLocalRole).toString();
        if (!local.isEmpty()) m_browser->setSource(ChmUrl(ToArchive(local)));
    });
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        if (const auto local = Resolve(m_browser->source(), link))
            m_browser->setSource(ChmUrl(*local));
        else
            QDesktopServices::openUrl(link);
    });
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::SelectEntryFor);
}

HelpWindow::~HelpWindow() = default;

QString HelpWindow::FilePath() const {
    return QString::fromLocal8Bit(m_archive.Path().c_str());
}

void HelpWindow::ShowContents() {
    const std::string topic = m_archive.DefaultTopic();
    if (!topic.empty()) ShowTopic(topic);
}

void HelpWindow::ShowTopic(const std::string& local) {
    m_browser->setSource(ChmUrl(local));
}

void HelpWindow::AddEntries(const std::vector<TocEntry>& entries, QTreeWidgetItem* parent) {
    for (const auto& entry : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_contents);
        item->setText(0, FromArchive(entry.Title));
        item->setData(0, kLocalRole, FromArchive(entry.Local));
        AddEntries(entry.Children, item);
    }
}

// Keeps the table of contents on the page shown, however it was reached: the entry
// for the page and anchor if there is one, else the first entry for the page.
void HelpWindow::SelectEntryFor(const QUrl& source) {
    const std::string local = LocalOf(source);
    const std::string page = SplitAnchor(local).Object;
    QTreeWidgetItem* best = nullptr;
    for (QTreeWidgetItemIterator it(m_contents); *it; ++it) {
        const std::string entry = ToArchive((*it)->data(0, kLocalRole).toString());
        if (entry == local) {
            best = *it;
            break;
        }
        if (!best && SplitAnchor(entry).Object == page) best = *it;
    }
    if (!best || best == m_contents->currentItem()) return;
    const QSignalBlocker quiet(m_contents);
    for (auto* up = best->parent(); up; up = up->parent()) up->setExpanded(true);
    m_contents->setCurrentItem(best);
    m_contents->scrollToItem(best);
}

}  // namespace vx::help
