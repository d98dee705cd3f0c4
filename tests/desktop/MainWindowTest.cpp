// The Qt window over the window model: real widgets, real events, the desktop's
// dialogs and boxes replaced through the model's interfaces. Runs on Qt's offscreen
// platform. Rules that Qt cannot hide or change are checked on the model alone
// (FrmExtractTest): Tab into a range box, say, whose text Qt's line edit selects by itself.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "desktop/MainWindow.h"
#include "desktop/PlotCanvas.h"
#include "desktop/PlotWindow.h"
#include "desktop/ProgressWidget.h"
#include "desktop/QtServices.h"
#include "desktop/TimeListWidget.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"
#include "tests/window/FakePlatform.h"

namespace vx::desktop {
namespace {

namespace fs = std::filesystem;
using test::Example;

class DesktopTest : public ::testing::Test {
protected:
    DesktopTest() {
        DesktopServices services{&m_fake, &m_fake, &m_fake, &m_fake, &m_fake};
        m_window = std::make_unique<MainWindow>(services);
        m_window->show();
        QApplication::processEvents();
    }

    template <typename T = QWidget>
    T* W(std::string_view name, int index = -1) {
        auto* widget = qobject_cast<T*>(m_window->WidgetOf(name, index));
        EXPECT_TRUE(widget) << name;
        return widget;
    }
    TimeListWidget* Available() { return W<TimeListWidget>("lstAvailable"); }
    TimeListWidget* Selected() { return W<TimeListWidget>("lstSelected"); }
    void Click(std::string_view button) { QTest::mouseClick(W(button), Qt::LeftButton); }
    void Open(const std::string& path) {
        m_fake.OpenAnswers.push_back(path);
        Click("cmdFile");
    }
    QPoint ItemCentre(QListWidget* list, int row) {
        return list->visualItemRect(list->item(row)).center();
    }
    void DoubleClick(QListWidget* list, int row) {
        QPoint item = ItemCentre(list, row);
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, item);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, item);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, item);
    }
    void Drop(QListWidget* target, QMimeData* data) {
        QPoint at = target->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(target->viewport(), &enter);
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target->viewport(), &drop);
    }
    std::vector<std::string> Texts(QListWidget* list) {
        std::vector<std::string> texts;
        for (int i = 0; i < list->count(); ++i)
            texts.push_back(list->item(i)->text().toStdString());
        return texts;
    }

    test::FakePlatform m_fake;
    std::unique_ptr<MainWindow> m_window;
    test::TempDir m_dir;
};

// Which controls are usable at the start: FrmExtractTest.
TEST_F(DesktopTest, TheWindowLaysOutItsControlsAndTheirAccessKeys) {
    EXPECT_EQ(m_window->windowTitle(), "VoraxExtract");
    // Labels lend their access keys to the control after them.
    EXPECT_EQ(W<QLabel>("lblVectors", 1)->buddy(), W("txtVectors", 1));
    // Laid out in proportion: Save stands right of the Selected list, Close under Save.
    EXPECT_GT(W("cmdSave")->x(), W("lstSelected")->geometry().right());
    EXPECT_GT(W("cmdClose")->y(), W("cmdSave")->geometry().bottom());

    // The client area is 8460 x 5880 twips with the status bar inside it, along the bottom
    // edge: 135 twips lie between the lowest frames and the status bar.
    const double twip = m_window->Scale();
    QWidget* status = m_window->findChild<QWidget*>("sbMain");
    EXPECT_NEAR(m_window->width(), 8460 * twip, 1);
    EXPECT_NEAR(m_window->height(), 5880 * twip, 1);
    EXPECT_NEAR(status->height(), 300 * twip, 1);
    EXPECT_EQ(status->geometry().bottom(), m_window->height() - 1);
    EXPECT_NEAR(status->y() - W("fraTime")->geometry().bottom() - 1, 135 * twip, 2);

    // A larger window shows more room: the controls stay; the status bar keeps to the
    // bottom edge and the progress bar to the right end of it (75 twips short).
    const QRect save = W("cmdSave")->geometry(), list = Available()->geometry();
    m_window->resize(m_window->width() + 300, m_window->height() + 200);
    QApplication::processEvents();
    EXPECT_EQ(W("cmdSave")->geometry(), save);
    EXPECT_EQ(Available()->geometry(), list);
    EXPECT_EQ(status->geometry(),
              QRect(0, m_window->height() - status->height(), m_window->width(), status->height()));
    EXPECT_NEAR(m_window->Progress()->geometry().right(), m_window->width() - 75 * twip, 2);
}

