#include "desktop/ProgressWidget.h"

#include <QPainter>

namespace vx::desktop {

ProgressWidget::ProgressWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName("picProgress");
    // Plain pixels in two colours, so that the not-xor bar turns each of them into
    // exactly the other colour.
    QFont plain = font();
    plain.setStyleStrategy(QFont::NoAntialias);
    setFont(plain);
}

void ProgressWidget::Show(const ProgressPicture& picture) {
    // A picture that would paint the very same pixels as the one on screen is not
    // painted again: reports come far more often than the bar moves by a pixel.
    auto pixels = [](const ProgressPicture& p) { return static_cast<int>(p.BarWidth); };
    bool same = picture.Text == m_picture.Text && picture.BarFilled == m_picture.BarFilled &&
                pixels(picture) == pixels(m_picture) && picture.TextX == m_picture.TextX &&
                picture.TextY == m_picture.TextY &&
                picture.Surface.Width == m_picture.Surface.Width &&
                picture.Surface.Height == m_picture.Surface.Height;
    m_picture = picture;
    if (!same) repaint();  // at once: the caller goes on working before events run
}

QColor ProgressWidget::ForeColour() const {
    return palette().color(QPalette::Highlight);
}
QColor ProgressWidget::BackColour() const {
    return palette().color(QPalette::Button);
}

QImage ProgressWidget::Render() const {
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setFont(font());
    const QColor fore = ForeColour();
    const QColor back = BackColour();
    painter.fillRect(image.rect(), back);
    if (m_picture.Text.empty()) return image;  // nothing reported yet

    QRect textRect(m_picture.TextX, m_picture.TextY, m_picture.TextWidth, m_picture.TextHeight);
    painter.fillRect(textRect, back);
    painter.setPen(fore);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                     QString::fromStdString(m_picture.Text));

    // Not-xor: each pixel becomes NOT(old XOR colour), so the digits under the bar
    // differ from the bar and those beyond it keep their colours.
    painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    if (m_picture.BarFilled) {
        int width = static_cast<int>(std::min<double>(m_picture.BarWidth, image.width()) + 0.5);
        painter.fillRect(QRect(0, 0, width, image.height()), fore);
    } else {
        painter.fillRect(image.rect(), back);
    }
    return image;
}

void ProgressWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Render());
}

}  // namespace vx::desktop
