#include <gtest/gtest.h>

#include <QApplication>

#include "app/kit/QtPump.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallQtPumpWait();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
