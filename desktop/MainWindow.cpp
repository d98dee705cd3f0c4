#include "desktop/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include "desktop/PlotWindow.h"
#include "desktop/ProgressWidget.h"
#include "desktop/QtServices.h"
#include "desktop/TimeListWidget.h"
#include "desktop/help/ChmHelp.h"
#include "window/FormLayout.h"

namespace vx::desktop {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Key codes and shift states as the window model knows them.
int KeyCode(const QKeyEvent& event) {
    int key = event.key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return kKeyF1 + (key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Shift:
            return 16;
        case Qt::Key_Control:
            return 17;
        case Qt::Key_Alt:
            return 18;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_PageDown:
            return 34;
        case Qt::Key_End:
            return 35;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        case Qt::Key_Insert:
            return 45;
        case Qt::Key_Delete:
            return 46;
        default:
            return 0;
    }
}

// The local path of each item of a drop of files; an empty text for one that is not a
// local file. Nothing for a drop that holds no files.
std::vector<std::string> DroppedFiles(const QMimeData* data) {
    std::vector<std::string> files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        files.push_back(url.isLocalFile() ? url.toLocalFile().toStdString() : std::string());
    return files;
}

int ShiftState(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) |
           (modifiers & Qt::ControlModifier ? kShiftCtrl : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

// The program's help: the help file shown in help windows of our own. A file that
// cannot be shown is reported in the window's message box.
class QtHelpViewer : public HelpViewer {
public:
    QtHelpViewer(QWidget* owner, std::function<void(const QString&)> report)
        : m_owner(owner), m_help(std::move(report)) {}
    void ShowHelp(const std::string& file) override {
        m_help.ShowHelp(m_owner, QString::fromStdString(file));
    }
    void CloseHelp(const std::string&) override { m_help.CloseHelp(); }

private:
    QWidget* m_owner;
    help::ChmHelp m_help;
};

}  // namespace

struct MainWindow::Owned {
    Owned(QWidget* owner, std::function<void(const QString&)> reportHelp)
        : Dialogs(owner), Boxes(owner), Help(owner, std::move(reportHelp)) {}
    QtFileDialogs Dialogs;
    QtMessageBoxes Boxes;
    QtSettingsStore Settings;
    QtPointer Pointer;
    QtHelpViewer Help;
};

MainWindow::MainWindow(DesktopServices services, QWidget* parent)
    : QWidget(parent), m_owned(std::make_unique<Owned>(this, [this](const QString& message) {
          m_form->CenteredMsgBox(message.toStdString(), MsgButtons::Ok, MsgIcon::Exclamation,
                                 AppTitle);
      })) {
    m_plotDialogs = services.Dialogs;
    m_plotBoxes = services.Boxes;
    if (!services.Dialogs) services.Dialogs = &m_owned->Dialogs;
    if (!services.Boxes) services.Boxes = &m_owned->Boxes;
    if (!services.Settings) services.Settings = &m_owned->Settings;
    if (!services.Pointer) services.Pointer = &m_owned->Pointer;
    if (!services.Help) services.Help = &m_owned->Help;
    m_platform = std::make_unique<Platform>(
        Platform{*services.Dialogs, *services.Boxes, *services.Settings, *services.Help,
                 *services.Pointer, *this, *this, *this, *this});
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, [this] {
        if (auto task = std::move(m_afterPause)) task();
    });
    m_form = std::make_unique<FrmExtract>(*m_platform);
    // The events of a file being written come by the hundred: one look for them all.
    m_growthSoon.setSingleShot(true);
    m_growthSoon.setInterval(250);
    connect(&m_growthSoon, &QTimer::timeout, this, [this] { ListingMayHaveChanged(); });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        if (!m_growthSoon.isActive()) m_growthSoon.start();
    });
    // Two seconds between looks where no event comes: a look is one stat of the file.
    m_growthPoll.setInterval(2000);
    connect(&m_growthPoll, &QTimer::timeout, this, [this] { ListingMayHaveChanged(); });
    m_growthPoll.start();

    BuildWidgets();
    Connect();
    m_form->Form_Load();
    qApp->installEventFilter(this);

    // The design size, in proportion to the font: a line of text is 195 twips high. The
    // window may grow, never shrink below it, so that no control is ever cut off.
    m_scale = fontMetrics().height() / 195.0;
    const QSize design(static_cast<int>(kFormWidth * m_scale + 0.5),
                       static_cast<int>(kFormHeight * m_scale + 0.5));
    resize(design);
    setMinimumSize(design);
    setAcceptDrops(true);
    Refresh();
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
}

