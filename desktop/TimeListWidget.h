#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QListWidget>

namespace vx::desktop {

// A time list: extended selection, the right button reported on release without
// touching the selection, and drag and drop carried as plain text, all decided by the
// window model through the callbacks.
class TimeListWidget : public QListWidget {
    Q_OBJECT
public:
    explicit TimeListWidget(QWidget* parent = nullptr);

    std::function<void(Qt::MouseButton)> OnMouseUp;
    // Drag source: the text payload of a drag of the highlighted items.
    std::function<std::string()> DragPayload;
    // Drop target: the drop effect allowed (0 none, 1 copy) and the drop itself.
    std::function<int(bool offersText, int requestedEffects)> OnDragOver;
    std::function<void(const std::optional<std::string>& text)> OnDrop;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool Allow(QDropEvent* event);
};

}  // namespace vx::desktop