TEST_F(DesktopTest, OpeningPickingTimesAndSavingThroughTheWidgets) {
    Open(Example("dynamic3d.out"));
    ASSERT_EQ(Available()->count(), 6);
    EXPECT_EQ(W<QLineEdit>("txtFileName")->text().toStdString(), Example("dynamic3d.out"));
    EXPECT_EQ(m_window->StatusText()->text(), "dynamic3d.out");
    EXPECT_EQ(W<QLabel>("lblAnalysis")->text(), "Dynamical");
    EXPECT_EQ(W<QComboBox>("cboVariables")->currentText(), "Displacements");
    EXPECT_EQ(W<QComboBox>("cboVectors")->count(), 7);
    EXPECT_FALSE(W("lblSummary", 4)->isEnabled()) << "no solids";

    // A double-click moves one time.
    QPoint item4 = ItemCentre(Available(), 4);
    QTest::mousePress(Available()->viewport(), Qt::LeftButton, {}, item4);
    QTest::mouseDClick(Available()->viewport(), Qt::LeftButton, {}, item4);
    QTest::mouseRelease(Available()->viewport(), Qt::LeftButton, {}, item4);
    EXPECT_EQ(Texts(Selected()), std::vector<std::string>{"300"});

    // Dropped on Selected: our own payload adds, data without text is refused. Which
    // foreign text adds what: TimesMoveToSelectedSortedWithTheirStepNumbers (FrmExtractTest).
    QMimeData mine, noText;
    mine.setText("0 2 ");
    Drop(Selected(), &mine);
    noText.setData("application/octet-stream", "3 ");
    Drop(Selected(), &noText);
    EXPECT_EQ(Texts(Selected()), (std::vector<std::string>{"60", "180", "300"}));

    // Choose a variable and vector, type a range, pick the layout, and Save.
    auto* variables = W<QComboBox>("cboVariables");
    QTest::mouseClick(variables, Qt::LeftButton);
    variables->setCurrentIndex(variables->findText("Truss Axial Force"));
    emit variables->activated(variables->currentIndex());
    EXPECT_EQ(W<QGroupBox>("fraVectors")->title(), "Trusses");
    EXPECT_FALSE(W("cboVectors")->isEnabled());
    QLineEdit* to = W<QLineEdit>("txtVectors", 1);
    to->selectAll();
    QTest::keyClicks(to, "3");
    EXPECT_TRUE(W("cmdSave")->isEnabled());
    QTest::mouseClick(W("optTime", 1), Qt::LeftButton);
    EXPECT_TRUE(m_window->Form().optTime[1].Value);

    // Cancelling the save dialog leaves the window idle, the listing's name gone from the
    // status bar.
    ASSERT_EQ(m_window->StatusText()->text(), "dynamic3d.out");
    m_fake.SaveAnswers.push_back("");
    Click("cmdSave");
    EXPECT_EQ(m_window->StatusText()->text(), "");
    EXPECT_TRUE(W("cmdSave")->isEnabled());

    fs::path sheet = m_dir.Path() / "trusses.xls";
    m_fake.SaveAnswers.push_back(sheet.string());
    Click("cmdSave");
    EXPECT_TRUE(W("cmdSave")->isEnabled());
    EXPECT_FALSE(m_window->Progress()->isVisible());
    ASSERT_FALSE(m_fake.Pointers.empty());
    EXPECT_EQ(m_fake.Pointers.back(), kDefaultPointer);
    // The sheet the command-line tool writes for the same request.
    fs::path cliSheet = m_dir.Path() / "cli.xls";
    auto run = test::RunCli({"export", Example("dynamic3d.out"), "-o", cliSheet.string(), "--quiet",
                             "--variable", "Truss Axial Force", "--from", "1", "--to", "3",
                             "--steps", "1,3,5", "--columns"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(test::ReadBytes(sheet), test::ReadBytes(cliSheet));
    // The same request as CSV, by the dialog's type and a name without an extension.
    m_fake.SaveFilters.push_back(3);
    m_fake.SaveAnswers.push_back((m_dir.Path() / "trusses").string());
    Click("cmdSave");
    ASSERT_FALSE(m_fake.SaveSetups.empty());
    EXPECT_EQ(m_fake.SaveSetups.back().FilterIndex, 1);
    fs::path cliCsv = m_dir.Path() / "cli.csv";
    run = test::RunCli({"export", Example("dynamic3d.out"), "-o", cliCsv.string(), "--quiet",
                        "--variable", "Truss Axial Force", "--from", "1", "--to", "3", "--steps",
                        "1,3,5", "--columns"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(test::ReadBytes(m_dir.Path() / "trusses.csv"), test::ReadBytes(cliCsv));
    // How LibreOffice reads such sheets in every format: RealReaders (tests/app).
}

// As main() opens a file named on the command line (voraxextract FILE), and a listing
// dropped from a file manager onto the window, outside the time lists.
TEST_F(DesktopTest, AListingNamedAtStartOrDroppedOnTheWindowOpensAsWithTheDialog) {
    m_window->OpenFile(QString::fromStdString(fs::relative(Example("dynamic3d.out")).string()));
    EXPECT_EQ(Available()->count(), 6);
    EXPECT_EQ(W<QLineEdit>("txtFileName")->text().toStdString(), Example("dynamic3d.out"));
    EXPECT_EQ(m_window->StatusText()->text(), "dynamic3d.out");
    EXPECT_TRUE(m_fake.OpenSetups.empty()) << "no dialog";

    auto dropFiles = [&](QWidget* on, const QList<QUrl>& urls) {
        QMimeData files;
        files.setUrls(urls);
        files.setText(urls.front().toString());  // as file managers offer it too
        QPoint at = on->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(on, &enter);
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(on, &drop);
        QApplication::processEvents();
        return enter.isAccepted();
    };
    // Which drops open a listing: OpeningAListingFillsTimesVariablesAndSummary (FrmExtractTest).
    const QUrl thermal = QUrl::fromLocalFile(QString::fromStdString(Example("thermal.out")));
    EXPECT_FALSE(dropFiles(Available()->viewport(), {thermal}));
    dropFiles(Selected()->viewport(), {thermal});
    EXPECT_EQ(Available()->count(), 6) << "the time lists open nothing";
    EXPECT_EQ(Selected()->count(), 0);

    EXPECT_TRUE(dropFiles(W("txtVectors", 1), {thermal}));
    EXPECT_EQ(W<QLineEdit>("txtFileName")->text().toStdString(), Example("thermal.out"));
    EXPECT_EQ(W<QLineEdit>("txtVectors", 1)->text(), "1") << "no path typed into To";
    EXPECT_EQ(Available()->count(), 5);
    EXPECT_EQ(m_window->Form().InitOpenDir, (test::SourceDir() / "examples").string() + "/");
}

TEST_F(DesktopTest, ThePopUpMenuServesTheListItWasOpenedOnAndCtrlAWorksAnywhere) {
    Open(Example("thermal.out"));
    ASSERT_EQ(Available()->count(), 5);
    using Offered = std::vector<bool>;
    Offered offered;  // Clear, Add, Delete and All as the last menu offered them
    const char* chosen = nullptr;
    m_window->ChoosePopupItem = [&](QMenu& menu) {
        offered.clear();
        for (const char* item : {"mnuListClear", "mnuListAdd", "mnuListDelete", "mnuListAll"})
            offered.push_back(menu.findChild<QAction*>(item)->isEnabled());
        return chosen ? menu.findChild<QAction*>(chosen) : nullptr;
    };
    auto menu = [&](TimeListWidget* list, const char* item) {
        chosen = item;
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->viewport()->rect().center());
    };
    auto click = [&](TimeListWidget* list, int row, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, keys, ItemCentre(list, row));
    };

    menu(Selected(), nullptr);
    EXPECT_EQ(offered, (Offered{false, false, false, false})) << "an empty Selected list";
    menu(Available(), nullptr);
    EXPECT_EQ(offered, (Offered{false, false, false, true})) << "nothing highlighted";

    // Add takes the highlighted times; the right button leaves the highlighting be.
    click(Available(), 1, Qt::ControlModifier);
    click(Available(), 3, Qt::ControlModifier);
    menu(Available(), "mnuListAdd");
    EXPECT_EQ(Available()->selectedItems().size(), 2);
    EXPECT_EQ(m_window->Form().lstHidden.Items(), (std::vector<std::string>{"2", "4"}));
    // Items that serve the other list do nothing.
    m_window->Form().mnuListClear_Click();
    EXPECT_EQ(m_window->Form().lstSelected.ListCount(), 2);

    menu(Available(), "mnuListAll");
    EXPECT_EQ(Available()->selectedItems().size(), 5);
    menu(Available(), "mnuListAdd");
    EXPECT_EQ(Selected()->count(), 5);

    click(Selected(), 0);
    menu(Selected(), "mnuListDelete");
    EXPECT_EQ(offered, (Offered{true, false, true, false}));
    EXPECT_EQ(Selected()->count(), 4);
    menu(Selected(), "mnuListClear");
    EXPECT_EQ(Selected()->count(), 0);
    EXPECT_FALSE(W("cmdClear")->isEnabled() || W("cmdDelete")->isEnabled() ||
                 W("cmdSave")->isEnabled());

    // Ctrl+A in any control highlights every Available time, and a drop copies them all.
    W("txtVectors", 0)->setFocus();
    QTest::keyClick(W("txtVectors", 0), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Available()->selectedItems().size(), 5);
    QMimeData any;
    any.setText("4 ");
    Drop(Selected(), &any);
    EXPECT_EQ(Selected()->count(), 5);
}

// With the real help: F1 shows the help file beside the program, and closing the
// window closes the help.
TEST(RealHelp, F1ShowsTheHelpAndClosingTheWindowClosesIt) {
    test::FakePlatform fake;
    DesktopServices services{&fake, &fake, &fake, nullptr, &fake};
    MainWindow window(services);
    window.show();
    window.WidgetOf("cmdFile")->setFocus();
    QTest::keyClick(window.WidgetOf("cmdFile"), Qt::Key_F1);
    auto helpWindows = [] {
        const auto all = QApplication::topLevelWidgets();
        return std::count_if(all.begin(), all.end(), [](QWidget* w) {
            return w->isVisible() && w->windowTitle() == "VoraxExtract Help";
        });
    };
    EXPECT_TRUE(fake.Boxes.empty()) << fake.Boxes.front().Prompt;
    EXPECT_EQ(helpWindows(), 1);
    window.close();
    QApplication::processEvents();
    EXPECT_EQ(helpWindows(), 0);
}

// The window goes at once and the handler that read the listing ends on a live model.
TEST_F(DesktopTest, ClosingWhileAListingIsReadClosesAtOnce) {
    gen::ListingSpec big = test::EveryBlockSpec(3);
    big.steps = 1;
    big.targetBytes = std::int64_t{32} << 20;
    const std::string listing = test::Generate(big, m_dir.Path() / "big.out");
    bool closed = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (closed || m_window->StatusText()->text() != "Reading times...") return;
        closed = true;
        m_window->close();
        EXPECT_FALSE(m_window->isVisible());
    });
    closer.start(0);
    Open(listing);
    closer.stop();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(m_window->Form().FileModel().TimeCount, 0) << "the scan stopped";
    EXPECT_EQ(Available()->count(), 0);
    EXPECT_FALSE(m_window->Form().Busy());
    EXPECT_TRUE(m_fake.Boxes.empty());
    ASSERT_FALSE(m_fake.Pointers.empty());
    EXPECT_EQ(m_fake.Pointers.back(), kDefaultPointer);
    EXPECT_EQ(m_fake.Settings.at("VoraxExtract/Files/InitOpenDir"), m_dir.Path().string() + "/");
}

