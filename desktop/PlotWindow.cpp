#include "desktop/PlotWindow.h"

#include <QAction>
#include <QAreaSeries>
#include <QBuffer>
#include <QCategoryAxis>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

#include "common/Paths.h"
#include "desktop/PlotCanvas.h"
#include "desktop/QtServices.h"
#include "reader/TextRoutines.h"
#include "window/FormLayout.h"

namespace vx::desktop {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

PlotWindow::PlotWindow(FrmPlot& model, std::function<std::string()> listingPath,
                       FileDialogs* dialogs, MessageBoxes* boxes)
    : QWidget(nullptr, Qt::Window), m_model(model), m_listingPath(std::move(listingPath)) {
    setObjectName("frmPlot");
    if (!dialogs) {
        m_ownDialogs = std::make_unique<QtFileDialogs>(this);
        dialogs = m_ownDialogs.get();
    }
    if (!boxes) {
        m_ownBoxes = std::make_unique<QtMessageBoxes>(this);
        boxes = m_ownBoxes.get();
    }
    m_dialogs = dialogs;
    m_boxes = boxes;

    m_state = new QLabel(this);
    m_state->setObjectName("lblState");
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    m_view = new QChartView(chart, this);
    m_view->setObjectName("chart");
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setRubberBand(QChartView::RectangleRubberBand);
    // One pair of axes for the window's life: Qt Charts leaves the labels of a removed
    // axis on the chart until it is laid out again.
    m_x = new QCategoryAxis;
    m_y = new QCategoryAxis;
    for (QCategoryAxis* axis : {m_x, m_y})
        axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart->addAxis(m_x, Qt::AlignBottom);
    chart->addAxis(m_y, Qt::AlignLeft);
    m_canvas = new PlotCanvas(chart);

    m_everyLine = new QCheckBox(Q(m_model.chkEveryLine.Text()), this);
    m_everyLine->setObjectName(Q(m_model.chkEveryLine.Name()));
    m_point = new QLabel(this);
    m_point->setObjectName("lblPoint");
    // The readout takes the room the row has; a longer one is cut, never the window widened.
    m_point->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_resetZoom = new QPushButton(tr("Reset &Zoom"), this);
    m_resetZoom->setObjectName("cmdResetZoom");
    m_copy = new QPushButton(tr("&Copy"), this);
    m_copy->setObjectName("cmdCopy");
    m_savePicture = new QPushButton(tr("Save &Picture..."), this);
    m_savePicture->setObjectName("cmdSavePicture");
    auto* close = new QPushButton(tr("Cl&ose"), this);
    close->setObjectName("cmdClose");

    // The peaks of what is drawn, under the chart: the group's first, then each line's.
    // Ctrl+C copies them as tab-separated text, the menu of the right button saves them.
    m_peaks = new QTableWidget(0, 5, this);
    m_peaks->setObjectName("tblPeaks");
    m_peaks->setHorizontalHeaderLabels(
        {tr("Item"), tr("Max"), tr("Time of max"), tr("Min"), tr("Time of min")});
    m_peaks->verticalHeader()->hide();
    m_peaks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_peaks->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    auto* copyTable = new QAction(tr("&Copy Table"), m_peaks);
    copyTable->setShortcut(QKeySequence::Copy);
    copyTable->setShortcutContext(Qt::WindowShortcut);
    auto* saveTable = new QAction(tr("&Save Table as CSV..."), m_peaks);
    m_peaks->addActions({copyTable, saveTable});
    m_peaks->setContextMenuPolicy(Qt::ActionsContextMenu);
    addAction(copyTable);
    connect(copyTable, &QAction::triggered, this, &PlotWindow::CopyTable);
    connect(saveTable, &QAction::triggered, this, &PlotWindow::SaveTable);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_view);
    split->addWidget(m_peaks);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_everyLine);
    buttons->addWidget(m_point, 1);
    for (QPushButton* b : {m_resetZoom, m_copy, m_savePicture, close}) buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_state);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    connect(m_everyLine, &QCheckBox::toggled, this,
            [this](bool checked) { m_model.chkEveryLine_Click(checked); });
    connect(m_canvas, &PlotCanvas::Hovered, this, [this](const QString& text, QPointF at) {
        m_point->setText(m_point->fontMetrics().elidedText(text, Qt::ElideRight, m_point->width()));
        if (text.isEmpty()) {
            QToolTip::hideText();
            return;
        }
        // Beside the point itself, clear of the pointer.
        const QPoint pixel = m_view->mapFromScene(at) + QPoint(12, -28);
        QToolTip::showText(m_view->viewport()->mapToGlobal(pixel), text, m_view);
    });
    // Whatever moves an axis (the rubber band, zooming out with the right button), it
    // ends on round numbers inside the plot's own range.
    connect(m_x, &QValueAxis::rangeChanged, this,
            [this](qreal min, qreal max) { KeepRange(m_x, min, max); });
    connect(m_y, &QValueAxis::rangeChanged, this,
            [this](qreal min, qreal max) { KeepRange(m_y, min, max); });
    connect(m_resetZoom, &QPushButton::clicked, this, &PlotWindow::ResetZoom);
    // Panning: a drag with the middle button, or the arrow keys; the wheel zooms.
    m_view->viewport()->installEventFilter(this);
    m_view->installEventFilter(this);
    connect(m_copy, &QPushButton::clicked, this, &PlotWindow::CopyPicture);
    connect(m_savePicture, &QPushButton::clicked, this, &PlotWindow::SavePicture);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    // The main window's size, in proportion to the font as it is.
    const double perTwip = fontMetrics().height() / 195.0;
    resize(static_cast<int>(kFormWidth * perTwip), static_cast<int>(kFormHeight * perTwip));
    Refresh();
}