QWidget* MainWindow::WidgetOf(std::string_view name, int index) {
    Control* control = m_form->FindControl(name, index);
    auto it = m_widgets.find(control);
    return it == m_widgets.end() ? nullptr : it->second;
}

void MainWindow::BuildWidgets() {
    setObjectName("frmExtract");
    std::map<std::string_view, QWidget*> containers;
    auto& f = *m_form;
    // Frames first, so that their controls can be put into them.
    for (const auto& l : FormLayout()) {
        if (l.Kind != ControlKind::Frame) continue;
        auto* box = new QGroupBox(this);
        containers[l.Name] = box;
        m_widgets[f.FindControl(l.Name, l.Index)] = box;
    }
    for (const auto& l : FormLayout()) {
        Control* control = f.FindControl(l.Name, l.Index);
        QWidget* parent =
            l.Container.empty() ? static_cast<QWidget*>(this) : containers[l.Container];
        QWidget* w = nullptr;
        switch (l.Kind) {
            case ControlKind::Frame:
                continue;
            case ControlKind::Label:
                w = new QLabel(parent);
                break;
            case ControlKind::TextBox:
                w = new QLineEdit(parent);
                break;
            case ControlKind::Button:
                w = new QPushButton(parent);
                break;
            case ControlKind::ComboBox:
                w = new QComboBox(parent);
                break;
            case ControlKind::OptionButton:
                w = new QRadioButton(parent);
                break;
            case ControlKind::ListBox:
                if (control == &f.lstHidden) continue;  // never shown
                w = new TimeListWidget(parent);
                break;
            case ControlKind::PictureBox:
                continue;  // the progress bar lives in the status bar
        }
        w->setObjectName(Q(control->Name()));
        m_widgets[control] = w;
    }
    m_available = static_cast<TimeListWidget*>(m_widgets[&f.lstAvailable]);
    m_selected = static_cast<TimeListWidget*>(m_widgets[&f.lstSelected]);
    m_variables = static_cast<QComboBox*>(m_widgets[&f.cboVariables]);
    m_vectors = static_cast<QComboBox*>(m_widgets[&f.cboVectors]);
    for (int i = 0; i < 3; ++i)
        m_boxes[i] = static_cast<QLineEdit*>(m_widgets[&f.txtVectors[static_cast<std::size_t>(i)]]);
    static_cast<QLineEdit*>(m_widgets[&f.txtFileName])->setReadOnly(true);
    // A file dropped on a text box opens, as anywhere on the window outside the lists;
    // the boxes take no dropped text.
    m_widgets[&f.txtFileName]->setAcceptDrops(false);
    for (QLineEdit* box : m_boxes) box->setAcceptDrops(false);
    m_available->setDragEnabled(true);
    m_available->setDragDropMode(QAbstractItemView::DragOnly);
    m_selected->setAcceptDrops(true);
    m_selected->setDragDropMode(QAbstractItemView::DropOnly);

    // Access keys of labels move to the control after them.
    auto buddy = [&](Control& label, Control& target) {
        static_cast<QLabel*>(m_widgets[&label])->setBuddy(m_widgets[&target]);
    };
    buddy(f.lblFile, f.txtFileName);
    buddy(f.lblTimes[0], f.lstAvailable);
    buddy(f.lblTimes[1], f.lstSelected);
    buddy(f.lblVariables[0], f.cboVariables);
    buddy(f.lblVariables[1], f.cboVectors);
    for (std::size_t i = 0; i < 3; ++i) buddy(f.lblVectors[i], f.txtVectors[i]);

    // The keyboard order of the controls.
    std::vector<std::pair<int, QWidget*>> order;
    for (const auto& l : FormLayout()) {
        auto it = m_widgets.find(f.FindControl(l.Name, l.Index));
        if (it != m_widgets.end() && l.Kind != ControlKind::Label && l.Kind != ControlKind::Frame)
            order.emplace_back(l.TabIndex, it->second);
    }
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1].second, order[i].second);

    // The status bar: panel 1 the status text, panel 2 the progress bar.
    m_statusBar = new QWidget(this);
    m_statusBar->setObjectName("sbMain");
    m_panel1 = new QLabel(m_statusBar);
    m_panel2 = new QLabel(m_statusBar);
    for (QLabel* panel : {m_panel1, m_panel2}) panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_progress = new ProgressWidget(m_statusBar);
    m_widgets[&f.picProgress] = m_progress;

    m_menu = new QMenu(this);
    m_menu->setObjectName("mnuList");
    for (MenuItem* item : {&f.mnuListClear, &f.mnuListSep1, &f.mnuListAdd, &f.mnuListDelete,
                           &f.mnuListSep2, &f.mnuListAll}) {
        QAction* action =
            item->Separator ? m_menu->addSeparator() : m_menu->addAction(Q(item->Text()));
        action->setObjectName(Q(item->Name()));
    }
}