TEST_F(DesktopTest, ClosingDuringAnExportAsksAndNoLetsItFinishYesStopsItAndCloses) {
    Open(test::Generate(test::ThermalSpec(6, 60), m_dir.Path() / "long.out"));
    QTest::keyClick(Available(), Qt::Key_A, Qt::ControlModifier);
    m_window->ChoosePopupItem = [](QMenu& menu) { return menu.findChild<QAction*>("mnuListAdd"); };
    QTest::mouseClick(Available()->viewport(), Qt::RightButton, {}, ItemCentre(Available(), 0));
    ASSERT_EQ(Selected()->count(), 60);
    W<QLineEdit>("txtVectors", 1)->setText("6");
    emit W<QLineEdit>("txtVectors", 1)->textEdited("6");
    ASSERT_TRUE(W("cmdSave")->isEnabled());

    // The close request arrives while the export reports its progress; other clicks
    // meanwhile are ignored, keys are not.
    bool asked = false;
    Qt::Key key = Qt::Key_Shift;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!m_window->Form().SaveRunning || asked) return;
        asked = true;
        m_window->close();
        EXPECT_TRUE(m_window->isVisible()) << "the window waits for the export to stop";
        Click("cmdClear");
        QTest::mouseClick(W("optTime", 1), Qt::LeftButton);
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : m_window.get(), key,
                        key == Qt::Key_A ? Qt::ControlModifier : Qt::NoModifier);
    });
    auto saveAndClose = [&](MsgAnswer answer, const fs::path& sheet) {
        asked = false;
        m_fake.BoxAnswer = answer;
        m_fake.SaveAnswers.push_back(sheet.string());
        closer.start(0);
        Click("cmdSave");
        closer.stop();
        EXPECT_TRUE(asked);
    };
    QTest::keyClick(Available(), Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(m_window->Form().AllTimesSelected);
    saveAndClose(MsgAnswer::No, m_dir.Path() / "no.xls");
    EXPECT_TRUE(fs::exists(m_dir.Path() / "no.xls"));
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(Selected()->count(), 60);
    EXPECT_FALSE(m_window->Form().optTime[1].Value);
    EXPECT_FALSE(m_window->Form().AllTimesSelected) << "Shift, pressed during the export";
    EXPECT_TRUE(m_fake.HelpCalls.empty()) << "the help stays open";
    key = Qt::Key_A;

    saveAndClose(MsgAnswer::Yes, m_dir.Path() / "yes.xls");
    EXPECT_FALSE(fs::exists(m_dir.Path() / "yes.xls"));
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_TRUE(m_window->Form().AllTimesSelected) << "Ctrl+A, pressed during the export";
    const test::FakePlatform::Box question{
        "Save is in progress. Do you want to exit and abbort current process?", MsgButtons::YesNo,
        MsgIcon::Question, "VoraxExtract", true};
    EXPECT_EQ(m_fake.Boxes, std::vector(2, question));
    ASSERT_FALSE(m_fake.Pointers.empty());
    EXPECT_EQ(m_fake.Pointers.back(), kDefaultPointer);
    EXPECT_EQ(m_fake.Settings.count("VoraxExtract/Files/InitSaveDir"), 1u);
    // Yes closes the help at once; the window closing afterwards closes it again.
    const std::string help =
        "close " + QApplication::applicationDirPath().toStdString() + "/VoraxExtract.chm";
    EXPECT_EQ(m_fake.HelpCalls, (std::vector<std::string>{help, help}));
}