PlotWindow::~PlotWindow() = default;

void PlotWindow::Refresh() {
    setWindowTitle(Q(m_model.Caption));
    m_state->setText(Q(m_model.lblState.Text()));
    {
        QSignalBlocker block(m_everyLine);
        m_everyLine->setChecked(m_model.chkEveryLine.Value);
        m_everyLine->setEnabled(m_model.chkEveryLine.Enabled());
        m_everyLine->setVisible(m_model.chkEveryLine.Visible());
    }
    if (m_model.Plot() != m_shown || m_model.EveryLine() != m_shownEveryLine) DrawChart();
    // An older plot stays in sight while a newer one is read, faded.
    const bool reading = m_model.GetState() == FrmPlot::State::Reading;
    m_view->chart()->setOpacity(reading ? 0.35 : 1.0);
    for (QPushButton* b : {m_resetZoom, m_copy, m_savePicture}) b->setEnabled(m_shown != nullptr);
}

void PlotWindow::DrawChart() {
    QChart* chart = m_view->chart();
    chart->removeAllSeries();
    m_shown = m_model.Plot();
    m_shownEveryLine = m_model.EveryLine();
    ++m_drawn;
    m_point->clear();
    QToolTip::hideText();
    m_x->setVisible(m_shown != nullptr);
    m_y->setVisible(m_shown != nullptr);
    ShowPeaks();
    if (!m_shown) {
        chart->setTitle(QString());
        chart->legend()->hide();
        m_canvas->SetPlot(nullptr, true);
        return;
    }
    const PlotData& plot = *m_shown;
    chart->setTitle(Q(plot.Title));
    m_x->setTitleText(Q(plot.XTitle));
    m_y->setTitleText(Q(plot.YTitle));

    // The lines are the canvas's; the chart's series are empty and stand in the legend.
    std::vector<QAbstractSeries*> legend;
    if (m_shownEveryLine && !plot.ManyItems) {
        for (std::size_t i = 0; i < plot.Lines.size(); ++i) {
            auto* entry = new QLineSeries;
            entry->setName(Q(plot.Lines[i].Label));
            entry->setPen(QPen(PlotCanvas::LineColour(i), PlotCanvas::LineWidth(plot),
                               PlotCanvas::LineStyle(i)));
            legend.push_back(entry);
        }
    } else if (!m_shownEveryLine) {
        auto* band = new QAreaSeries(new QLineSeries);
        band->upperSeries()->setParent(band);
        band->setName(Q(plot.BandLabel));
        band->setBrush(PlotCanvas::BandColour());
        band->setPen(QPen(PlotCanvas::BandColour().darker(150)));
        auto* mean = new QLineSeries;
        mean->setName(Q(plot.Mean.Label));
        mean->setPen(QPen(PlotCanvas::MeanColour(), PlotCanvas::LineWidth(plot)));
        legend = {band, mean};
    }
    // The chart zooms the axes of its series: one that draws nothing and stands in no
    // legend keeps zooming when every line of many items is drawn, which have none.
    auto* anchor = new QLineSeries;
    anchor->setPen(Qt::NoPen);
    for (QAbstractSeries* entry : legend) chart->addSeries(entry);
    chart->addSeries(anchor);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(m_x);
        series->attachAxis(m_y);
    }
    for (QLegendMarker* marker : chart->legend()->markers(anchor)) marker->setVisible(false);
    const LegendSide side = LegendPlace(plot, m_shownEveryLine);
    chart->legend()->setAlignment(side == LegendSide::Right ? Qt::AlignRight : Qt::AlignBottom);
    chart->legend()->setVisible(side != LegendSide::None);
    // After the series: attaching one may move the axes.
    SetRange(m_x, plot.X);
    SetRange(m_y, plot.Y);
    m_canvas->SetPlot(m_shown, m_shownEveryLine);
}

