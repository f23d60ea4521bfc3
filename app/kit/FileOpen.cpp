#include "app/kit/FileOpen.h"

#include <QFileDialog>
#include <QFileInfo>

#include "shell/StartUp.h"
#include "util/Profile.h"

namespace {
std::function<std::string(const std::string&)> g_answerer;  // interface thread only
}  // namespace

void SetOpenFileAnswerer(std::function<std::string(const std::string&)> answerer) { g_answerer = std::move(answerer); }

std::string OpenFileDialog(const std::string& extension, const std::string& key, QWidget* parent,
                           const std::string& title) {
    const QString ext = QString::fromStdString(extension);
    const QString folder = QString::fromStdString(ProfileGetString(kParamIni, "general", key, ".", 259));
    const QString path = g_answerer ? QString::fromStdString(g_answerer(title))
                                    : QFileDialog::getOpenFileName(parent, QString::fromStdString(title), folder,
                                                                   QString("%1 File (*.%2)").arg(ext.toUpper(), ext));
    if (path.isEmpty()) return {};
    ProfileWriteString(kParamIni, "general", key, QFileInfo(path).absolutePath().toStdString());
    return path.toStdString();
}
