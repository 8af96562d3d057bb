// Verified writes: write, read back, compare, repeat within the budgets.

#include "linkfixture.h"

namespace {
const QString kMismatch = QStringLiteral("Не совпадение прочитанного с тем, что записали.");
}

class TstVerifiedWrite : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void writeAndRead_data();
    void writeAndRead();
    void flashModuleCopies();
    void flashStopsAtFirstFailure();
    void flashWritesOnceBelowModules();
    void flashRefusesAddressBeyond16Bits();
};

void TstVerifiedWrite::writeAndRead_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QList<QByteArray>>("answers");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QList<QByteArray>>("frames");
    const QByteArray ok = "!OK;\r\n";
    const QByteArray w13 = ":1;13;1518;1F;\r\n", r14 = ":1;14;1518;\r\n";
    QTest::newRow("equal at once") << 13 << "1F" << QList<QByteArray>{ok, "!1F;\r\n"} << "OK"
                                   << QList<QByteArray>{w13, r14};
    QTest::newRow("different once, then equal") << 13 << "1F" << QList<QByteArray>{ok, "!1E;\r\n", ok, "!1F;\r\n"} << "OK"
                                                << QList<QByteArray>{w13, r14, w13, r14};
    QTest::newRow("leading zeros never verify")
        << 13 << "001F" << QList<QByteArray>{ok, "!1F;\r\n", ok, "!1F;\r\n", ok, "!1F;\r\n"}
        << kMismatch + "||001F<>1F"
        << QList<QByteArray>{":1;13;1518;001F;\r\n", r14, ":1;13;1518;001F;\r\n", r14, ":1;13;1518;001F;\r\n", r14};
    QTest::newRow("lower case never verifies")
        << 5 << "1f" << QList<QByteArray>{ok, "!1F;\r\n", ok, "!1F;\r\n", ok, "!1F;\r\n"} << kMismatch + "||1f<>1F"
        << QList<QByteArray>{":1;5;1518;1f;\r\n", ":1;6;1518;\r\n", ":1;5;1518;1f;\r\n", ":1;6;1518;\r\n",
                             ":1;5;1518;1f;\r\n", ":1;6;1518;\r\n"};
    // The register reads back as a negative number from 8000 up: it is the
    // same 16-bit pattern and verifies.
    QTest::newRow("FFFF verifies") << 29 << "FFFF" << QList<QByteArray>{ok, "!FFFF;\r\n"} << "OK"
                                   << QList<QByteArray>{":1;29;1518;FFFF;\r\n", ":1;30;1518;\r\n"};
    QTest::newRow("8000 verifies") << 31 << "8000" << QList<QByteArray>{ok, "!8000;\r\n"} << "OK"
                                   << QList<QByteArray>{":1;31;1518;8000;\r\n", ":1;32;1518;\r\n"};
    QTest::newRow("four repeated reads")
        << 13 << "1F" << QList<QByteArray>{ok, "!x;\r\n", "!x;\r\n", "!x;\r\n", "!x;\r\n", "!x;\r\n"}
        << "Не прочиталось" << QList<QByteArray>{w13, r14, r14, r14, r14, r14};
    QTest::newRow("read budget shared across writes")
        << 13 << "1F" << QList<QByteArray>{ok, "!x;\r\n", "!x;\r\n", "!1E;\r\n", ok, "!x;\r\n", "!x;\r\n", "!x;\r\n"}
        << "Не прочиталось" << QList<QByteArray>{w13, r14, r14, r14, w13, r14, r14, r14};
    QTest::newRow("write not confirmed: no read-back")
        << 13 << "1F" << QList<QByteArray>{"!ERR;\r\n"} << "Не удалось записать в прибор" << QList<QByteArray>{w13};
    QTest::newRow("write unanswered") << 13 << "1F" << QList<QByteArray>{} << "Прибор не отвечает" << QList<QByteArray>{w13};
    const QByteArray w11 = ":1;11;20;0.1e2;\r\n", r12 = ":1;12;20;\r\n";
    QTest::newRow("real 10 against 12 agrees") << 11 << "0.1e2" << QList<QByteArray>{ok, "!12;\r\n"} << "OK"
                                               << QList<QByteArray>{w11, r12};
    QTest::newRow("real 10 against 14 does not")
        << 11 << "0.1e2" << QList<QByteArray>{ok, "!14;\r\n", ok, "!14.0;\r\n", ok, "!1.4e1;\r\n"} << kMismatch + "||0,1e2<>14"
        << QList<QByteArray>{w11, r12, w11, r12, w11, r12};
    QTest::newRow("real 10 against 7") << 11 << "0.1e2" << QList<QByteArray>{ok, "!7;\r\n"} << "OK"
                                       << QList<QByteArray>{w11, r12};
    QTest::newRow("real 0 against 0") << 15 << "0" << QList<QByteArray>{ok, "!0.0;\r\n"} << "OK"
                                      << QList<QByteArray>{":1;15;20;0;\r\n", ":1;16;20;\r\n"};
    QTest::newRow("real 0 against 0.001")
        << 15 << "0" << QList<QByteArray>{ok, "!0.001;\r\n", ok, "!0.001;\r\n", ok, "!0.001;\r\n"} << kMismatch + "||0<>0,001"
        << QList<QByteArray>{":1;15;20;0;\r\n", ":1;16;20;\r\n", ":1;15;20;0;\r\n", ":1;16;20;\r\n", ":1;15;20;0;\r\n", ":1;16;20;\r\n"};
    QTest::newRow("real value with the locale comma") << 11 << "0,1e2" << QList<QByteArray>{ok, "!10;\r\n"} << "OK"
                                                      << QList<QByteArray>{w11, r12};
    QTest::newRow("real unreadable") << 11 << "0.1e2"
                                     << QList<QByteArray>{ok, "!NaN;\r\n", "!NaN;\r\n", "!NaN;\r\n", "!NaN;\r\n", "!NaN;\r\n"}
                                     << "Не прочиталось=OK" << QList<QByteArray>{w11, r12, r12, r12, r12, r12};
    QTest::newRow("no read-back command") << 35 << "1" << QList<QByteArray>{ok} << "" << QList<QByteArray>{":1;35;1;\r\n"};
}

