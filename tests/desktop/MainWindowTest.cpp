// The Qt window over the window model: real widgets, real events, the desktop's
// dialogs and boxes replaced through the model's interfaces. Runs on Qt's offscreen
// platform.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "desktop/MainWindow.h"
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
    QPoint ItemCentre(QListWidget* list, int row) { return list->visualItemRect(list->item(row)).center(); }
    void Drop(QListWidget* target, QMimeData* data) {
        QPoint at = target->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target->viewport(), &enter);
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target->viewport(), &drop);
    }
    std::vector<std::string> Texts(QListWidget* list) {
        std::vector<std::string> texts;
        for (int i = 0; i < list->count(); ++i) texts.push_back(list->item(i)->text().toStdString());
        return texts;
    }

    test::FakePlatform m_fake;
    std::unique_ptr<MainWindow> m_window;
    test::TempDir m_dir;
};

std::string Example(const char* name) { return (test::SourceDir() / "examples" / name).string(); }

TEST_F(DesktopTest, TheWindowShowsTheControlsWithTheirCaptionsAndStates) {
    EXPECT_EQ(m_window->windowTitle(), "VoraxExtract");
    EXPECT_EQ(W<QPushButton>("cmdSave")->text(), "&Save");
    EXPECT_FALSE(W("cmdSave")->isEnabled());
    EXPECT_TRUE(W("cmdFile")->isEnabled());
    EXPECT_EQ(W<QLineEdit>("txtVectors", 2)->text(), "1");
    EXPECT_TRUE(W<QRadioButton>("optTime", 0)->isChecked());
    EXPECT_FALSE(m_window->Progress()->isVisible());
    // Labels lend their access keys to the control after them.
    EXPECT_EQ(W<QLabel>("lblVectors", 1)->buddy(), W("txtVectors", 1));
    // Laid out in proportion: Save stands right of the Selected list, Close under Save.
    EXPECT_GT(W("cmdSave")->x(), W("lstSelected")->geometry().right());
    EXPECT_GT(W("cmdClose")->y(), W("cmdSave")->geometry().bottom());
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

    // Text dropped on Selected: our own payload and foreign text.
    auto* mine = new QMimeData;
    mine->setText("0 2 ");
    Drop(Selected(), mine);
    auto* foreign = new QMimeData;
    foreign->setText("hello 5x 1.0 5");
    Drop(Selected(), foreign);
    auto* noText = new QMimeData;
    noText->setData("application/octet-stream", "3 ");
    Drop(Selected(), noText);
    EXPECT_EQ(Texts(Selected()), (std::vector<std::string>{"60", "180", "300", "360"}));
    delete mine;
    delete foreign;
    delete noText;

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

    fs::path sheet = m_dir.Path() / "trusses.xls";
    m_fake.SaveAnswers.push_back(sheet.string());
    Click("cmdSave");
    ASSERT_TRUE(fs::exists(sheet));
    EXPECT_TRUE(W("cmdSave")->isEnabled());
    EXPECT_FALSE(m_window->Progress()->isVisible());
    EXPECT_EQ(m_fake.Pointers.back(), kDefaultPointer);
    // The sheet the command-line tool writes for the same request.
    fs::path cliSheet = m_dir.Path() / "cli.xls";
    auto run = test::RunCli({"export", Example("dynamic3d.out"), "-o", cliSheet.string(), "--variable",
                             "Truss Axial Force", "--from", "1", "--to", "3", "--steps", "1,3,5,6", "--columns",
                             "--quiet"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(test::ReadBytes(sheet), test::ReadBytes(cliSheet));

    // And LibreOffice opens it with those values.
    if (!test::HaveXlsDump() || !test::HaveLibreOffice()) GTEST_SKIP() << "xls-dump or LibreOffice missing";
    std::vector<test::Cell> cells;
    std::string csv, error;
    ASSERT_TRUE(test::DumpCells(sheet, cells, error)) << error;
    ASSERT_TRUE(test::LibreOfficeCsv(sheet, csv, error)) << error;
    EXPECT_NE(csv.find("Truss Axial Force"), std::string::npos) << csv;
    int numbers = 0;
    for (const auto& cell : cells) {
        if (cell.Type != "number") continue;
        ++numbers;
        std::string value = cell.Value;  // 60.0 as the strict reader prints it, 60 in the CSV
        if (value.size() > 2 && value.compare(value.size() - 2, 2, ".0") == 0) value.resize(value.size() - 2);
        EXPECT_NE(csv.find(value), std::string::npos) << value << " not in\n" << csv;
    }
    EXPECT_EQ(numbers, 4 + 3 * 4) << "four times and three trusses at each";
}

TEST_F(DesktopTest, KeysMenusAndFocusGoThroughTheModelsRules) {
    Open(Example("thermal.out"));
    ASSERT_EQ(Available()->count(), 5);

    // Ctrl+A in any control highlights every Available time, and a drop copies them all.
    W("txtVectors", 0)->setFocus();
    QTest::keyClick(W("txtVectors", 0), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Available()->selectedItems().size(), 5);
    EXPECT_TRUE(m_window->Form().AllTimesSelected);
    auto* any = new QMimeData;
    any->setText("4 ");
    Drop(Selected(), any);
    delete any;
    EXPECT_EQ(Selected()->count(), 5);

    // The pop-up menu on Selected: Clear.
    m_window->ChoosePopupItem = [](QMenu& menu) {
        EXPECT_TRUE(menu.findChild<QAction*>("mnuListClear")->isEnabled());
        EXPECT_FALSE(menu.findChild<QAction*>("mnuListAdd")->isEnabled());
        return menu.findChild<QAction*>("mnuListClear");
    };
    QTest::mouseClick(Selected()->viewport(), Qt::RightButton, {}, ItemCentre(Selected(), 1));
    EXPECT_EQ(Selected()->count(), 0);
    EXPECT_FALSE(W("cmdClear")->isEnabled());

    // The pop-up menu on Available adds what is highlighted; the right button leaves
    // the highlighting as it was.
    Available()->clearSelection();
    QTest::mouseClick(Available()->viewport(), Qt::LeftButton, Qt::ControlModifier, ItemCentre(Available(), 1));
    QTest::mouseClick(Available()->viewport(), Qt::LeftButton, Qt::ControlModifier, ItemCentre(Available(), 3));
    m_window->ChoosePopupItem = [](QMenu& menu) { return menu.findChild<QAction*>("mnuListAdd"); };
    QTest::mouseClick(Available()->viewport(), Qt::RightButton, {}, ItemCentre(Available(), 0));
    EXPECT_EQ(Available()->selectedItems().size(), 2);
    EXPECT_EQ(Selected()->count(), 2);
    EXPECT_EQ(m_window->Form().lstHidden.Items(), (std::vector<std::string>{"2", "4"}));

    // Tab into a range box selects its text.
    QLineEdit* from = W<QLineEdit>("txtVectors", 0);
    QLineEdit* to = W<QLineEdit>("txtVectors", 1);
    to->setText("12");
    emit to->textEdited("12");
    from->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(from, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), to);
    EXPECT_EQ(to->selectedText(), "12");

    // F1 anywhere is help.
    Selected()->setFocus();
    QTest::keyClick(Selected(), Qt::Key_F1);
    ASSERT_FALSE(m_fake.HelpCalls.empty());
    EXPECT_EQ(m_fake.HelpCalls.back(),
              "show " + QApplication::applicationDirPath().toStdString() + "/VoraxExtract.chm");
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
        int shown = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            shown += w->isVisible() && w->windowTitle() == "VoraxExtract Help" ? 1 : 0;
        return shown;
    };
    EXPECT_TRUE(fake.Boxes.empty()) << fake.Boxes.front().Prompt;
    EXPECT_EQ(helpWindows(), 1);
    window.close();
    QApplication::processEvents();
    EXPECT_EQ(helpWindows(), 0);
}

