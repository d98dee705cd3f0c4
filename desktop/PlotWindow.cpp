#include "desktop/PlotWindow.h"

#include <QAreaSeries>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QSvgGenerator>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include "common/Paths.h"
#include "desktop/PlotCanvas.h"
#include "desktop/QtServices.h"
#include "window/FormLayout.h"

namespace vx::desktop {

namespace {

constexpr std::string_view kPictureFilter = "PNG Picture (*.png)|*.png|SVG Picture (*.svg)|*.svg";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

void SetRange(QValueAxis* axis, const AxisRange& range) {
    axis->setRange(range.Min, range.Max);
    axis->setTickCount(range.TickCount);
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
    m_x = new QValueAxis;
    m_y = new QValueAxis;
    for (QValueAxis* axis : {m_x, m_y}) axis->setLabelFormat("%g");
    chart->addAxis(m_x, Qt::AlignBottom);
    chart->addAxis(m_y, Qt::AlignLeft);
    m_canvas = new PlotCanvas(chart);

    m_everyLine = new QCheckBox(Q(m_model.chkEveryLine.Text()), this);
    m_everyLine->setObjectName(Q(m_model.chkEveryLine.Name()));
    m_point = new QLabel(this);
    m_point->setObjectName("lblPoint");
    m_resetZoom = new QPushButton(tr("Reset &Zoom"), this);
    m_resetZoom->setObjectName("cmdResetZoom");
    m_copy = new QPushButton(tr("&Copy"), this);
    m_copy->setObjectName("cmdCopy");
    m_savePicture = new QPushButton(tr("Save &Picture..."), this);
    m_savePicture->setObjectName("cmdSavePicture");
    auto* close = new QPushButton(tr("Cl&ose"), this);
    close->setObjectName("cmdClose");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_everyLine);
    buttons->addWidget(m_point, 1);
    for (QPushButton* b : {m_resetZoom, m_copy, m_savePicture, close}) buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_state);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);

    connect(m_everyLine, &QCheckBox::toggled, this,
            [this](bool checked) { m_model.chkEveryLine_Click(checked); });
    connect(m_canvas, &PlotCanvas::Hovered, this, [this](const QString& text, QPointF at) {
        m_point->setText(text);
        if (text.isEmpty()) {
            QToolTip::hideText();
            return;
        }
        // Beside the point itself, clear of the pointer.
        const QPoint pixel = m_view->mapFromScene(at) + QPoint(12, -28);
        QToolTip::showText(m_view->viewport()->mapToGlobal(pixel), text, m_view);
    });
    connect(m_resetZoom, &QPushButton::clicked, this, &PlotWindow::ResetZoom);
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
    for (QAbstractSeries* entry : legend) {
        chart->addSeries(entry);
        entry->attachAxis(m_x);
        entry->attachAxis(m_y);
    }
    chart->legend()->setVisible(!legend.empty());
    // After the series: attaching one may move the axes.
    SetRange(m_x, plot.X);
    SetRange(m_y, plot.Y);
    m_canvas->SetPlot(m_shown, m_shownEveryLine);
}

void PlotWindow::ResetZoom() {
    if (!m_shown) return;
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

bool PlotWindow::WritePicture(const QString& path, QString& reason) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (path.endsWith(".svg", Qt::CaseInsensitive)) {
            QChart* chart = m_view->chart();
            const QRectF source = chart->sceneBoundingRect();
            QSvgGenerator svg;
            svg.setOutputDevice(&buffer);
            svg.setSize(source.size().toSize());
            svg.setViewBox(QRectF(QPointF(0, 0), source.size()));
            svg.setTitle(chart->title());
            QPainter painter(&svg);
            chart->scene()->render(&painter, QRectF(QPointF(0, 0), source.size()), source);
        } else if (!Picture().save(&buffer, "PNG")) {
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
    setup.InitDir = QFileInfo(listing).absolutePath().toStdString() + "/";
    setup.FileName = QFileInfo(listing).completeBaseName().toStdString() + " " + m_shown->YTitle;
    setup.Filter = std::string(kPictureFilter);
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
    } else if (!WritePicture(path, reason)) {
        m_boxes->Show("The picture could not be saved to " + choice.FileName + ": " +
                          reason.toStdString() + ".",
                      MsgButtons::Ok, MsgIcon::Exclamation, AppTitle, true);
    }
}

void PlotWindow::CopyPicture() {
    if (m_shown) QGuiApplication::clipboard()->setImage(Picture());
}

void PlotWindow::closeEvent(QCloseEvent* event) {
    m_model.Form_Unload();
    event->accept();
}

}  // namespace vx::desktop