void TstVerifiedWrite::writeAndRead()
{
    QFETCH(int, command);
    QFETCH(QString, value);
    QFETCH(QList<QByteArray>, answers);
    QFETCH(QString, result);
    QFETCH(QList<QByteArray>, frames);
    LinkFixture f;
    f.dev.NofRereadings = 0;
    for (const QByteArray& a : answers)
        f.port->reply(a);
    const QString adr = command == 11 || command == 15 ? QStringLiteral("20") : QStringLiteral("1518");
    QCOMPARE(f.dev.sWriteAndRead(quint8(command), adr, value), result);
    QCOMPARE(f.port->written, frames);
}

void TstVerifiedWrite::flashModuleCopies()
{
    LinkFixture f;
    f.dev.bModuleNumber = 1;
    for (int i = 0; i < 4; ++i) {
        f.port->reply("!OK;\r\n");
        f.port->reply("!3;\r\n");
    }
    QCOMPARE(f.dev.sWriteToFlash(19, 100, QStringLiteral("3")), QStringLiteral("OK"));
    QList<QByteArray> expected;
    for (const char* adr : {"64", "264", "464", "664"})
        expected << QByteArray(":1;19;1;") + adr + ";3;\r\n" << QByteArray(":1;20;1;") + adr + ";\r\n";
    QCOMPARE(f.port->written, expected);
}

void TstVerifiedWrite::flashStopsAtFirstFailure()
{
    LinkFixture f;
    f.dev.NofRereadings = 0;
    f.port->reply("!OK;\r\n");
    f.port->reply("!0.25e2;\r\n");
    f.port->reply("!ERR;\r\n");
    QCOMPARE(f.dev.sWriteToFlash(27, 100, QStringLiteral("0.25e2")), QStringLiteral("Не удалось записать в прибор"));
    QCOMPARE(f.port->written,
             (QList<QByteArray>{":1;27;0;64;0.25e2;\r\n", ":1;28;0;64;\r\n", ":1;27;0;264;0.25e2;\r\n"}));
}

void TstVerifiedWrite::flashWritesOnceBelowModules()
{
    LinkFixture f;
    f.port->reply("!OK;\r\n");
    f.port->reply("!A;\r\n");
    QCOMPARE(f.dev.sWriteToFlash(5, 200, QStringLiteral("A")), QStringLiteral("OK"));
    QCOMPARE(f.port->written, (QList<QByteArray>{":1;5;C8;A;\r\n", ":1;6;C8;\r\n"}));
}

void TstVerifiedWrite::flashRefusesAddressBeyond16Bits()
{
    LinkFixture f;
    const QString r = f.dev.sWriteToFlash(19, 32000, QStringLiteral("1"));
    QVERIFY(r != QLatin1String("OK"));
    QVERIFY(!r.isEmpty());
    QVERIFY(f.port->written.isEmpty());
}

QTEST_MAIN(TstVerifiedWrite)
#include "tst_verifiedwrite.moc"
