#include "desktop/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QWindowStateChangeEvent>

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
    if (!services.Dialogs) services.Dialogs = &m_owned->Dialogs;
    if (!services.Boxes) services.Boxes = &m_owned->Boxes;
    if (!services.Settings) services.Settings = &m_owned->Settings;
    if (!services.Pointer) services.Pointer = &m_owned->Pointer;
    if (!services.Help) services.Help = &m_owned->Help;
    m_platform =
        std::make_unique<Platform>(Platform{*services.Dialogs, *services.Boxes, *services.Settings,
                                            *services.Help, *services.Pointer, *this, *this});
    m_form = std::make_unique<FrmExtract>(*m_platform);

    BuildWidgets();
    Connect();
    m_form->Form_Load();
    qApp->installEventFilter(this);

    // The design size, in proportion to the font: a line of text is 195 twips high.
    double perTwip = fontMetrics().height() / 195.0;
    resize(static_cast<int>(kFormWidth * perTwip + 0.5),
           static_cast<int>((kFormHeight + kStatusBarHeight) * perTwip + 0.5));
    setMinimumSize(size() * 0.8);
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
        widget->setUpdatesEnabled(list.Redraw());
        shown.first = list.Revision();
    }
    if (refill || shown.second != list.SelectionRevision()) {
        for (int i = 0; i < widget->count(); ++i)
            if (widget->item(i)->isSelected() != list.Selected(i))
                widget->item(i)->setSelected(list.Selected(i));
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
    m_refreshing = false;
}

// --- size and placement --------------------------------------------------------------

void MainWindow::LayOut() {
    int statusHeight = std::max(
        fontMetrics().height() + 6,
        static_cast<int>(kStatusBarHeight * height() / double(kFormHeight + kStatusBarHeight)));
    m_scaleX = width() / double(kFormWidth);
    m_scaleY = (height() - statusHeight) / double(kFormHeight);
    auto& f = *m_form;
    for (const auto& l : FormLayout()) {
        auto it = m_widgets.find(f.FindControl(l.Name, l.Index));
        if (it == m_widgets.end() || l.Kind == ControlKind::PictureBox) continue;
        int top = l.Top;
        // Frame captions take a line in Qt as they do elsewhere; children keep their offsets.
        it->second->setGeometry(
            static_cast<int>(l.Left * m_scaleX + 0.5), static_cast<int>(top * m_scaleY + 0.5),
            static_cast<int>(l.Width * m_scaleX + 0.5),
            std::max(static_cast<int>(l.Height * m_scaleY + 0.5),
                     l.Kind == ControlKind::ComboBox || l.Kind == ControlKind::TextBox
                         ? it->second->sizeHint().height()
                         : 0));
    }
    m_statusBar->setGeometry(0, height() - statusHeight, width(), statusHeight);
    // Panel 2 holds the progress bar along the right part of the status bar.
    int panel2Left = std::max(0, width() - static_cast<int>(3000 * m_scaleX));
    m_panel1->setGeometry(0, 0, panel2Left - 2, statusHeight);
    m_panel2->setGeometry(panel2Left, 0, width() - panel2Left, statusHeight);
    f.Form_Resize(static_cast<int>(panel2Left / m_scaleX), static_cast<int>(width() / m_scaleX),
                  isMinimized());
    const TwipRect& r = f.ProgressRect;
    double statusScale = statusHeight / double(kStatusBarHeight);
    m_progress->setGeometry(
        static_cast<int>(r.Left * m_scaleX), static_cast<int>(r.Top * statusScale),
        static_cast<int>(r.Width * m_scaleX), static_cast<int>(r.Height * statusScale));
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

}  // namespace vx::desktop