template <typename F>
void MainWindow::Handle(F&& handler) {
    if (m_refreshing) return;
    handler();
    Refresh();
}

void MainWindow::PullSelection(TimeListWidget* widget, ListBox& list) {
    if (list.ListCount() != widget->count()) return;
    for (int i = 0; i < widget->count(); ++i) {
        bool selected = widget->item(i)->isSelected();
        if (list.Selected(i) != selected) m_form->UserSelects(list, i, selected);
    }
    m_form->UserFocuses(list, widget->currentRow());
}

void MainWindow::Connect() {
    auto& f = *m_form;
    auto click = [&](Control& button, auto handler) {
        connect(static_cast<QPushButton*>(m_widgets[&button]), &QPushButton::clicked, this,
                [this, handler] { Handle([&] { (m_form.get()->*handler)(); }); });
    };
    click(f.cmdFile, &FrmExtract::cmdFile_Click);
    click(f.cmdSave, &FrmExtract::cmdSave_Click);
    click(f.cmdPlot, &FrmExtract::cmdPlot_Click);
    click(f.cmdDelete, &FrmExtract::cmdDelete_Click);
    click(f.cmdClear, &FrmExtract::cmdClear_Click);
    click(f.cmdHelp, &FrmExtract::cmdHelp_Click);
    click(f.cmdClose, &FrmExtract::cmdClose_Click);

    connect(m_variables, &QComboBox::activated, this,
            [this](int i) { Handle([&] { m_form->UserChoosesVariable(i); }); });
    connect(m_vectors, &QComboBox::activated, this,
            [this](int i) { Handle([&] { m_form->UserChoosesVector(i); }); });
    for (int i = 0; i < 3; ++i) {
        connect(m_boxes[i], &QLineEdit::textEdited, this, [this, i](const QString& text) {
            Handle([&] { m_form->UserTypes(i, text.toStdString()); });
        });
        m_boxes[i]->installEventFilter(this);
    }
    for (int i = 0; i < 2; ++i)
        connect(static_cast<QRadioButton*>(m_widgets[&f.optTime[static_cast<std::size_t>(i)]]),
                &QRadioButton::clicked, this,
                [this, i] { Handle([&] { m_form->UserChoosesLayout(i); }); });

    // The Available list.
    connect(m_available, &QListWidget::itemSelectionChanged, this, [this] {
        Handle([&] {
            PullSelection(m_available, m_form->lstAvailable);
            m_form->lstAvailable_Click();
        });
    });
    connect(m_available, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        Handle([&] {
            m_form->UserFocuses(m_form->lstAvailable, m_available->row(item));
            m_form->lstAvailable_DblClick();
        });
    });
    m_available->OnMouseUp = [this](Qt::MouseButton button) {
        Handle([&] {
            if (button == Qt::LeftButton) m_form->lstAvailable_Click();
            if (button == Qt::RightButton) m_form->lstAvailable_MouseUp(MouseButton::Right);
        });
    };
    m_available->DragPayload = [this] {
        PullSelection(m_available, m_form->lstAvailable);
        return m_form->lstAvailable_OLEStartDrag();
    };

    // The Selected list.
    connect(m_selected, &QListWidget::itemSelectionChanged, this, [this] {
        Handle([&] {
            PullSelection(m_selected, m_form->lstSelected);
            m_form->lstSelected_Click();
        });
    });
    m_selected->OnMouseUp = [this](Qt::MouseButton button) {
        Handle([&] {
            if (button == Qt::LeftButton) m_form->lstSelected_Click();
            if (button == Qt::RightButton) m_form->lstSelected_MouseUp(MouseButton::Right);
        });
    };
    m_selected->OnDragOver = [this](bool offersText, int effects) {
        return m_form->lstSelected_OLEDragOver(offersText, effects);
    };
    m_selected->OnDrop = [this](const std::optional<std::string>& text) {
        Handle([&] { m_form->lstSelected_OLEDragDrop(text); });
    };
}

