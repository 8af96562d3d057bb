// Frames of both request paths, the exponent form, and the judging of answers
// on both paths, without a port.

#include "dev.h"
#include "numbers.h"

#include <QtTest>

using instrument::Dev;

class TstFrames : public QObject {
    Q_OBJECT
private slots:
    void addressPathFrames_data();
    void addressPathFrames();
    void commandPathFrames_data();
    void commandPathFrames();
    void unknownCommandBuildsNothing_data();
    void unknownCommandBuildsNothing();
    void exponentForm_data();
    void exponentForm();
    void checkAnswer_data();
    void checkAnswer();
    void checkAnswerKeepsEarlierError();
    void numberTests_data();
    void numberTests();
};

void TstFrames::addressPathFrames_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("withAddress");
    QTest::addColumn<QString>("frame");
    // address and value
    for (int c : {5, 9, 11, 13, 15, 21, 29, 31, 101})
        QTest::addRow("adr+value %d", c) << c << true << QStringLiteral(":1;%1;1518;4;").arg(c);
    // module and address
    for (int c : {18, 20, 26, 28})
        QTest::addRow("module+adr %d", c) << c << true << QStringLiteral(":1;%1;3;1518;").arg(c);
    // module, address and value
    for (int c : {17, 19, 25, 27})
        QTest::addRow("module+adr+value %d", c) << c << true << QStringLiteral(":1;%1;3;1518;4;").arg(c);
    for (int c : {35, 36})
        QTest::addRow("value only %d", c) << c << true << QStringLiteral(":1;%1;4;").arg(c);
    for (int c : {23, 123})
        QTest::addRow("no fields %d", c) << c << true << QStringLiteral(":1;%1;").arg(c);
    for (int c : {0, 1, 2, 6, 10, 12, 14, 16, 22, 24, 30, 32, 255})
        QTest::addRow("address only %d", c) << c << true << QStringLiteral(":1;%1;1518;").arg(c);
    QTest::newRow("no network address") << 14 << false << QStringLiteral(":14;1518;");
    QTest::newRow("no network address, module") << 27 << false << QStringLiteral(":27;3;1518;4;");
}

void TstFrames::addressPathFrames()
{
    QFETCH(int, command);
    QFETCH(bool, withAddress);
    QFETCH(QString, frame);
    Dev dev;
    dev.bNetAdrr = 1;
    dev.bModuleNumber = 3;
    dev.EnableNetAdrr = withAddress;
    QCOMPARE(dev.addressFrame(quint8(command), QStringLiteral("1518"), QStringLiteral("4")), frame);
}

void TstFrames::commandPathFrames_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("frame");
    for (int c : {5, 13, 15, 17, 29, 31, 323})
        QTest::addRow("two %d", c) << c << QStringLiteral(":7;%1;P;44B;1;").arg(c);
    for (int c : {6, 12, 14, 16, 30, 32, 33, 124})
        QTest::addRow("one %d", c) << c << QStringLiteral(":7;%1;P;").arg(c);
    QTest::newRow("readings") << 423 << QStringLiteral(":7;423;44B;1;");
    QTest::newRow("clock") << 34 << QStringLiteral(":7;34;");
}

void TstFrames::commandPathFrames()
{
    QFETCH(int, command);
    QFETCH(QString, frame);
    Dev dev;
    dev.bNetAdrr = 7;
    dev.EnableNetAdrr = false; // the command path always carries the address
    QCOMPARE(dev.sBuildCommand(qint16(command), QStringLiteral("P"), QStringLiteral("44B;1")), frame);
    QCOMPARE(dev.COMError, quint8(0));
}

void TstFrames::unknownCommandBuildsNothing_data()
{
    QTest::addColumn<int>("command");
    for (int c : {7, 8, 9, 10, 11, 18, 35, 0, -1, 1000})
        QTest::addRow("%d", c) << c;
}

void TstFrames::unknownCommandBuildsNothing()
{
    QFETCH(int, command);
    Dev dev;
    QCOMPARE(dev.sBuildCommand(qint16(command), QStringLiteral("1"), QStringLiteral("2")), QString());
    QCOMPARE(dev.COMError, quint8(1));
    QCOMPARE(dev.sErrorMsg, QStringLiteral("Нет такой команды"));
}