TEST_F(DesktopTest, PlotFollowsTheWindowAndSavesItsPicture) {
    Open(Example("dynamic3d.out"));
    auto plotAndSave = [&] {
        EXPECT_EQ(W("cmdPlot")->isEnabled(), W("cmdSave")->isEnabled());
        return W("cmdPlot")->isEnabled();
    };
    EXPECT_FALSE(plotAndSave()) << "no time selected";
    DoubleClick(Available(), 0);
    DoubleClick(Available(), 2);
    QLineEdit* to = W<QLineEdit>("txtVectors", 1);
    to->selectAll();
    QTest::keyClicks(to, "x");
    EXPECT_FALSE(plotAndSave());
    to->selectAll();
    QTest::keyClicks(to, "3");
    ASSERT_TRUE(plotAndSave());

    Click("cmdPlot");
    PlotWindow* plot = m_window->Plot();
    ASSERT_TRUE(plot);
    EXPECT_TRUE(plot->isVisible());
    EXPECT_EQ(plot->windowTitle(), "VoraxExtract Plot");
    FrmPlot& model = m_window->Form().Plot();
    auto legend = [&] {
        std::vector<std::string> names;
        for (QLegendMarker* marker : plot->ChartView()->chart()->legend()->markers())
            names.push_back(marker->label().toStdString());
        return names;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.GetState() == FrmPlot::State::Shown; }));
    EXPECT_EQ(legend(), (std::vector<std::string>{"Node 1", "Node 2", "Node 3"}));
    EXPECT_EQ(plot->StateLine()->text(), "Displacements DOF1: 3 nodes at 2 times");
    EXPECT_FALSE(plot->EveryLineBox()->isEnabled()) << "few items";

    // The window follows a change of To and of the Selected times, after a pause.
    to->selectAll();
    QTest::keyClicks(to, "5");
    EXPECT_TRUE(QTest::qWaitFor([&] { return legend().size() == 5; }));
    DoubleClick(Available(), 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.Plot() && model.Plot()->Times.size() == 3; }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return plot->StateLine()->text().contains("3 times"); }));

    // Hovering the first point of Node 1 names it.
    const PlotData& data = *model.Plot();
    QChart* chart = plot->ChartView()->chart();
    const QRectF area = chart->plotArea();
    const QPointF first(
        area.left() + (data.Times[0] - data.X.Min) / (data.X.Max - data.X.Min) * area.width(),
        area.bottom() -
            (data.Lines[0].Values[0] - data.Y.Min) / (data.Y.Max - data.Y.Min) * area.height());
    std::optional<QString> hover = plot->Canvas()->PointAt(first + QPointF(2, -2));
    ASSERT_TRUE(hover);
    EXPECT_TRUE(hover->startsWith("Node 1 at 60 s: ")) << hover->toStdString();
    EXPECT_FALSE(plot->Canvas()->PointAt(area.topLeft() - QPointF(5, 5)));

    // Save Picture writes PNG or SVG by the name chosen; Copy puts the picture on the
    // clipboard.
    for (const char* name : {"plot.png", "plot.svg"}) {
        m_fake.SaveAnswers.push_back((m_dir.Path() / name).string());
        QTest::mouseClick(plot->findChild<QPushButton*>("cmdSavePicture"), Qt::LeftButton);
    }
    ASSERT_EQ(m_fake.SaveSetups.size(), 2u);
    EXPECT_EQ(m_fake.SaveSetups[0].Filter, "PNG Picture (*.png)|*.png|SVG Picture (*.svg)|*.svg");
    EXPECT_TRUE(m_fake.Boxes.empty()) << m_fake.Boxes.front().Prompt;
    const std::string png = test::ReadBytes(m_dir.Path() / "plot.png");
    const std::string svg = test::ReadBytes(m_dir.Path() / "plot.svg");
    EXPECT_EQ(png.substr(0, 4), "\x89PNG");
    EXPECT_GT(png.size(), 1000u);
    EXPECT_TRUE(QSvgRenderer(QByteArray::fromStdString(svg)).isValid());
    EXPECT_NE(svg.find("<polyline"), std::string::npos) << "the lines, as lines";
    // Never over the open listing; a folder that cannot be written is reported.
    const std::string listing = test::ReadBytes(Example("dynamic3d.out"));
    m_fake.SaveAnswers.push_back(Example("dynamic3d.out"));
    m_fake.SaveAnswers.push_back((m_dir.Path() / "missing" / "plot.png").string());
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(plot->findChild<QPushButton*>("cmdSavePicture"), Qt::LeftButton);
    ASSERT_EQ(m_fake.Boxes.size(), 2u);
    EXPECT_EQ(m_fake.Boxes[0].Prompt,
              Example("dynamic3d.out") +
                  " is the listing that is open. Choose another file for the picture.");
    EXPECT_TRUE(m_fake.Boxes[1].Prompt.starts_with("The picture could not be saved to " +
                                                   (m_dir.Path() / "missing/plot.png").string()))
        << m_fake.Boxes[1].Prompt;
    EXPECT_EQ(test::ReadBytes(Example("dynamic3d.out")), listing);
    EXPECT_FALSE(fs::exists(m_dir.Path() / "missing"));
    QApplication::clipboard()->clear();
    QTest::mouseClick(plot->findChild<QPushButton*>("cmdCopy"), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->image().size(), chart->size().toSize());

    // Plot again brings the same window to the front; closing the main window closes it.
    plot->hide();
    model.Form_Unload();
    Click("cmdPlot");
    EXPECT_EQ(m_window->Plot(), plot);
    EXPECT_TRUE(plot->isVisible());
    m_window->close();
    EXPECT_FALSE(plot->isVisible());
}