void PlotWindow::SetRange(QCategoryAxis* axis, const AxisRange& range) {
    const bool ranging = m_ranging;
    m_ranging = true;
    // Ticks at the multiples of the step, wherever the ends fall, labelled by the model:
    // an axis of categories ending at each tick, each label on its value.
    for (const QString& label : axis->categoriesLabels()) axis->remove(label);
    axis->setStartValue(range.Min - range.Step);
    for (const AxisTick& tick : AxisTicks(range)) axis->append(Q(tick.Label), tick.Value);
    axis->setRange(range.Min, range.Max);
    (axis == m_x ? m_xShown : m_yShown) = range;
    m_ranging = ranging;
}

void PlotWindow::KeepRange(QCategoryAxis* axis, double min, double max) {
    if (m_ranging || !m_shown) return;
    const AxisRange kept = ZoomedRange(axis == m_x ? m_shown->X : m_shown->Y, min, max);
    if (kept != (axis == m_x ? m_xShown : m_yShown) || kept.Min != min || kept.Max != max)
        SetRange(axis, kept);
}

void PlotWindow::ShowPeaks() {
    m_shownPeaks = m_shown ? PlotPeaks(*m_shown) : std::vector<PlotPeak>{};
    m_peaks->setRowCount(static_cast<int>(m_shownPeaks.size()));
    auto number = [](double value) { return Q(TimeText(static_cast<float>(value))); };
    for (int r = 0; r < static_cast<int>(m_shownPeaks.size()); ++r) {
        const PlotPeak& p = m_shownPeaks[static_cast<std::size_t>(r)];
        // The group's peaks name the line they stand on.
        const QString maxLine = p.MaxLine.empty() ? QString() : "  (" + Q(p.MaxLine) + ")";
        const QString minLine = p.MinLine.empty() ? QString() : "  (" + Q(p.MinLine) + ")";
        const QString cells[5] = {Q(p.Label), number(p.Max) + maxLine, number(p.MaxTime),
                                  number(p.Min) + minLine, number(p.MinTime)};
        for (int c = 0; c < 5; ++c) m_peaks->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
}

QString PlotWindow::PeaksTableText(char separator) const {
    return Q(PeaksText(m_shownPeaks, separator));
}

void PlotWindow::CopyTable() {
    if (!m_shownPeaks.empty()) QGuiApplication::clipboard()->setText(PeaksTableText('\t'));
}

void PlotWindow::SaveTable() {
    if (m_shownPeaks.empty()) return;
    const QString listing = Q(m_listingPath());
    FileDialogSetup setup;
    setup.InitDir = m_model.PictureDir.empty()
                        ? QFileInfo(listing).absolutePath().toStdString() + "/"
                        : m_model.PictureDir;
    setup.FileName =
        QFileInfo(listing).completeBaseName().toStdString() + " " + m_shown->Subject + " peaks";
    setup.Filter = "CSV File (*.csv)|*.csv";
    setup.OverwritePrompt = true;
    FileDialogChoice choice;
    if (!m_dialogs->ShowSave(setup, choice)) return;
    if (IsSameFile(choice.FileName, m_listingPath())) {
        m_boxes->Show(
            choice.FileName + " is the listing that is open. Choose another file for the table.",
            MsgButtons::Ok, MsgIcon::Exclamation, AppTitle, true);
        return;
    }
    const QByteArray bytes = PeaksTableText(',').toUtf8();
    QSaveFile file(Q(choice.FileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_boxes->Show("The table could not be saved to " + choice.FileName + ": " +
                          file.errorString().toStdString() + ".",
                      MsgButtons::Ok, MsgIcon::Exclamation, AppTitle, true);
        return;
    }
    m_model.PictureDir = QFileInfo(Q(choice.FileName)).absolutePath().toStdString() + "/";
}

void PlotWindow::ResetZoom() {
    if (!m_shown) return;
    m_view->chart()->zoomReset();
    SetRange(m_x, m_shown->X);
    SetRange(m_y, m_shown->Y);
}

QImage PlotWindow::Picture(QSize size) {
    QChart* chart = m_view->chart();
    const QRectF source = chart->sceneBoundingRect();
    if (size.isEmpty()) size = source.size().toSize();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    chart->scene()->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), source);
    return image;
}

