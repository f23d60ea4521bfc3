#include "app/shell/Pages.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/kit/Help.h"

Page::Page(QWidget* parent, int templateId, const std::string& caption) : Dialog(parent, templateId) {
    setWindowTitle(q(caption));
}

void Page::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        showHelp();
        return;
    }
    if (!isWindow() && event->key() == Qt::Key_Escape) {
        event->ignore();  // on to the main window
        return;
    }
    Dialog::keyPressEvent(event);
}

void Page::showHelp() {
    QWidget* focus = focusWidget();
    const int id = focus ? focus->property("controlId").toInt() : 0;
    const std::string text = helpText(id);
    if (!text.empty()) ShowHelp(text, this);
}

std::vector<std::vector<PageEntry>> PageGroups(int v) {
    static const char* const kNetwork[] = {"", "Address List", "Network"};
    static const char* const kSettings[] = {"Harrow Settings", "Manager Settings", "Host Settings"};
    const std::string indent = "               -   ";
    auto tree = [&](const std::string& text) { return (indent + text).size() > 255 ? std::string() : indent + text; };
    std::vector<std::vector<PageEntry>> groups(4);
    groups[0].push_back({"Address", tree("Address"), page::Select});
    if (v != 0) groups[0].push_back({kNetwork[v], tree(kNetwork[v]), page::Network});
    groups[1] = {{"Status", tree("Status"), page::Status},
                 {"Trend", tree("Trend"), page::Trend},
                 {"Recording", tree("Recording"), page::Recording},
                 {"View Internal Log", tree("View Log"), page::Logfile}};
    groups[2] = {{"Detector Setup", tree("Detector Setup"), page::SetupTable},
                 {kSettings[v], tree(kSettings[v]), page::Settings},
                 {"Miscellaneous", tree("Miscellaneous"), page::Misc}};
    groups[3].push_back({"Version", tree("Version"), page::Version});
    if (v != 0) groups[3].push_back({"Device Info", tree("Device Info"), page::DeviceInfo});
    return groups;
}