// --- showing the model ---------------------------------------------------------------

void MainWindow::ShowList(TimeListWidget* widget, const ListBox& list) {
    auto& shown = m_shownLists[&list];
    bool refill = shown.first != list.Revision() || widget->count() != list.ListCount();
    if (refill) {
        widget->setUpdatesEnabled(false);
        widget->clear();
        QStringList items;
        items.reserve(list.ListCount());
        for (const auto& text : list.Items()) items << Q(text);
        widget->addItems(items);
        // Another listing's times start at the top, as a list filled anew does.
        if (widget == m_available) widget->scrollToTop();
        widget->setUpdatesEnabled(list.Redraw());
        shown.first = list.Revision();
    }
    if (refill || shown.second != list.SelectionRevision()) {
        // One change of the selection for all of it, as runs of selected items: item by
        // item, Qt's selection grows a range at a time, which for every step of a long
        // listing (Ctrl+A) took a third of a second.
        QItemSelection selection;
        const int count = widget->count();
        for (int i = 0; i < count; ++i) {
            if (!list.Selected(i)) continue;
            int last = i;
            while (last + 1 < count && list.Selected(last + 1)) ++last;
            selection.select(widget->model()->index(i, 0), widget->model()->index(last, 0));
            i = last;
        }
        if (selection != widget->selectionModel()->selection())
            widget->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        shown.second = list.SelectionRevision();
    }
    widget->setUpdatesEnabled(list.Redraw());
}

void MainWindow::Refresh() {
    if (m_refreshing) return;
    m_refreshing = true;
    auto& f = *m_form;
    setWindowTitle(Q(f.Caption));
    for (auto& [control, widget] : m_widgets) {
        QSignalBlocker block(widget);
        widget->setEnabled(control->Enabled());
        if (control == &f.picProgress) {
            widget->setVisible(control->Visible());
            continue;
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setText(Q(control->Text()));
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            if (edit->text() != Q(control->Text())) edit->setText(Q(control->Text()));
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            button->setText(Q(control->Text()));
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            box->setTitle(Q(control->Text()));
        } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
            option->setText(Q(control->Text()));
            option->setChecked(static_cast<OptionButton*>(control)->Value);
        }
    }
    for (ComboBox* combo : {&f.cboVariables, &f.cboVectors}) {
        auto* widget = static_cast<QComboBox*>(m_widgets[combo]);
        QSignalBlocker block(widget);
        auto& shown = m_shownCombos[combo];
        if (shown != combo->Revision() || widget->count() != combo->ListCount()) {
            widget->clear();
            for (const auto& item : combo->Items()) widget->addItem(Q(item));
            shown = combo->Revision();
        }
        widget->setCurrentIndex(combo->ListIndex());
    }
    {
        QSignalBlocker blockA(m_available), blockS(m_selected);
        ShowList(m_available, f.lstAvailable);
        ShowList(m_selected, f.lstSelected);
    }
    m_panel1->setText(Q(f.sbMain.Panel1));
    m_panel2->setText(Q(f.sbMain.Panel2));
    m_refreshing = false;
    WatchListing();
}

// --- a listing still being written ------------------------------------------------------

void MainWindow::WatchListing() {
    const QString path = QString::fromStdString(m_form->FileModel().FilePath);
    const QStringList watched = m_watcher.files();
    if (watched.size() == 1 && watched.front() == path) return;
    if (!watched.isEmpty()) m_watcher.removePaths(watched);
    if (!path.isEmpty()) m_watcher.addPath(path);
}

void MainWindow::ListingMayHaveChanged() {
    if (m_refreshing) return;
    if (m_form->ListingChanged()) Refresh();
    // A listing opened since, or written over by a rename (another file): watch it.
    WatchListing();
}

// --- size and placement --------------------------------------------------------------

namespace {
// The width of a frame's border and its inner margin, in twips.
constexpr int kFrameBorder = 60;
}  // namespace

