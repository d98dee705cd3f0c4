#include "desktop/TimeListWidget.h"

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>

namespace vx::desktop {

namespace {

int Effects(Qt::DropActions actions) {
    return (actions & Qt::CopyAction ? 1 : 0) | (actions & Qt::MoveAction ? 2 : 0);
}

}  // namespace

TimeListWidget::TimeListWidget(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
}

void TimeListWidget::mousePressEvent(QMouseEvent* event) {
    // The right button opens the pop-up menu on release; it leaves the selection be.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
}

void TimeListWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) QListWidget::mouseReleaseEvent(event);
    if (OnMouseUp) OnMouseUp(event->button());
}

void TimeListWidget::startDrag(Qt::DropActions) {
    if (!DragPayload) return;
    std::string payload = DragPayload();
    if (payload.empty()) return;
    auto* mime = new QMimeData;
    mime->setText(QString::fromStdString(payload));
    QDrag drag(this);
    drag.setMimeData(mime);
    drag.exec(Qt::CopyAction, Qt::CopyAction);
}

bool TimeListWidget::Allow(QDropEvent* event) {
    int effect = OnDragOver
                     ? OnDragOver(event->mimeData()->hasText(), Effects(event->possibleActions()))
                     : 0;
    if (effect & 1) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return true;
    }
    event->ignore();
    return false;
}

void TimeListWidget::dragEnterEvent(QDragEnterEvent* event) {
    Allow(event);
}

void TimeListWidget::dragMoveEvent(QDragMoveEvent* event) {
    Allow(event);
}

void TimeListWidget::dropEvent(QDropEvent* event) {
    if (!Allow(event)) return;
    std::optional<std::string> text;
    if (event->mimeData()->hasText()) text = event->mimeData()->text().toStdString();
    if (OnDrop) OnDrop(text);
}

}  // namespace vx::desktop