void TstFrames::exponentForm_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("localForm");
    for (const QString& sep : {QStringLiteral(","), QStringLiteral(".")}) {
        const QString l = sep;
        QTest::addRow("123.456 %s", qPrintable(sep)) << 123.456 << 8 << sep << "0.123456e3" << "0" + l + "123456e3";
        QTest::addRow("-5 %s", qPrintable(sep)) << -5.0 << 8 << sep << "-0.5e1" << "-0" + l + "5e1";
        QTest::addRow("0.05 %s", qPrintable(sep)) << 0.05 << 8 << sep << "0.5e-1" << "0" + l + "5e-1";
        QTest::addRow("100 %s", qPrintable(sep)) << 100.0 << 8 << sep << "0.1e3" << "0" + l + "1e3";
        QTest::addRow("1 %s", qPrintable(sep)) << 1.0 << 8 << sep << "0.1e1" << "0" + l + "1e1";
        QTest::addRow("0.1 %s", qPrintable(sep)) << 0.1 << 8 << sep << "0.1e0" << "0" + l + "1e0";
        QTest::addRow("-0.05 %s", qPrintable(sep)) << -0.05 << 8 << sep << "-0.5e-1" << "-0" + l + "5e-1";
        QTest::addRow("4 digits %s", qPrintable(sep)) << 123.456 << 4 << sep << "0.12e3" << "0" + l + "12e3";
        QTest::addRow("zero %s", qPrintable(sep)) << 0.0 << 8 << sep << "0" << "0";
        QTest::addRow("0.25e2 %s", qPrintable(sep)) << 25.0 << 8 << sep << "0.25e2" << "0" + l + "25e2";
    }
}

void TstFrames::exponentForm()
{
    QFETCH(double, value);
    QFETCH(int, digits);
    QFETCH(QString, separator);
    QFETCH(QString, form);
    QFETCH(QString, localForm);
    Dev dev;
    dev.NOfDigits = quint8(digits);
    dev.sFloatingPointSeparator = separator;
    QCOMPARE(dev.sExpConvection(value), form);
    QCOMPARE(dev.sExpConvection1(value), localForm);
}