void MainWindow::LayOut() {
    auto px = [this](int twips) { return static_cast<int>(twips * m_scale + 0.5); };
    auto& f = *m_form;
    // The controls stand where the design puts them whatever the window's size: a larger
    // window shows more room, not larger buttons.
    for (const auto& l : FormLayout()) {
        auto it = m_widgets.find(f.FindControl(l.Name, l.Index));
        if (it == m_widgets.end() || l.Kind == ControlKind::PictureBox) continue;
        const bool oneLine = l.Kind == ControlKind::ComboBox || l.Kind == ControlKind::TextBox;
        int width = px(l.Width);
        // The summary's values were measured for a narrower font than ours: they may use
        // the frame's width up to its border, so that "Temperature" is read whole.
        if (l.Container == "fraSummary" && l.Name != "lblSummary")
            if (const ControlLayout* frame = FindLayout(l.Container, -1))
                width = std::max(width, px(frame->Width - l.Left) - px(kFrameBorder));
        it->second->setGeometry(
            px(l.Left), px(l.Top), width,
            std::max(px(l.Height), oneLine ? it->second->sizeHint().height() : 0));
    }
    // The status bar lies inside the client area, along its bottom edge.
    const int statusHeight = px(kStatusBarHeight);
    m_statusBar->setGeometry(0, height() - statusHeight, width(), statusHeight);
    // Panel 2 holds the progress bar along the right part of the status bar.
    const int panel2Left = std::max(0, width() - px(3000));
    m_panel1->setGeometry(0, 0, panel2Left - 2, statusHeight);
    m_panel2->setGeometry(panel2Left, 0, width() - panel2Left, statusHeight);
    f.Form_Resize(static_cast<int>(panel2Left / m_scale), static_cast<int>(width() / m_scale),
                  isMinimized());
    const TwipRect& r = f.ProgressRect;
    m_progress->setGeometry(px(r.Left), px(r.Top), px(r.Width), px(r.Height));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) LayOut();
}

// --- keys, focus and closing ---------------------------------------------------------

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        for (int i = 0; i < 3; ++i) {
            if (watched != m_boxes[i]) continue;
            auto reason = static_cast<QFocusEvent*>(event)->reason();
            m_focusByTab = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
            auto& box = m_form->txtVectors[static_cast<std::size_t>(i)];
            box.SelStart = box.SelLength = 0;
            m_form->txtVectors_GotFocus(i);
            m_focusByTab = false;
            if (box.SelLength > 0) {
                QLineEdit* edit = m_boxes[i];
                QMetaObject::invokeMethod(
                    edit,
                    [edit, start = box.SelStart, length = box.SelLength] {
                        edit->setSelection(start, length);
                    },
                    Qt::QueuedConnection);
            }
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    // A key press travels from the focus widget up through its parents; take it once,
    // where it starts, and only inside this window (not in its dialogs or menus).
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || target->window() != this) return false;
    QWidget* focus = QApplication::focusWidget();
    if (focus ? target != focus : target != this) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    int code = KeyCode(*key);
    int shift = ShiftState(key->modifiers());
    Handle([&] { m_form->Form_KeyDown(code, shift); });
    // Ctrl+A selects the Available times wherever the focus is; F1 is help.
    return (code == kKeyA && shift == kShiftCtrl) || code == kKeyF1;
}

void MainWindow::OpenFile(const QString& path) {
    Handle([&] { m_form->OpenFile(path.toStdString()); });
}

bool MainWindow::AcceptsFileDrop(QDropEvent& event) {
    const QPoint at = event.position().toPoint();
    for (QWidget* list : {static_cast<QWidget*>(m_available), static_cast<QWidget*>(m_selected)})
        if (list->geometry().contains(at)) return false;
    return m_form->Form_OLEDragOver(DroppedFiles(event.mimeData()), kDropEffectCopy) ==
           kDropEffectCopy;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!AcceptsFileDrop(*event)) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (!AcceptsFileDrop(*event)) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Read once the drop has ended, so that the file manager is not kept waiting.
    QTimer::singleShot(0, this, [this, files = DroppedFiles(event->mimeData())] {
        Handle([&] { m_form->Form_OLEDragDrop(files); });
    });
}