QImage PlotWindow::Picture(int width) {
    const QSizeF chart = m_view->chart()->sceneBoundingRect().size();
    if (width <= 0 || chart.width() <= 0) return Picture();
    return Picture(
        QSize(width, static_cast<int>(std::lround(width * chart.height() / chart.width()))));
}

bool PlotWindow::WritePicture(const QString& path, QString& reason, int filterIndex) {
    const PictureType type = ChosenPicture(path.toStdString(), filterIndex);
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (type.Svg) {
            QChart* chart = m_view->chart();
            const QRectF source = chart->sceneBoundingRect();
            QSvgGenerator svg;
            svg.setOutputDevice(&buffer);
            svg.setSize(source.size().toSize());
            svg.setViewBox(QRectF(QPointF(0, 0), source.size()));
            svg.setTitle(chart->title());
            QPainter painter(&svg);
            chart->scene()->render(&painter, QRectF(QPointF(0, 0), source.size()), source);
        } else if (!Picture(type.Width).save(&buffer, "PNG")) {
            reason = tr("the picture could not be made");
            return false;
        }
    }
    // Written beside the file and put in its place when complete: a full disk or a
    // failure halfway leaves no half-written picture and an earlier file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        reason = file.errorString();
        return false;
    }
    return true;
}

void PlotWindow::SavePicture() {
    if (!m_shown) return;
    const QString listing = Q(m_listingPath());
    FileDialogSetup setup;
    // Where the last picture went, else beside the listing.
    setup.InitDir = m_model.PictureDir.empty()
                        ? QFileInfo(listing).absolutePath().toStdString() + "/"
                        : m_model.PictureDir;
    setup.FileName = QFileInfo(listing).completeBaseName().toStdString() + " " + m_shown->Subject;
    setup.Filter = PictureFilter();
    setup.FilterIndex = 1;
    setup.OverwritePrompt = true;
    FileDialogChoice choice;
    if (!m_dialogs->ShowSave(setup, choice)) return;
    const QString path = Q(choice.FileName);
    QString reason;
    if (IsSameFile(choice.FileName, m_listingPath())) {
        m_boxes->Show(
            choice.FileName + " is the listing that is open. Choose another file for the picture.",
            MsgButtons::Ok, MsgIcon::Exclamation, AppTitle, true);
    } else if (!WritePicture(path, reason, choice.FilterIndex)) {
        m_boxes->Show("The picture could not be saved to " + choice.FileName + ": " +
                          reason.toStdString() + ".",
                      MsgButtons::Ok, MsgIcon::Exclamation, AppTitle, true);
    } else {
        m_model.PictureDir = QFileInfo(path).absolutePath().toStdString() + "/";
    }
}

void PlotWindow::CopyPicture() {
    if (m_shown) QGuiApplication::clipboard()->setImage(Picture());
}

bool PlotWindow::eventFilter(QObject* watched, QEvent* event) {
    QChart* chart = m_view->chart();
    if (!m_shown) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::MiddleButton) break;
            m_panFrom = mouse->position();
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!m_panFrom || !(mouse->buttons() & Qt::MiddleButton)) break;
            const QPointF moved = mouse->position() - *m_panFrom;
            m_panFrom = mouse->position();
            chart->scroll(-moved.x(), moved.y());
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::MiddleButton) break;
            m_panFrom.reset();
            return true;
        case QEvent::Wheel: {
            const int steps = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
            if (steps != 0) chart->zoom(std::pow(1.25, steps));
            return true;
        }
        case QEvent::KeyPress: {
            const QRectF area = chart->plotArea();
            const auto key = static_cast<QKeyEvent*>(event)->key();
            const double dx = area.width() / 10, dy = area.height() / 10;
            if (key == Qt::Key_Left)
                chart->scroll(-dx, 0);
            else if (key == Qt::Key_Right)
                chart->scroll(dx, 0);
            else if (key == Qt::Key_Up)
                chart->scroll(0, dy);
            else if (key == Qt::Key_Down)
                chart->scroll(0, -dy);
            else
                break;
            return true;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void PlotWindow::closeEvent(QCloseEvent* event) {
    m_model.Form_Unload();
    event->accept();
}

}  // namespace vx::desktop