TEST_F(DesktopTest, PlotOfManyNodesShowsTheirRangeAndEveryLineOnRequest) {
    Open(Example("vibration2d.out"));
    Available()->setFocus();
    QTest::keyClick(Available(), Qt::Key_A, Qt::ControlModifier);
    QMimeData all;
    all.setText("0 ");
    Drop(Selected(), &all);
    ASSERT_EQ(Selected()->count(), 60);
    QLineEdit* to = W<QLineEdit>("txtVectors", 1);
    to->selectAll();
    QTest::keyClicks(to, "24");
    Click("cmdPlot");
    PlotWindow* plot = m_window->Plot();
    FrmPlot& model = m_window->Form().Plot();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.GetState() == FrmPlot::State::Shown; }));
    QChart* chart = plot->ChartView()->chart();
    auto legend = [&] {
        std::vector<std::string> names;
        for (QLegendMarker* marker : chart->legend()->markers())
            if (chart->legend()->isVisible()) names.push_back(marker->label().toStdString());
        return names;
    };
    EXPECT_EQ(legend(),
              (std::vector<std::string>{"Minimum to maximum of 24 nodes", "Mean of 24 nodes"}));
    ASSERT_TRUE(plot->EveryLineBox()->isEnabled());

    // Every line, drawn straight into the plot's pixels: the colours of the lines show
    // inside the plot area and nowhere else.
    auto lineColoured = [&](const QImage& picture, const QRect& where) {
        int count = 0;
        for (int y = where.top(); y <= where.bottom(); ++y)
            for (int x = where.left(); x <= where.right(); ++x)
                for (std::size_t i = 0; i < 10; ++i)
                    count += picture.pixel(x, y) == PlotCanvas::LineColour(i).rgb() ? 1 : 0;
        return count;
    };
    const QRect area = chart->plotArea().toAlignedRect();
    EXPECT_EQ(lineColoured(plot->Picture(), area), 0) << "the band and the mean only";
    QTest::mouseClick(plot->EveryLineBox(), Qt::LeftButton);
    EXPECT_TRUE(model.EveryLine());
    EXPECT_TRUE(legend().empty()) << "24 entries would not be read; hovering names a line";
    const QImage picture = plot->Picture();
    EXPECT_GT(lineColoured(picture, area), area.width());
    EXPECT_EQ(lineColoured(picture, QRect(area.left(), 0, area.width(), area.top() - 1)), 0);
    // Zoomed into the middle, the lines still stay inside the plot area.
    plot->ChartView()->chart()->zoomIn(QRectF(area.center() - QPointF(20, 20), QSizeF(40, 40)));
    const QImage zoomed = plot->Picture();
    EXPECT_GT(lineColoured(zoomed, area), area.width());
    EXPECT_EQ(lineColoured(zoomed, QRect(0, 0, area.left() - 2, zoomed.height())), 0);
    plot->ResetZoom();
}

