#include <QCoreApplication>

#include <gtest/gtest.h>

// The tests run with a QCoreApplication (text codecs, locale, event pumps).
// Widget tests bring their own main with a QApplication.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
