#include "app/util/CSaveFolder.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/kit/FolderDialog.h"
#include "shell/StartUp.h"
#include "util/Profile.h"

CSaveFolder::CSaveFolder(QWidget* parent, std::string folder, std::string section, std::string key)
    : Dialog(parent, kTemplate), section_(std::move(section)), key_(std::move(key)) {
    setWindowTitle("Save Folder");
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* field = add(kFolder, new QLineEdit(this));
    field->setMinimumWidth(320);
    row->addWidget(field);
    row->addWidget(addButton(kBrowse, "..."));
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QObject::connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    if (folder.empty()) folder = ProfileGetString(kParamIni, "general", "szSaveFolder", "");
    setText(kFolder, folder);
}

void CSaveFolder::onCommand(int id) {
    if (id != kBrowse) return Dialog::onCommand(id);
    const std::string now = text(kFolder);
    const std::string chosen = SelectFolderDialog("Select Save Folder:", this, now.empty() ? "." : now);
    if (chosen.empty()) return;
    setText(kFolder, chosen);
    ProfileWriteString(kParamIni, section_, key_, chosen);
}

std::optional<std::string> CSaveFolder::Ask(QWidget* parent, const std::string& folder, const std::string& section,
                                            const std::string& key) {
    if (auto answer = FolderDialogAnswer("Save Folder")) {
        if (answer->empty()) return std::nullopt;
        ProfileWriteString(kParamIni, section, key, *answer);
        return answer;
    }
    CSaveFolder dialog(parent, folder, section, key);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    // An empty field is the working folder.
    const std::string chosen = dialog.text(kFolder);
    return chosen.empty() ? std::string(".") : chosen;
}