// The progress bar as painted: the figure stays readable as the bar passes under it.
TEST(ProgressPainting, DigitsUnderTheBarDifferFromTheBar) {
    ProgressWidget widget;
    widget.resize(200, 16);
    QFontMetrics metrics(widget.font());
    const QRgb fore = widget.ForeColour().rgb() & 0xFFFFFF;
    const QRgb back = widget.BackColour().rgb() & 0xFFFFFF;
    const QRgb bar = ~(back ^ fore) & 0xFFFFFF;
    ASSERT_NE(bar, fore);
    ProgressPicture picture;
    QImage image;
    auto paint = [&](float fraction) {
        QString text = QString::fromStdString(ProgressText(fraction));
        picture =
            LayoutProgress(fraction, {200, 16},
                           {double(metrics.horizontalAdvance(text)), double(metrics.height())});
        widget.Show(picture);
        image = widget.Render();
    };
    // Pixels of the figure in `colour` between columns `from` and `to`.
    auto figure = [&](QRgb colour, int from, int to) {
        int count = 0;
        for (int y = picture.TextY; y < picture.TextY + picture.TextHeight; ++y)
            for (int x = std::max(from, picture.TextX);
                 x < std::min(to, picture.TextX + picture.TextWidth); ++x)
                count += (image.pixel(x, y) & 0xFFFFFF) == colour ? 1 : 0;
        return count;
    };

    // Half done: the bar is NOT(back XOR fore) on the left, back on the right, and the
    // figure (centred, straddling the edge) turns white under the bar (NOT(fore XOR
    // fore)) and keeps the fore colour beyond it.
    paint(0.5f);
    EXPECT_EQ(image.pixel(2, 2) & 0xFFFFFF, bar);
    EXPECT_EQ(image.pixel(197, 2) & 0xFFFFFF, back);
    EXPECT_GT(figure(0xFFFFFF, 0, 100), 0);
    EXPECT_GT(figure(fore, 100, 200), 0);

    // At nothing done the surface is white and the figure is NOT(fore XOR back).
    paint(0);
    EXPECT_EQ(image.pixel(1, 1) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_GT(figure(~(fore ^ back) & 0xFFFFFF, 0, 200), 0);
}

TEST(DialogFilters, BecomeQtNameFilters) {
    EXPECT_EQ(NameFilters("Vorax Output Files (*.out)|*.out|All Files (*.*)|*.*"),
              (QStringList{"Vorax Output Files (*.out)", "All Files (*)"}));
}

// The save dialog opens on the type it is given, and a name typed after the user has
// chosen another type comes back with that type's extension and its place in the list.
TEST(DialogFilters, TheSaveDialogTellsTheTypeChosenAndGivesItsExtension) {
    test::TempDir dir;
    QWidget owner;
    QtFileDialogs dialogs(&owner);
    FileDialogSetup setup;
    setup.InitDir = dir.Path().string();
    setup.Filter =
        "Excel File (*.xls)|*.xls|Excel Workbook (*.xlsx)|*.xlsx|CSV File (*.csv)|*.csv|"
        "All Files (*.*)|*.*";
    setup.FilterIndex = 3;
    setup.OverwritePrompt = true;
    QString openedOn;
    QTimer user;
    int waited = 0;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QFileDialog* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) dialog = d;
        if (!dialog) {
            // Never shown: end the test rather than wait for ever.
            ASSERT_LT(++waited, 500) << "no save dialog";
            return;
        }
        user.stop();
        openedOn = dialog->selectedNameFilter();
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        types->setCurrentIndex(1);  // as the user picks it: the list then says so
        emit types->activated(1);
        emit types->textActivated(types->currentText());
        dialog->selectFile("book");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    user.start(20);
    FileDialogChoice choice;
    ASSERT_TRUE(dialogs.ShowSave(setup, choice));
    EXPECT_EQ(openedOn, "CSV File (*.csv)");
    EXPECT_EQ(choice.FilterIndex, 2);
    EXPECT_EQ(choice.FileName, (dir.Path() / "book.xlsx").string());
    EXPECT_EQ(choice.FileTitle, "book.xlsx");
}

}  // namespace
}  // namespace vx::desktop

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
