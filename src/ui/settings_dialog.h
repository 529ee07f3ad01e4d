// The settings dialog: tool-window style, comment mode, restoring windows
// at start, the replacement text table and the interface language (read
// only at start, so a new choice waits for the next one). A setting is written only when
// its box changed, except "RestoreWindow", which every OK writes.
#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;

namespace zell {

class Profile;

class SettingsDialog final : public QDialog {
    Q_OBJECT
public:
    struct Changes {
        bool toolWindowStyle = false;
        bool commentMode = false;
        bool stringLibrary = false;
    };

    SettingsDialog(const Profile& profile, std::string libraryPath, QWidget* parent = nullptr);

    void accept() override;
    Changes changes() const { return changes_; }

    QCheckBox* toolWindowBox() const { return boxes_[0]; }
    QCheckBox* commentBox() const { return boxes_[1]; }
    QCheckBox* restoreBox() const { return boxes_[2]; }
    QCheckBox* libraryBox() const { return boxes_[3]; }
    // Automatic, Japanese, English: "auto", "ja", "en" in the profile.
    QComboBox* languageBox() const { return language_; }

private:
    const Profile& profile_;
    std::string libraryPath_;
    QCheckBox* boxes_[4];
    bool initial_[4];
    QComboBox* language_;
    int initialLanguage_;
    Changes changes_;
};

} // namespace zell
