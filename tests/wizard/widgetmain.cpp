#include "wizard/mainwindow.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widget tests run with a QApplication (offscreen, set by CTest) and the
// application title the program sets at start-up.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    tavrex::setApplicationTitle();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
