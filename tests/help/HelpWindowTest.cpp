// The help window and the ChmHelp service on the built help file, on Qt's offscreen
// display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPointer>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>

#include <vector>

#include "desktop/help/ChmHelp.h"
#include "desktop/help/HelpWindow.h"
#include "tests/support/TempDir.h"

namespace vx::help {
namespace {

const QString kHelpFile = QStringLiteral(VX_HELP_FILE);

// Runs what closing has queued: a closed help window deletes itself later.
void FinishClosing() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int OpenHelpWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::allWidgets())
        if (qobject_cast<HelpWindow*>(widget) && widget->isVisible()) ++count;
    return count;
}

class HelpWindowTest : public ::testing::Test {
protected:
    ~HelpWindowTest() override {
        m_help.CloseHelp();
        FinishClosing();
    }

    QTreeWidgetItem* Entry(HelpWindow* window, const QString& title) {
        auto items = window->Contents()->findItems(title, Qt::MatchExactly | Qt::MatchRecursive);
        return items.isEmpty() ? nullptr : items.front();
    }

    std::vector<QString> m_messages;
    ChmHelp m_help{[this](const QString& message) { m_messages.push_back(message); }};
};

TEST_F(HelpWindowTest, ShowHelpOpensTheContentsPageAndCloseHelpClosesIt) {
    QWidget owner;
    owner.show();
    m_help.ShowHelp(&owner, kHelpFile);
    ASSERT_TRUE(m_messages.empty()) << m_messages.front().toStdString();

    QPointer<HelpWindow> window = m_help.WindowFor(kHelpFile);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow()) << "a window of its own, not a part of the owner";
    EXPECT_EQ(window->windowTitle(), "VoraxExtract Help");
    EXPECT_EQ(window->Browser()->documentTitle(), "VoraxExtract Help")
        << "the contents page is shown";
    EXPECT_EQ(window->Browser()->source(), QUrl("chm:/index.html"));
    EXPECT_TRUE(window->Browser()->toPlainText().contains("An export, step by step"));
    ASSERT_TRUE(window->Contents()->currentItem());
    EXPECT_EQ(window->Contents()->currentItem()->text(0), "VoraxExtract Help");
    const auto contents = ChmArchive(kHelpFile.toStdString()).TableOfContents();
    EXPECT_EQ(window->Contents()->topLevelItemCount(), static_cast<int>(contents.size()));

    // Asking again for the same file raises the same window.
    window->showMinimized();
    m_help.ShowHelp(&owner, QDir(QFileInfo(kHelpFile).absolutePath()).filePath("VoraxExtract.chm"));
    EXPECT_EQ(m_help.WindowFor(kHelpFile), window.data());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(OpenHelpWindows(), 1);

    m_help.CloseHelp();
    EXPECT_FALSE(window->isVisible());
    FinishClosing();
    EXPECT_TRUE(window.isNull()) << "a closed help window is deleted";
    EXPECT_EQ(m_help.WindowFor(kHelpFile), nullptr);
    EXPECT_TRUE(owner.isVisible()) << "closing the help leaves its owner alone";
}

TEST_F(HelpWindowTest, ContentsLinksAndPicturesComeFromTheHelpFile) {
    m_help.ShowHelp(nullptr, kHelpFile);
    HelpWindow* window = m_help.WindowFor(kHelpFile);
    ASSERT_TRUE(window);
    QTextBrowser* browser = window->Browser();

    // Choosing an entry of the contents shows its page.
    QTreeWidgetItem* saving = Entry(window, "Saving the spreadsheet");
    ASSERT_TRUE(saving);
    window->Contents()->setCurrentItem(saving);
    EXPECT_EQ(browser->source(), QUrl("chm:/saving.html"));
    EXPECT_EQ(browser->documentTitle(), "Saving the spreadsheet");

    // The page's pictures and style sheet, by the relative names the page uses.
    const QByteArray bytes =
        browser->loadResource(QTextDocument::ImageResource, QUrl("images/sheet-rows.png"))
            .toByteArray();
    EXPECT_EQ(QImage::fromData(bytes).size(), QSize(351, 153));
    EXPECT_TRUE(browser->loadResource(QTextDocument::StyleSheetResource, QUrl("help.css"))
                    .toByteArray()
                    .contains("font-family"));
    EXPECT_FALSE(
        browser->loadResource(QTextDocument::ImageResource, QUrl("images/none.png")).isValid());

    // A link of the page, as a click hands it over: relative, with an anchor. The
    // contents follow to the entry of that anchor.
    emit browser->anchorClicked(QUrl("range.html#save"));
    EXPECT_EQ(browser->source(), QUrl("chm:/range.html#save"));
    EXPECT_EQ(browser->documentTitle(), "From, To and Step");
    ASSERT_TRUE(window->Contents()->currentItem());
    EXPECT_EQ(window->Contents()->currentItem()->text(0), "When Save becomes available");

    // Back goes to the page before, and the contents with it.
    browser->backward();
    EXPECT_EQ(browser->source(), QUrl("chm:/saving.html"));
    EXPECT_EQ(window->Contents()->currentItem()->text(0), "Saving the spreadsheet");
}

TEST_F(HelpWindowTest, HelpFileThatCannotBeOpenedIsReportedNotShown) {
    test::TempDir dir;
    const QString missing = QString::fromStdString((dir.Path() / "VoraxExtract.chm").string());
    m_help.ShowHelp(nullptr, missing);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0], "The help file " + QDir::toNativeSeparators(missing) +
                                 " could not be opened: no such file or directory.");

    const QString notHelp = QString::fromStdString(dir.Write("notes.chm", "plain text").string());
    m_help.ShowHelp(nullptr, notHelp);
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[1], "The help file " + QDir::toNativeSeparators(notHelp) +
                                 " could not be opened: it is not a compiled HTML help file.");

    EXPECT_EQ(m_help.WindowFor(missing), nullptr);
    EXPECT_EQ(OpenHelpWindows(), 0);
}

TEST_F(HelpWindowTest, WindowClosedByTheUserIsOpenedAfresh) {
    m_help.ShowHelp(nullptr, kHelpFile);
    QPointer<HelpWindow> first = m_help.WindowFor(kHelpFile);
    ASSERT_TRUE(first);
    first->ShowTopic("/cli.html");
    first->close();
    FinishClosing();
    ASSERT_TRUE(first.isNull());

    m_help.ShowHelp(nullptr, kHelpFile);
    HelpWindow* second = m_help.WindowFor(kHelpFile);
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(second->Browser()->source(), QUrl("chm:/index.html"))
        << "a new window starts at the contents";
    EXPECT_EQ(OpenHelpWindows(), 1);
}

}  // namespace
}  // namespace vx::help

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // CTest sets the offscreen display; so does a run by hand without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