TEST_F(DesktopTest, ClosingDuringAnExportAsksThenStopsAndCloses) {
    auto spec = test::ThermalSpec(6, 60);
    Open(test::Generate(spec, m_dir.Path() / "long.out"));
    QTest::keyClick(Available(), Qt::Key_A, Qt::ControlModifier);
    m_window->ChoosePopupItem = [](QMenu& menu) { return menu.findChild<QAction*>("mnuListAdd"); };
    QTest::mouseClick(Available()->viewport(), Qt::RightButton, {}, ItemCentre(Available(), 0));
    ASSERT_EQ(Selected()->count(), 60);
    W<QLineEdit>("txtVectors", 1)->setText("6");
    emit W<QLineEdit>("txtVectors", 1)->textEdited("6");
    ASSERT_TRUE(W("cmdSave")->isEnabled());

    // The close request arrives while the export reports its progress.
    bool asked = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (m_window->Form().SaveRunning && !asked) {
            asked = true;
            m_window->close();
            EXPECT_TRUE(m_window->isVisible()) << "the window waits for the export to stop";
        }
    });
    closer.start(0);
    m_fake.BoxAnswer = MsgAnswer::Yes;
    fs::path sheet = m_dir.Path() / "stopped.xls";
    m_fake.SaveAnswers.push_back(sheet.string());
    Click("cmdSave");
    closer.stop();
    EXPECT_TRUE(asked);
    ASSERT_EQ(m_fake.Boxes.size(), 1u);
    EXPECT_EQ(m_fake.Boxes[0].Prompt, "Save is in progress. Do you want to exit and abbort current process?");
    EXPECT_FALSE(fs::exists(sheet));
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(m_fake.Settings.count("VoraxExtract/Files/InitSaveDir"), 1u);
}

