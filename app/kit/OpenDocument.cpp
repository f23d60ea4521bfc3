#include "app/kit/OpenDocument.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace {
std::function<bool(const std::string&)>& Opener() {
    static std::function<bool(const std::string&)> opener;
    return opener;
}
}  // namespace

bool OpenDocument(const std::string& path) {
    if (Opener()) return Opener()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::current().absoluteFilePath(QString::fromStdString(path))));
}

void SetDocumentOpener(std::function<bool(const std::string&)> opener) { Opener() = std::move(opener); }
