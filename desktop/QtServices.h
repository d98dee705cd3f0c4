#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "window/Platform.h"

// The desktop services of the window, in Qt: file dialogs, message boxes centred on
// the window, the settings store and the busy pointer.
namespace vx::desktop {

// "Description|pattern|Description|pattern" as Qt's name filters. "*.*" means any
// file, as it does on the desktops the filter texts come from.
QStringList NameFilters(std::string_view filter);

class QtFileDialogs : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* owner) : m_owner(owner) {}
    bool ShowOpen(const FileDialogSetup& setup, FileDialogChoice& choice) override;
    bool ShowSave(const FileDialogSetup& setup, FileDialogChoice& choice) override;

private:
    bool Show(const FileDialogSetup& setup, bool save, FileDialogChoice& choice);
    QPointer<QWidget> m_owner;
};

class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* owner) : m_owner(owner) {}
    MsgAnswer Show(std::string_view prompt, MsgButtons buttons, MsgIcon icon,
                   std::string_view title, bool centred) override;

private:
    QPointer<QWidget> m_owner;
};

// QSettings of the application: the organisation and application are both the
// application's title, so the file is ~/.config/VoraxExtract/VoraxExtract.conf.
class QtSettingsStore : public SettingsStore {
public:
    std::string GetSetting(std::string_view app, std::string_view section, std::string_view key,
                           std::string_view fallback) override;
    void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view value) override;
};

// The busy pointer for the whole application: any pointer but the default one is
// the hourglass (Qt's wait cursor).
class QtPointer : public PointerControl {
public:
    ~QtPointer() override;
    void SetPointer(int pointer) override;

private:
    int m_overrides = 0;
};

}  // namespace vx::desktop
