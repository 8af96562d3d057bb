// The system's reasons as the user reads them.

#include "systemfile.h"

#include <QtTest>
#include <cerrno>

class TstSystemFile : public QObject {
    Q_OBJECT
private slots:
    void reasons_data();
    void reasons();
};

void TstSystemFile::reasons_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");
    QTest::newRow("full disk") << ENOSPC << "не хватает места на диске";
    QTest::newRow("no access") << EACCES << "доступ запрещён";
    QTest::newRow("not permitted") << EPERM << "доступ запрещён";
    QTest::newRow("read-only disk") << EROFS << "диск доступен только для чтения";
    QTest::newRow("missing") << ENOENT << "нет такого файла или папки";
    QTest::newRow("too large") << EFBIG << "файл слишком большой";
    QTest::newRow("input/output") << EIO << "ошибка ввода-вывода";
    QTest::newRow("any other, by number") << EPIPE << QStringLiteral("ошибка системы %1").arg(EPIPE);
}

void TstSystemFile::reasons()
{
    QFETCH(int, code);
    QFETCH(QString, reason);
    QCOMPARE(instrument::systemReason(code), reason);
}

QTEST_MAIN(TstSystemFile)
#include "tst_systemfile.moc"
