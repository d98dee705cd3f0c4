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

    std::vector<QString> m_messages;
    ChmHelp m_help{[this](const QString& message) { m_messages.push_back(message); }};
};

// A window of its own, titled as users look for it, and closed with the main window:
// RealHelp (MainWindowTest).
TEST_F(HelpWindowTest, ShowHelpOpensAtTheContentsRaisesAnOpenWindowAndDeletesAClosedOne) {
    QWidget owner;
    owner.show();
    m_help.ShowHelp(&owner, kHelpFile);
    ASSERT_TRUE(m_messages.empty()) << m_messages.front().toStdString();
    QPointer<HelpWindow> window = m_help.WindowFor(kHelpFile);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Browser()->source(), QUrl("chm:/index.html"));
    EXPECT_TRUE(window->Browser()->toPlainText().contains("An export, step by step"));
    const auto contents = ChmArchive(kHelpFile.toStdString()).TableOfContents();
    EXPECT_EQ(window->Contents()->topLevelItemCount(), static_cast<int>(contents.size()));

    // Asking again for the same file raises the same window.
    window->ShowTopic("/cli.html");
    window->showMinimized();
    m_help.ShowHelp(&owner, QDir(QFileInfo(kHelpFile).absolutePath()).filePath("VoraxExtract.chm"));
    EXPECT_EQ(m_help.WindowFor(kHelpFile), window.data());
    EXPECT_FALSE(window->isMinimized()) << "raised, not opened a second time";
    EXPECT_EQ(window->Browser()->source(), QUrl("chm:/cli.html")) << "at the page it showed";

    // Closed by the user, it is deleted, and the next request opens a new one at the contents.
    window->close();
    FinishClosing();
    ASSERT_TRUE(window.isNull()) << "a closed help window is deleted";
    m_help.ShowHelp(&owner, kHelpFile);
    window = m_help.WindowFor(kHelpFile);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->Browser()->source(), QUrl("chm:/index.html")) << "it starts at the contents";
    EXPECT_EQ(OpenHelpWindows(), 1);
}

TEST_F(HelpWindowTest, ContentsLinksAndPicturesComeFromTheHelpFile) {
    m_help.ShowHelp(nullptr, kHelpFile);
    HelpWindow* window = m_help.WindowFor(kHelpFile);
    ASSERT_TRUE(window);
    QTextBrowser* browser = window->Browser();

    // Choosing an entry of the contents shows its page.
    auto saving = window->Contents()->findItems("Saving the spreadsheet",
                                                Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_FALSE(saving.isEmpty());
    window->Contents()->setCurrentItem(saving.front());
    EXPECT_EQ(browser->source(), QUrl("chm:/saving.html"));

    // The page's pictures and style sheet, by the relative names the page uses.
    auto load = [&](int type, const char* name) { return browser->loadResource(type, QUrl(name)); };
    const auto png = load(QTextDocument::ImageResource, "images/sheet-rows.png").toByteArray();
    EXPECT_EQ(QImage::fromData(png).size(), QSize(351, 153));
    const auto css = load(QTextDocument::StyleSheetResource, "help.css").toByteArray();
    EXPECT_TRUE(css.contains("font-family"));
    EXPECT_FALSE(load(QTextDocument::ImageResource, "images/none.png").isValid());
    // Pictures and links are resolved as ResolveLink resolves them (HelpLinksTest): a
    // Windows-style name, and a link into the help file by its name.
    EXPECT_EQ(load(QTextDocument::ImageResource, "images\\sheet-rows.png").toByteArray(), png);
    emit browser->anchorClicked(QUrl("ms-its:VoraxExtract.chm::/cli.html"));
    EXPECT_EQ(browser->source(), QUrl("chm:/cli.html"));
    browser->backward();

    // A link of the page, as a click hands it over: relative, with an anchor. The
    // contents follow to the entry of that anchor.
    emit browser->anchorClicked(QUrl("range.html#save"));
    EXPECT_EQ(browser->source(), QUrl("chm:/range.html#save"));
    ASSERT_TRUE(window->Contents()->currentItem());
    EXPECT_EQ(window->Contents()->currentItem()->text(0), "When Save becomes available");

    // Back goes to the page before, and the contents with it.
    browser->backward();
    EXPECT_EQ(browser->source(), QUrl("chm:/saving.html"));
    EXPECT_EQ(window->Contents()->currentItem()->text(0), "Saving the spreadsheet");
}

// The reason for each kind of damage: FailuresNameTheFileAndTheReason (HelpFileTest).
TEST_F(HelpWindowTest, HelpFileThatCannotBeOpenedIsReportedNotShown) {
    const QString missing = kHelpFile + ".missing";
    m_help.ShowHelp(nullptr, missing);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0], "The help file " + QDir::toNativeSeparators(missing) +
                                 " could not be opened: no such file or directory.");
    EXPECT_EQ(m_help.WindowFor(missing), nullptr);
    EXPECT_EQ(OpenHelpWindows(), 0);
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
