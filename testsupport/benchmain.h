#pragma once
// The main() of a benchmark: a QtTest object run by hand (build/tests/bench_*),
// never by CTest, on the offscreen platform unless told otherwise. Its slots
// measure times and processor shares that depend on the machine, print them
// and compare them with what the suite aims at, so they are worth running on
// a quiet machine only.

#include <QApplication>
#include <QtTest>

#define SUITE_BENCH_MAIN(Benchmark)                                                                                  \
    int main(int argc, char** argv)                                                                                  \
    {                                                                                                                \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                                          \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                                 \
        qputenv("QTEST_FUNCTION_TIMEOUT", "3600000");                                                                \
        QApplication app(argc, argv);                                                                                \
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));                                             \
        Benchmark b;                                                                                                 \
        return QTest::qExec(&b, argc, argv);                                                                         \
    }
