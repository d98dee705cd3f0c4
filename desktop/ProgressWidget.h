#pragma once

#include <QImage>
#include <QWidget>

#include "window/Progress.h"

namespace vx::desktop {

// The progress bar of the status bar: paints the window's last progress picture.
// Drawing goes through an image, where the not-xor raster operation is available.
class ProgressWidget : public QWidget {
    Q_OBJECT
public:
    explicit ProgressWidget(QWidget* parent = nullptr);

    void Show(const ProgressPicture& picture);
    // The picture as it is painted, at the widget's size.
    QImage Render() const;

    // Fore colour: the highlight colour; back colour: the button face.
    QColor ForeColour() const;
    QColor BackColour() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ProgressPicture m_picture;
};

}  // namespace vx::desktop