// The progress bar as painted: the figure stays readable as the bar passes under it.
TEST(ProgressPainting, DigitsUnderTheBarDifferFromTheBar) {
    ProgressWidget widget;
    widget.resize(200, 16);
    QFontMetrics metrics(widget.font());
    auto layout = [&](float fraction) {
        QString text = QString::fromStdString(ProgressText(fraction));
        return LayoutProgress(fraction, {200, 16}, {double(metrics.horizontalAdvance(text)), double(metrics.height())});
    };
    const QRgb fore = widget.ForeColour().rgb() & 0xFFFFFF;
    const QRgb back = widget.BackColour().rgb() & 0xFFFFFF;
    const QRgb bar = ~(back ^ fore) & 0xFFFFFF;
    ASSERT_NE(bar, fore);

    // Half done: the bar is NOT(back XOR fore) on the left, back on the right, and the
    // figure (centred, straddling the edge) turns white under the bar (NOT(fore XOR
    // fore)) and keeps the fore colour beyond it.
    auto picture = layout(0.5f);
    widget.Show(picture);
    QImage image = widget.Render();
    EXPECT_EQ(image.pixel(2, 2) & 0xFFFFFF, bar);
    EXPECT_EQ(image.pixel(197, 2) & 0xFFFFFF, back);
    int whiteDigits = 0, foreDigits = 0;
    for (int y = picture.TextY; y < picture.TextY + picture.TextHeight; ++y)
        for (int x = picture.TextX; x < picture.TextX + picture.TextWidth; ++x) {
            QRgb p = image.pixel(x, y) & 0xFFFFFF;
            if (x < 100 && p == 0xFFFFFF) ++whiteDigits;
            if (x >= 100 && p == fore) ++foreDigits;
        }
    EXPECT_GT(whiteDigits, 0);
    EXPECT_GT(foreDigits, 0);

    // At nothing done the surface is white and the figure 1% is NOT(fore XOR back).
    picture = layout(0);
    EXPECT_EQ(picture.Text, "1%");
    widget.Show(picture);
    image = widget.Render();
    EXPECT_EQ(image.pixel(1, 1) & 0xFFFFFF, 0xFFFFFFu);
    bool figure = false;
    for (int x = picture.TextX; x < picture.TextX + picture.TextWidth; ++x)
        for (int y = picture.TextY; y < picture.TextY + picture.TextHeight; ++y)
            figure |= (image.pixel(x, y) & 0xFFFFFF) == (~(fore ^ back) & 0xFFFFFF);
    EXPECT_TRUE(figure);
}

TEST(DialogFilters, BecomeQtNameFilters) {
    EXPECT_EQ(NameFilters("Vorax Output Files (*.out)|*.out|All Files (*.*)|*.*"),
              (QStringList{"Vorax Output Files (*.out)", "All Files (*)"}));
    EXPECT_EQ(NameFilters("Excel File (*.xls)|*.xls|All Files (*.*)|*.*").front(), "Excel File (*.xls)");
}

}  // namespace
}  // namespace vx::desktop

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
