#include "desktop/QtServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

#include "window/Progress.h"

namespace vx::desktop {

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QStringList NameFilters(std::string_view filter) {
    QStringList parts = Q(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(';', ' ');
        if (pattern == "*.*") pattern = "*";
        QString description = parts[i];
        // Qt reads the patterns from the parentheses of the description.
        qsizetype open = description.indexOf('(');
        if (open >= 0) description = description.left(open).trimmed();
        filters << description + " (" + pattern + ")";
    }
    return filters;
}

bool QtFileDialogs::Show(const FileDialogSetup& setup, bool save, FileDialogChoice& choice) {
    QFileDialog dialog(m_owner, save ? QObject::tr("Save As") : QObject::tr("Open"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !setup.OverwritePrompt);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!setup.InitDir.empty()) dialog.setDirectory(Q(setup.InitDir));
    QStringList filters = NameFilters(setup.Filter);
    dialog.setNameFilters(filters);
    if (setup.FilterIndex >= 1 && setup.FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[setup.FilterIndex - 1]);
    if (save) {
        // A name typed without an extension gets the one of the chosen filter.
        auto suffixOf = [](const QString& nameFilter) {
            qsizetype dot = nameFilter.indexOf("(*.");
            if (dot < 0) return QString();
            QString suffix = nameFilter.mid(dot + 3);
            suffix.chop(1);
            return suffix.contains('*') ? QString() : suffix;
        };
        dialog.setDefaultSuffix(suffixOf(dialog.selectedNameFilter()));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&](const QString& f) { dialog.setDefaultSuffix(suffixOf(f)); });
    }
    dialog.selectFile(Q(setup.FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    QString path = dialog.selectedFiles().front();
    choice.FileName = path.toStdString();
    choice.FileTitle = QFileInfo(path).fileName().toStdString();
    choice.FilterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return true;
}

bool QtFileDialogs::ShowOpen(const FileDialogSetup& setup, FileDialogChoice& choice) {
    return Show(setup, false, choice);
}

bool QtFileDialogs::ShowSave(const FileDialogSetup& setup, FileDialogChoice& choice) {
    return Show(setup, true, choice);
}

MsgAnswer QtMessageBoxes::Show(std::string_view prompt, MsgButtons buttons, MsgIcon icon,
                               std::string_view title, bool centred) {
    QMessageBox box(m_owner);
    box.setWindowTitle(Q(title));
    box.setText(Q(prompt));
    switch (icon) {
        case MsgIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::None:
            break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    if (centred && m_owner) {
        box.adjustSize();
        QRect owner = m_owner->frameGeometry();
        QRect self(QPoint(0, 0), box.frameGeometry().size());
        auto at =
            CentredBoxPosition({owner.left(), owner.top(), owner.right() + 1, owner.bottom() + 1},
                               {0, 0, self.width(), self.height()});
        box.move(at.X, at.Y);
    }
    int answer = box.exec();
    if (buttons == MsgButtons::YesNo)
        return answer == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    return MsgAnswer::Ok;
}

std::string QtSettingsStore::GetSetting(std::string_view app, std::string_view section,
                                        std::string_view key, std::string_view fallback) {
    QSettings settings(Q(app), Q(app));
    return settings.value(Q(section) + "/" + Q(key), Q(fallback)).toString().toStdString();
}

void QtSettingsStore::SaveSetting(std::string_view app, std::string_view section,
                                  std::string_view key, std::string_view value) {
    QSettings settings(Q(app), Q(app));
    settings.setValue(Q(section) + "/" + Q(key), Q(value));
}

QtPointer::~QtPointer() {
    SetPointer(kDefaultPointer);
}

void QtPointer::SetPointer(int pointer) {
    while (m_overrides > 0) {
        QApplication::restoreOverrideCursor();
        --m_overrides;
    }
    if (pointer == kDefaultPointer) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_overrides;
}

}  // namespace vx::desktop