// A close may arrive inside a handler of the model (a scan's progress report runs the
// pending events). Closing only hides the window: the model stays until its owner
// destroys it, after the event loop has returned, so that handler ends on a live model.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_unloaded) {
        event->accept();
        return;
    }
    bool cancel = false;
    m_form->Form_QueryUnload(cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    m_form->Form_Unload();
    m_unloaded = true;
    event->accept();
}

// --- what the window model asks of its window ---------------------------------------

void MainWindow::DoEvents() {
    Refresh();
    QApplication::processEvents(QEventLoop::AllEvents);
}

void MainWindow::Unload() {
    close();
}

bool MainWindow::Minimized() {
    return isMinimized();
}

void MainWindow::PopupMenu() {
    auto& f = *m_form;
    std::map<QAction*, void (FrmExtract::*)()> handlers;
    for (QAction* action : m_menu->actions()) {
        Control* item = f.FindControl(action->objectName().toStdString());
        if (!item) continue;
        action->setEnabled(item->Enabled());
        if (item == &f.mnuListAdd) handlers[action] = &FrmExtract::mnuListAdd_Click;
        if (item == &f.mnuListAll) handlers[action] = &FrmExtract::mnuListAll_Click;
        if (item == &f.mnuListDelete) handlers[action] = &FrmExtract::mnuListDelete_Click;
        if (item == &f.mnuListClear) handlers[action] = &FrmExtract::mnuListClear_Click;
    }
    QAction* chosen = ChoosePopupItem ? ChoosePopupItem(*m_menu) : m_menu->exec(QCursor::pos());
    auto it = handlers.find(chosen);
    if (it != handlers.end() && chosen->isEnabled()) (f.*(it->second))();
}

std::string MainWindow::ProgramFolder() {
    return QApplication::applicationDirPath().toStdString();
}

Extent MainWindow::ProgressSurface() {
    return {double(m_progress->width()), double(m_progress->height())};
}

Extent MainWindow::MeasureProgressText(std::string_view text) {
    QFontMetrics metrics(m_progress->font());
    return {double(metrics.horizontalAdvance(
                QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())))),
            double(metrics.height())};
}

void MainWindow::PaintProgress(const ProgressPicture& picture) {
    QString status = Q(m_form->sbMain.Panel1);
    if (m_panel1->text() != status) {
        m_panel1->setText(status);
        m_panel1->repaint();
    }
    m_progress->Show(picture);
}

bool MainWindow::TabDown() {
    return m_focusByTab;
}

// --- work for the window's thread, and the plot window ---------------------------------

void MainWindow::Post(std::function<void()> task) {
    // Queued: it runs on this window's thread, whichever thread posts it.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void MainWindow::RunAfterPause(int ms, std::function<void()> task) {
    m_afterPause = std::move(task);
    m_pause.start(ms);
}

void MainWindow::ShowPlotWindow() {
    if (!m_plotWindow)
        m_plotWindow = std::make_unique<PlotWindow>(
            m_form->Plot(), [this] { return m_form->FileModel().FilePath; }, m_plotDialogs,
            m_plotBoxes);
    // Opened, or opened again after it was closed: beside this window, on the screen.
    if (!m_plotWindow->isVisible()) PlacePlotWindow();
    m_plotWindow->show();
    m_plotWindow->raise();
    m_plotWindow->activateWindow();
}

void MainWindow::PlacePlotWindow() {
    const QRect main = frameGeometry();
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : main;
    // A window's frame is known only once it is shown; this window's stands for it.
    const QRect inner = geometry();
    const int frameWidth = main.width() - inner.width();
    const int frameHeight = main.height() - inner.height();
    const QSize size = m_plotWindow->size();
    const int narrowest = m_plotWindow->minimumSizeHint().width();
    const PixelRect place = PlotWindowPlace(
        {main.x(), main.y(), main.width(), main.height()},
        {screen.x(), screen.y(), screen.width(), screen.height()}, size.width() + frameWidth,
        size.height() + frameHeight, narrowest + frameWidth);
    m_plotWindow->resize(place.Width - frameWidth, place.Height - frameHeight);
    m_plotWindow->move(place.Left, place.Top);
}

void MainWindow::ClosePlotWindow() {
    if (m_plotWindow) m_plotWindow->close();
}

void MainWindow::PlotChanged() {
    if (m_plotWindow) m_plotWindow->Refresh();
}

}  // namespace vx::desktop
