// The Qt window over the window model, on Qt's offscreen platform, the desktop's dialogs
// and boxes replaced. What the window does with the user's actions is the model's
// (FrmExtractTest); here, that the widgets show the model and pass those actions on, and
// what only Qt does: layout, drops, menus, keys, closing, drawing, the real dialogs.

#include <gtest/gtest.h>

#include <fstream>

#include <QAction>
#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSvgRenderer>
#include <QTableWidget>
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
using Texts = std::vector<std::string>;

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
    FrmExtract& Form() { return m_window->Form(); }
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
    void Type(int box, const char* text) {
        W<QLineEdit>("txtVectors", box)->selectAll();
        QTest::keyClicks(W("txtVectors", box), text);
    }
    // A drop on `target`; whether it was taken.
    bool Drop(QWidget* target, QMimeData* data) {
        QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        QApplication::processEvents();
        return enter.isAccepted();
    }
    Texts Items(QListWidget* list) {
        Texts texts;
        for (int i = 0; i < list->count(); ++i)
            texts.push_back(list->item(i)->text().toStdString());
        return texts;
    }

    test::FakePlatform m_fake;
    std::unique_ptr<MainWindow> m_window;
    test::TempDir m_dir;
};

// A listing still being written: the real window, on its own, shows the steps completed
// since, while it stays open, and the growth in the status bar; the selection stays.
TEST_F(DesktopTest, AGrowingListingShowsItsNewStepsWhileOpen) {
    auto spec = test::EveryBlockSpec(3);
    spec.steps = 6;
    const std::string whole = test::Generate(spec, m_dir.Path() / "whole.out");
    std::ifstream in(whole, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::size_t step3 = 0;
    for (int i = 0; i < 3; ++i) step3 = bytes.find("TIME =", step3 + 1);
    const auto live = m_dir.Path() / "live.out";
    std::ofstream(live, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(step3));
    m_window->OpenFile(QString::fromStdString(live.string()));
    ASSERT_EQ(Available()->count(), 2);
    DoubleClick(Available(), 1);
    ASSERT_EQ(Items(Selected()), Texts{"120"});

    std::ofstream(live, std::ios::binary | std::ios::app)
        .write(bytes.data() + step3, static_cast<std::streamsize>(bytes.size() - step3));
    // The file watch's event comes at once; its look a quarter of a second later.
    QElapsedTimer clock;
    clock.start();
    while (Available()->count() < 6 && clock.elapsed() < 5000) QTest::qWait(20);
    EXPECT_LE(clock.elapsed(), 2500);
    EXPECT_EQ(Items(Available()), (Texts{"60", "120", "180", "240", "300", "360"}));
    EXPECT_EQ(Items(Selected()), Texts{"120"});
    EXPECT_EQ(m_window->StatusText()->text(), "live.out");
    EXPECT_TRUE(Form().sbMain.Panel2.starts_with("Growing: 4 steps added")) << Form().sbMain.Panel2;
}

TEST_F(DesktopTest, TheWindowLaysOutItsControlsAndTheirAccessKeys) {
    EXPECT_EQ(m_window->windowTitle(), "VoraxExtract");
    // Labels lend their access keys to the control after them.
    EXPECT_EQ(W<QLabel>("lblVectors", 1)->buddy(), W("txtVectors", 1));

    // The client area is 8460 x 5880 twips with the status bar inside it, along the bottom
    // edge: 135 twips lie between the lowest frames and the status bar.
    const double twip = m_window->Scale();
    QWidget* status = m_window->findChild<QWidget*>("sbMain");
    EXPECT_NEAR(m_window->width(), 8460 * twip, 1);
    EXPECT_NEAR(m_window->height(), 5880 * twip, 1);
    EXPECT_NEAR(status->height(), 300 * twip, 1);
    EXPECT_NEAR(status->y() - W("fraTime")->geometry().bottom() - 1, 135 * twip, 2);

    // A larger window shows more room: the controls stay; the status bar keeps to the
    // bottom edge and the progress bar to the right end of it (75 twips short).
    const QRect save = W("cmdSave")->geometry();
    m_window->resize(m_window->width() + 300, m_window->height() + 200);
    QApplication::processEvents();
    EXPECT_EQ(W("cmdSave")->geometry(), save);
    EXPECT_EQ(status->geometry(),
              QRect(0, m_window->height() - status->height(), m_window->width(), status->height()));
    EXPECT_NEAR(m_window->Progress()->geometry().right(), m_window->width() - 75 * twip, 2);
}

// The widgets show the model's controls and hand it what the user does to them.
TEST_F(DesktopTest, OpeningPickingTimesSavingAndDroppingThroughTheWidgets) {
    // As main() opens a file named on the command line (voraxextract FILE).
    m_window->OpenFile(QString::fromStdString(Example("dynamic3d.out")));
    ASSERT_EQ(Available()->count(), 6);
    EXPECT_TRUE(m_fake.OpenSetups.empty()) << "no dialog";
    EXPECT_EQ(W<QLineEdit>("txtFileName")->text().toStdString(), Example("dynamic3d.out"));
    EXPECT_EQ(m_window->StatusText()->text(), "dynamic3d.out");
    EXPECT_EQ(W<QLabel>("lblAnalysis")->text(), "Dynamical");

    // A double-click moves one time; of what is dropped on Selected, our own payload adds
    // and data without text is refused.
    DoubleClick(Available(), 4);
    QMimeData mine, noText;
    mine.setText("0 2 ");
    Drop(Selected()->viewport(), &mine);
    noText.setData("application/octet-stream", "3 ");
    Drop(Selected()->viewport(), &noText);
    EXPECT_EQ(Items(Selected()), (Texts{"60", "180", "300"}));

    auto* variables = W<QComboBox>("cboVariables");
    variables->setCurrentIndex(variables->findText("Truss Axial Force"));
    emit variables->activated(variables->currentIndex());
    EXPECT_EQ(W<QGroupBox>("fraVectors")->title(), "Trusses");
    EXPECT_FALSE(W("cboVectors")->isEnabled());
    Type(1, "3");
    EXPECT_EQ(Form().txtVectors[1].Text(), "3");
    QTest::mouseClick(W("optTime", 1), Qt::LeftButton);
    EXPECT_TRUE(Form().optTime[1].Value);
    const fs::path sheet = m_dir.Path() / "trusses.xls";
    m_fake.SaveAnswers.push_back(sheet.string());
    Click("cmdSave");
    EXPECT_TRUE(fs::exists(sheet));
    EXPECT_TRUE(W("cmdSave")->isEnabled());
    EXPECT_FALSE(m_window->Progress()->isVisible());

    // A listing dropped from a file manager opens once the drop has ended, outside the
    // time lists only. Which drops open a listing: FrmExtractTest.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(Example("thermal.out")))});
    files.setText(files.urls().front().toString());  // as file managers offer it too
    EXPECT_FALSE(Drop(Available()->viewport(), &files));
    Drop(Selected()->viewport(), &files);
    EXPECT_EQ(Available()->count(), 6) << "the time lists open nothing";
    EXPECT_EQ(Selected()->count(), 3);
    EXPECT_TRUE(Drop(W("txtVectors", 1), &files));
    EXPECT_EQ(W<QLineEdit>("txtFileName")->text().toStdString(), Example("thermal.out"));
    EXPECT_EQ(W<QLineEdit>("txtVectors", 1)->text(), "3") << "no path typed into To";
    EXPECT_EQ(Available()->count(), 5);
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
    EXPECT_EQ(Form().lstHidden.Items(), (Texts{"2", "4"}));
    // Items that serve the other list do nothing.
    Form().mnuListClear_Click();
    EXPECT_EQ(Form().lstSelected.ListCount(), 2);

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

    // Ctrl+A in any control highlights every Available time.
    click(Available(), 0);
    W("txtVectors", 0)->setFocus();
    QTest::keyClick(W("txtVectors", 0), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Available()->selectedItems().size(), 5);
    EXPECT_TRUE(Form().AllTimesSelected);
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

// A close from the window system during an export is refused while the model asks;
// answered Yes, the window closes once the export has stopped, and the handler ends on a
// live model. The question, the answers and closing while a listing is read:
// FrmExtractTest. A click refused meanwhile leaves its widget as the model has it.
TEST_F(DesktopTest, ClosingDuringAnExportWaitsForTheExportToStop) {
    Open(test::Generate(test::ThermalSpec(6, 60), m_dir.Path() / "long.out"));
    Available()->setFocus();
    QTest::keyClick(Available(), Qt::Key_A, Qt::ControlModifier);
    QMimeData all;
    all.setText("0 ");
    Drop(Selected()->viewport(), &all);
    ASSERT_EQ(Selected()->count(), 60);
    bool asked = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!Form().SaveRunning || asked) return;
        asked = true;
        m_window->close();
        EXPECT_TRUE(m_window->isVisible()) << "the window waits for the export to stop";
        QTest::mouseClick(W("optTime", 1), Qt::LeftButton);
        EXPECT_FALSE(W<QRadioButton>("optTime", 1)->isChecked());
    });
    m_fake.BoxAnswer = MsgAnswer::Yes;
    m_fake.SaveAnswers.push_back((m_dir.Path() / "yes.xls").string());
    closer.start(0);
    Click("cmdSave");
    closer.stop();
    EXPECT_TRUE(asked);
    EXPECT_EQ(m_fake.Boxes.size(), 1u);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_FALSE(fs::exists(m_dir.Path() / "yes.xls"));
}

