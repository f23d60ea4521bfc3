#include "app/kit/FolderDialog.h"

#include <QFileDialog>
#include <mutex>

namespace {
std::mutex g_mutex;
std::function<std::string(const std::string&)> g_answerer;
}  // namespace

void SetFolderDialogAnswerer(std::function<std::string(const std::string&)> answerer) {
    std::lock_guard lock(g_mutex);
    g_answerer = std::move(answerer);
}

std::optional<std::string> FolderDialogAnswer(const std::string& title) {
    std::function<std::string(const std::string&)> answerer;
    {
        std::lock_guard lock(g_mutex);
        answerer = g_answerer;
    }
    if (!answerer) return std::nullopt;
    return answerer(title);
}

std::string SelectFolderDialog(const std::string& title, QWidget* parent, const std::string& start) {
    if (auto answer = FolderDialogAnswer(title)) return *answer;
    return QFileDialog::getExistingDirectory(parent, QString::fromStdString(title), QString::fromStdString(start))
        .toStdString();
}
