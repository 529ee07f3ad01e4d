#include "ui/settings_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/profile.h"
#include "app/string_table.h"

namespace zell {
namespace {

// The profile's values in the order of the language box.
const char* const kLanguageSettings[] = {"auto", "ja", "en"};

int languageItem(const Profile& profile)
{
    const std::string setting = profile.readString("System", "Language", "auto");
    for (int i = 1; i < 3; ++i) {
        if (setting == kLanguageSettings[i])
            return i;
    }
    return 0;
}

} // namespace

SettingsDialog::SettingsDialog(const Profile& profile, std::string libraryPath, QWidget* parent)
    : QDialog(parent), profile_(profile), libraryPath_(std::move(libraryPath))
{
    setWindowTitle(loadText(Text::SettingsTitle));
    auto* layout = new QVBoxLayout(this);
    const int ids[4] = {Text::HideToolWindowsFromTaskbar, Text::AllowJapaneseComment, Text::RestoreWindows,
                        Text::UseStringLibrary};
    for (int i = 0; i < 4; ++i) {
        boxes_[i] = new QCheckBox(loadText(ids[i]), this);
        layout->addWidget(boxes_[i]);
    }
    initial_[0] = profile_.readString("System", "ToolWindow", "") == "yes";
    initial_[1] = profile_.readString("are you", "in the 1-byte area?", "") == "no";
    initial_[2] = profile_.readInt("System", "RestoreWindow", 1) > 0;
    initial_[3] = profile_.readString("are you", "wota?", "") == "yes";
    for (int i = 0; i < 4; ++i)
        boxes_[i]->setChecked(initial_[i]);
    boxes_[3]->setVisible(QFileInfo(QString::fromStdString(libraryPath_)).isFile());

    language_ = new QComboBox(this);
    for (int id : {Text::LanguageAutomatic, Text::LanguageJapanese, Text::LanguageEnglish})
        language_->addItem(loadText(id));
    initialLanguage_ = languageItem(profile_);
    language_->setCurrentIndex(initialLanguage_);
    auto* languageRow = new QHBoxLayout;
    languageRow->addWidget(new QLabel(loadText(Text::LanguageChoice), this));
    languageRow->addWidget(language_);
    languageRow->addWidget(new QLabel(loadText(Text::LanguageNote), this));
    languageRow->addStretch(1);
    layout->addLayout(languageRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(loadText(Text::Ok));
    buttons->button(QDialogButtonBox::Cancel)->setText(loadText(Text::Cancel));
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
    layout->addWidget(buttons);
}

void SettingsDialog::accept()
{
    const bool tool = boxes_[0]->isChecked();
    const bool japanese = boxes_[1]->isChecked();
    const bool wota = boxes_[3]->isChecked();
    changes_.toolWindowStyle = tool != initial_[0];
    changes_.commentMode = japanese != initial_[1];
    changes_.stringLibrary = wota != initial_[3];
    if (changes_.toolWindowStyle)
        profile_.writeString("System", "ToolWindow", tool ? "yes" : "");
    if (changes_.commentMode)
        profile_.writeString("are you", "in the 1-byte area?", japanese ? "no" : "");
    if (changes_.stringLibrary)
        profile_.writeString("are you", "wota?", wota ? "yes" : "");
    profile_.writeInt("System", "RestoreWindow", boxes_[2]->isChecked() ? 1 : 0);
    if (language_->currentIndex() != initialLanguage_)
        profile_.writeString("System", "Language", kLanguageSettings[language_->currentIndex()]);
    if (wota && !stringLibraryLoaded())
        loadStringLibrary(profile_, libraryPath_);
    else if (!wota && stringLibraryLoaded())
        freeStringLibrary();
    QDialog::accept();
}

} // namespace zell
