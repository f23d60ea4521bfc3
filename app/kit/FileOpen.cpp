#include "app/kit/FileOpen.h"

#include <QFileDialog>
#include <QFileInfo>

#include "shell/StartUp.h"
#include "util/Profile.h"

std::string OpenFileDialog(const std::string& extension, const std::string& key, QWidget* parent) {
    const QString ext = QString::fromStdString(extension);
    const QString folder = QString::fromStdString(ProfileGetString(kParamIni, "general", key, ".", 259));
    const QString path = QFileDialog::getOpenFileName(parent, "Select File to Open", folder,
                                                      QString("%1 File (*.%1)").arg(ext));
    if (path.isEmpty()) return {};
    ProfileWriteString(kParamIni, "general", key, QFileInfo(path).absolutePath().toStdString());
    return path.toStdString();
}