void TstFrames::checkAnswer_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("par");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QString numberMsg = QStringLiteral("Из прибора пришло число в неправильном формате");
    const QString nanMsg = QStringLiteral("В памяти прибора по данному адресу находится чило в неверном формате");
    const QString readingsMsg = QStringLiteral("Из прибора пришел ответ неправильного формата");
    const QString fieldMsg = QStringLiteral("Пришел ответ неправильного формата");
    QTest::newRow("ERR") << 34 << "ERR\r" << "" << 3 << "Прибор выдает ошибку";
    QTest::newRow("empty") << 34 << "" << "" << 4 << "Прибор не отвечает";
    QTest::newRow("no bang") << 34 << "1;2;\r" << "" << 5 << "Получен ответ неправильного формата";
    QTest::newRow("no semicolon") << 34 << "!12\r" << "" << 5 << "Получен ответ неправильного формата";
    QTest::newRow("write OK") << 33 << "!OK;\r" << "" << 0 << "";
    QTest::newRow("write ERR") << 33 << "!ERR;\r" << "" << 6 << "Не удалось записать в прибор";
    QTest::newRow("write 17 not OK") << 17 << "!NO;\r" << "" << 6 << "Не удалось записать в прибор";
    QTest::newRow("read hex") << 14 << "!1F;\r" << "" << 0 << "";
    QTest::newRow("read real") << 12 << "!12.5;\r" << "" << 0 << "";
    QTest::newRow("read NaN") << 12 << "!NaN;\r" << "" << 5 << nanMsg;
    QTest::newRow("read junk") << 14 << "!xyz;\r" << "" << 5 << numberMsg;
    QTest::newRow("clock") << 34 << "!12;5;30;1;7;12;26;1;\r" << "" << 0 << "";
    QTest::newRow("clock bad field") << 34 << "!12;5;x;1;7;12;26;1;\r" << "" << 5 << numberMsg;
    QTest::newRow("clock short") << 34 << "!12;5;30;\r" << "" << 5 << numberMsg;
    const QString frame = QStringLiteral("!1;2;3;4;5;6;7;8;9;skip;0012.5;0013.5;\r");
    QTest::newRow("frame") << 323 << frame << "2" << 0 << "";
    QTest::newRow("frame NaN") << 323 << "!1;2;3;4;5;6;7;8;9;skip;00NaN;0013.5;\r" << "2" << 5 << nanMsg;
    QTest::newRow("frame bad value") << 323 << "!1;2;3;4;5;6;7;8;9;skip;0012x;0013.5;\r" << "2" << 5 << numberMsg;
    QTest::newRow("frame bad head") << 323 << "!1;2;3;4;x;6;7;8;9;skip;0012.5;0013.5;\r" << "2" << 5 << numberMsg;
    QTest::newRow("frame short") << 323 << "!1;2;3;4;5;6;7;8;9;skip;0012.5;\r" << "2" << 5 << numberMsg;
    const QString head = QStringLiteral("!000000001");
    QTest::newRow("readings") << 423 << head + "0F03000000FF;0012.5;10-5.5;\r" << "2" << 0 << "";
    QTest::newRow("readings bad group") << 423 << head + "0F0G000000FF;0012.5;10-5.5;\r" << "2" << 5 << readingsMsg;
    QTest::newRow("readings short head") << 423 << head + "0F;\r" << "2" << 5 << readingsMsg;
    QTest::newRow("readings missing field") << 423 << head + "0F03000000FF;0012.5;\r" << "2" << 5 << fieldMsg;
    QTest::newRow("readings NaN") << 423 << head + "0F03000000FF;0012.5;00NaN;\r" << "2" << 5 << fieldMsg;
    QTest::newRow("readings junk value") << 423 << head + "0F03000000FF;0012.5;00abc;\r" << "2" << 5 << fieldMsg;
    QTest::newRow("markers only 124") << 124 << "!anything;\r" << "" << 0 << "";
    QTest::newRow("bytes above 127") << 423 << QString::fromLatin1("!\xff\xfe\xfd;\r") << "c" << 5 << readingsMsg;
}

void TstFrames::checkAnswer()
{
    QFETCH(int, command);
    QFETCH(QString, answer);
    QFETCH(QString, par);
    QFETCH(int, code);
    QFETCH(QString, message);
    Dev dev;
    dev.sFloatingPointSeparator = QStringLiteral(",");
    dev.CheckAnswer(qint16(command), answer, par);
    QCOMPARE(int(dev.COMError), code);
    QCOMPARE(dev.sErrorMsg, message);
}

void TstFrames::checkAnswerKeepsEarlierError()
{
    Dev dev;
    dev.COMError = 2;
    dev.sErrorMsg = QStringLiteral("Ошибка Windowsпорт");
    dev.CheckAnswer(34, QString(), QString());
    QCOMPARE(dev.COMError, quint8(2));
    QCOMPARE(dev.sErrorMsg, QStringLiteral("Ошибка Windowsпорт"));
}

void TstFrames::numberTests_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("number");
    QTest::newRow("comma decimal") << "12,5" << "," << true;
    QTest::newRow("point under comma") << "12.5" << "," << false;
    QTest::newRow("point decimal") << "12.5" << "." << true;
    QTest::newRow("exponent") << "1,5E3" << "," << true;
    QTest::newRow("blanks") << "  -7 " << "," << true;
    QTest::newRow("hex is not decimal") << "1F" << "," << false;
    QTest::newRow("empty") << "" << "," << false;
    QTest::newRow("lone sign") << "-" << "," << false;
    QTest::newRow("two separators") << "1,2,3" << "," << false;
}

void TstFrames::numberTests()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(bool, number);
    QCOMPARE(instrument::isNumber(text, separator), number);
}

QTEST_MAIN(TstFrames)
#include "tst_frames.moc"