// The plot window over the plot model: when it shows what and how it follows the window
// are the model's (FrmExtractTest); here, that it follows through the real pause and
// threads, how it draws, hovers, saves and copies its picture.
TEST_F(DesktopTest, PlotFollowsTheWindowDrawsItsLinesAndSavesItsPicture) {
    Open(Example("vibration2d.out"));
    DoubleClick(Available(), 0);
    DoubleClick(Available(), 2);
    Type(1, "3");
    Click("cmdPlot");
    PlotWindow* plot = m_window->Plot();
    ASSERT_TRUE(plot);
    EXPECT_TRUE(plot->isVisible());
    EXPECT_EQ(plot->windowTitle(), "VoraxExtract Plot");
    FrmPlot& model = Form().Plot();
    QChart* chart = plot->ChartView()->chart();
    auto legend = [&] {
        Texts names;
        QApplication::processEvents();  // the legend lays its markers out among the events
        if (chart->legend()->isVisible())
            for (QLegendMarker* marker : chart->legend()->markers())
                if (marker->isVisible()) names.push_back(marker->label().toStdString());
        return names;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.GetState() == FrmPlot::State::Shown; }));
    EXPECT_EQ(legend(), (Texts{"Node 1", "Node 2", "Node 3"}));
    EXPECT_EQ(plot->StateLine()->text(), "Displacements DOF1: 3 nodes at 2 times");
    // The peaks under the chart, the group's first; Ctrl+C copies them as the model says.
    QTableWidget* peaks = plot->PeaksTable();
    ASSERT_EQ(peaks->rowCount(), 4);
    EXPECT_EQ(peaks->item(0, 0)->text(), "All 3 nodes");
    EXPECT_EQ(peaks->item(3, 0)->text(), "Node 3");
    QApplication::clipboard()->clear();
    plot->activateWindow();
    QTest::keyClick(plot, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              PeaksText(PlotPeaks(*model.Plot()), '\t'));
    EXPECT_FALSE(plot->EveryLineBox()->isVisible()) << "few items: every line anyway";
    // The legend beside the plot once it has more than a few entries.
    EXPECT_EQ(chart->legend()->alignment(), Qt::AlignBottom);

    // Hovering a point writes its readout in the button row, which never widens the window,
    // however narrow it is.

    // Hovering the first point of Node 1 names it.
    const PlotData& data = *model.Plot();
    const QRectF area = chart->plotArea();
    const QPointF first(
        area.left() + (data.Times[0] - data.X.Min) / (data.X.Max - data.X.Min) * area.width(),
        area.bottom() -
            (data.Lines[0].Values[0] - data.Y.Min) / (data.Y.Max - data.Y.Min) * area.height());
    std::optional<QString> hover = plot->Canvas()->PointAt(first + QPointF(2, -2));
    ASSERT_TRUE(hover);
    EXPECT_TRUE(hover->startsWith("Node 1 at 0.05 s: ")) << hover->toStdString();
    EXPECT_FALSE(plot->Canvas()->PointAt(area.topLeft() - QPointF(5, 5)));
    QChartView* view = plot->ChartView();
    // The pointer over the first point of Node 1 (true when that hits it), or away from it.
    auto hoverFirst = [&](bool away = false) {
        const QRectF now = chart->plotArea();
        QPointF at(
            now.left() + (data.Times[0] - data.X.Min) / (data.X.Max - data.X.Min) * now.width(),
            now.bottom() -
                (data.Lines[0].Values[0] - data.Y.Min) / (data.Y.Max - data.Y.Min) * now.height());
        at = away ? now.topRight() - QPointF(2, -2) : at + QPointF(2, -2);
        const QPoint pixel = view->mapFromScene(at);
        QMouseEvent move(QEvent::MouseMove, pixel, view->viewport()->mapToGlobal(pixel),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
        QApplication::processEvents();
        return plot->Canvas()->PointAt(at).has_value();
    };
    ASSERT_TRUE(hoverFirst());
    EXPECT_TRUE(plot->PointLine()->text().startsWith("Node 1 at ")) << "the readout is shown";
    EXPECT_FALSE(hoverFirst(true));
    EXPECT_TRUE(plot->PointLine()->text().isEmpty());
    plot->resize(plot->minimumSizeHint().width(), plot->height());
    QApplication::processEvents();
    const int narrow = plot->width();
    EXPECT_TRUE(hoverFirst()) << "pointed at";
    EXPECT_EQ(plot->width(), narrow);

    // Save Picture writes PNG (1600 pixels wide unless another size is chosen) or SVG by the
    // name chosen, never over the open listing, offers the folder of the last picture, and
    // reports a folder that cannot be written; Copy puts the picture on the clipboard.
    const std::string listing = test::ReadBytes(Example("vibration2d.out"));
    for (const std::string& name :
         {(m_dir.Path() / "plot.png").string(), (m_dir.Path() / "plot.svg").string(),
          Example("vibration2d.out"), (m_dir.Path() / "missing" / "plot.png").string()}) {
        m_fake.SaveAnswers.push_back(name);
        QTest::mouseClick(plot->findChild<QPushButton*>("cmdSavePicture"), Qt::LeftButton);
    }
    ASSERT_EQ(m_fake.SaveSetups.size(), 4u);
    EXPECT_EQ(m_fake.SaveSetups[0].Filter, PictureFilter());
    EXPECT_EQ(m_fake.SaveSetups[0].InitDir, fs::path(Example("")).parent_path().string() + "/");
    EXPECT_EQ(m_fake.SaveSetups[1].InitDir, m_dir.Path().string() + "/");
    const std::string png = test::ReadBytes(m_dir.Path() / "plot.png");
    const std::string svg = test::ReadBytes(m_dir.Path() / "plot.svg");
    EXPECT_EQ(QImage(QString::fromStdString((m_dir.Path() / "plot.png").string())).width(), 1600);
    EXPECT_TRUE(QSvgRenderer(QByteArray::fromStdString(svg)).isValid());
    EXPECT_NE(svg.find("<polyline"), std::string::npos) << "the lines, as lines";
    ASSERT_EQ(m_fake.Boxes.size(), 2u);
    EXPECT_EQ(m_fake.Boxes[0].Prompt,
              Example("vibration2d.out") +
                  " is the listing that is open. Choose another file for the picture.");
    EXPECT_TRUE(m_fake.Boxes[1].Prompt.starts_with("The picture could not be saved to " +
                                                   (m_dir.Path() / "missing/plot.png").string()))
        << m_fake.Boxes[1].Prompt;
    EXPECT_EQ(test::ReadBytes(Example("vibration2d.out")), listing);
    EXPECT_FALSE(fs::exists(m_dir.Path() / "missing"));
    QApplication::clipboard()->clear();
    QTest::mouseClick(plot->findChild<QPushButton*>("cmdCopy"), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->image().size(), chart->size().toSize());

    // 24 nodes, after the pause: their band and mean; every line on request, drawn straight
    // into the plot's pixels: the colours of the lines show inside the plot area and
    // nowhere else, zoomed in too.
    Type(1, "24");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.Plot() && model.Plot()->ManyItems; }));
    EXPECT_EQ(legend(), (Texts{"Minimum to maximum of 24 nodes", "Mean of 24 nodes"}));
    auto lineColoured = [&](const QImage& picture, const QRect& where) {
        int count = 0;
        for (int y = where.top(); y <= where.bottom(); ++y)
            for (int x = where.left(); x <= where.right(); ++x)
                for (std::size_t i = 0; i < 10; ++i)
                    count += picture.pixel(x, y) == PlotCanvas::LineColour(i).rgb() ? 1 : 0;
        return count;
    };
    const QRect inside = chart->plotArea().toAlignedRect();
    EXPECT_EQ(lineColoured(plot->Picture(), inside), 0) << "the band and the mean only";
    ASSERT_TRUE(plot->EveryLineBox()->isEnabled());
    QTest::mouseClick(plot->EveryLineBox(), Qt::LeftButton);
    EXPECT_TRUE(model.EveryLine());
    EXPECT_TRUE(legend().empty()) << "24 entries would not be read; hovering names a line";
    const QImage picture = plot->Picture();
    EXPECT_GT(lineColoured(picture, inside), inside.width());
    EXPECT_EQ(lineColoured(picture, QRect(inside.left(), 0, inside.width(), inside.top() - 1)), 0);
    // Zooming works with every line drawn too: the axes close in, on round ticks inside the
    // data; zooming out stops at the plot's own range.
    auto* x = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).front());
    const PlotData& many = *model.Plot();
    chart->zoomIn(QRectF(inside.center() - QPointF(20, 20), QSizeF(40, 40)));
    EXPECT_LT(x->max() - x->min(), (many.X.Max - many.X.Min) / 2);
    EXPECT_GE(x->min(), many.X.Min);
    QStringList ticks;
    for (const AxisTick& tick : AxisTicks(ZoomedRange(many.X, x->min(), x->max())))
        ticks << QString::fromStdString(tick.Label);
    EXPECT_EQ(x->categoriesLabels(), ticks) << "round ticks";
    const QImage zoomed = plot->Picture();
    EXPECT_GT(lineColoured(zoomed, inside), inside.width());
    EXPECT_EQ(lineColoured(zoomed, QRect(0, 0, inside.left() - 2, zoomed.height())), 0);
    for (int i = 0; i < 5; ++i) chart->zoomOut();
    EXPECT_EQ((std::pair{x->min(), x->max()}), (std::pair{many.X.Min, many.X.Max}));
    plot->ResetZoom();

    // Plot again brings the same window back; closing the main window closes it.
    plot->hide();
    model.Form_Unload();
    Click("cmdPlot");
    EXPECT_EQ(m_window->Plot(), plot);
    EXPECT_TRUE(plot->isVisible());
    m_window->close();
    EXPECT_FALSE(plot->isVisible());
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

