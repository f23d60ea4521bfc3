// Wexcon: the service tool for detector networks.
#include <QApplication>
#include <cstring>
#include <iostream>

#include "app/Application.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    StartOptions options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--console") == 0) {
            options.console = true;
        } else if (std::strcmp(argv[i], "--raw-diagnostic") == 0) {
            options.rawDiagnostic = true;
        } else {
            std::cerr << "usage: Wexcon [--console] [--raw-diagnostic]\n";
            return 2;
        }
    }
    return RunWexcon(options);
}