// The save dialog opens on the type it is given, and a name typed after the user has
// chosen another type comes back with that type's extension and its place in the list.
// The dialogs' filters become Qt's, "*.*" as "*".
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
    QTimer user, giveUp;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        user.stop();
        openedOn = dialog->selectedNameFilter();
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        types->setCurrentIndex(1);  // as the user picks it: the list then says so
        emit types->activated(1);
        emit types->textActivated(types->currentText());
        // Typed: selectFile leaves the name box be while it has the focus.
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("book");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    user.start(20);
    // A dialog that does not end fails the test rather than hang it.
    giveUp.callOnTimeout([] { QApplication::activeModalWidget()->close(); });
    giveUp.start(10000);
    FileDialogChoice choice;
    ASSERT_TRUE(dialogs.ShowSave(setup, choice));
    EXPECT_EQ(openedOn, "CSV File (*.csv)");
    EXPECT_EQ(choice.FilterIndex, 2);
    EXPECT_EQ(choice.FileName, (dir.Path() / "book.xlsx").string());
    EXPECT_EQ(choice.FileTitle, "book.xlsx");
    EXPECT_EQ(
        NameFilters("Vorax Output Files (*.out)|*.out|Compressed Vorax Output Files (*.out.gz "
                    "*.out.zst *.out.xz)|*.out.gz;*.out.zst;*.out.xz|All Files (*.*)|*.*"),
        (QStringList{"Vorax Output Files (*.out)",
                     "Compressed Vorax Output Files (*.out.gz *.out.zst *.out.xz)",
                     "All Files (*)"}));
}

}  // namespace
}  // namespace vx::desktop

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
