// The set-up window against a scripted port: start-up, the link test, the
// read and write pairs, the restart and the settings saved at exit.

#include "commission_window.h"
#include "windowrig.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <functional>
#include <memory>

using commission::Main;
using testsupport::FakeClock;
using testsupport::FakePort;
using testsupport::buttonNamed;

namespace {

bool anyControlEnabled(Main* w)
{
    const QList<QWidget*> controls{w->ComNum, w->ComSettings, w->NetAdrr, w->Reload,       w->SRead,
                                   w->SWrite, w->NRead,       w->NWrite,  w->AmOfCh,       w->CRead,
                                   w->CWrite, w->RealSettings, w->RealNetAdrr, w->cmdExit, w->cmdTest};
    for (QWidget* c : controls)
        if (c->isEnabled())
            return true;
    return false;
}

// One window in its own program folder, talking to a scripted port, noting at
// each frame whether any control of the window could be used.
struct Rig : testsupport::ScriptedRig<Main> {
    QList<bool> usableAtWrite;
    explicit Rig(const QString& devDat = QString()) : ScriptedRig(devDat)
    {
        port->onWrite = [this](const QByteArray&) { usableAtWrite << anyControlEnabled(w.get()); };
    }
};

QByteArray readData(const QString& name)
{
    QFile f(QStringLiteral(TEST_DATA "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace

class TestCommission : public QObject {
    Q_OBJECT
private slots:
    void startUp_data();
    void startUp();
    void tabOrder();
    void linkTest_data();
    void linkTest();
    void findOnAPortThatCannotOpen();
    void speedRead_data();
    void speedRead();
    void writePairs_data();
    void writePairs();
    void failedFirstWriteStopsThePair_data();
    void failedFirstWriteStopsThePair();
    void numberReads_data();
    void numberReads();
    void cpuKeyNotANumber_data();
    void cpuKeyNotANumber();
    void reloadFollowsTheInstrument();
    void reloadWithNoItemChosen();
    void devDatAfterClosingWithPort3_data();
    void devDatAfterClosingWithPort3();
    void savingThatFailsIsReported();
    void unloadRunsOnce();
    void closeDuringAnExchangeWaitsForIt();
};

void TestCommission::startUp_data()
{
    QTest::addColumn<QString>("devDat");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("savedIndex");
    QTest::newRow("no dev.dat") << QString() << "4800,N,8,2" << "4";
    QTest::newRow("index 6") << "[PROGS]\nSettingsIndex=6\n" << "19200,N,8,2" << "6";
    QTest::newRow("index 0") << "[PROGS]\nSettingsIndex=0\n" << "300,N,8,2" << "0";
    QTest::newRow("index 8") << "[PROGS]\nSettingsIndex=8\n" << "57600,N,8,2" << "8";
    QTest::newRow("index 9") << "[PROGS]\nSettingsIndex=9\n" << "4800,N,8,2" << "4";
    QTest::newRow("index -1") << "[PROGS]\nSettingsIndex=-1\n" << "4800,N,8,2" << "4";
    QTest::newRow("text") << "[PROGS]\nSettingsIndex=fast\n" << "4800,N,8,2" << "4";
    QTest::newRow("empty") << "[PROGS]\nSettingsIndex=\n" << "4800,N,8,2" << "4";
}

void TestCommission::startUp()
{
    QFETCH(QString, devDat);
    QFETCH(QString, settings);
    QFETCH(QString, savedIndex);
    Rig rig(devDat);
    QVERIFY(rig.loaded);
    Main* w = rig.w.get();
    QCOMPARE(w->windowTitle(), QStringLiteral("Настройка прибора v3.0.20"));
    QCOMPARE(w->size(), QSize(277, 354));
    QCOMPARE(w->ComNum->count(), 12);
    QCOMPARE(w->ComNum->currentText(), QStringLiteral("COM1"));
    QCOMPARE(w->ComSettings->currentText(), settings);
    QCOMPARE(w->RealSettings->currentText(), settings);
    QCOMPARE(w->NetAdrr->currentText(), QStringLiteral("0"));
    QCOMPARE(w->RealNetAdrr->currentText(), QStringLiteral("1"));
    QCOMPARE(w->AmOfCh->currentText(), QStringLiteral("1"));
    QCOMPARE(w->dev()->Number, quint8(1));
    QCOMPARE(w->dev()->bNetAdrr, quint8(1));
    QCOMPARE(w->dev()->Settings, QStringLiteral("4800,N,8,2"));
    QVERIFY(rig.messages.messages().isEmpty());

    w->close();
    QCOMPARE(w->dev()->sGetINI("PROGS", "SettingsIndex", "?"), savedIndex);
    QCOMPARE(w->dev()->sGetINI("COMport", "settings", "?"), settings);
}

void TestCommission::tabOrder()
{
    Rig rig;
    Main* w = rig.w.get();
    const QList<QWidget*> order{w->ComNum, w->ComSettings, w->NetAdrr, w->Reload,       w->SRead,
                                w->SWrite, w->NRead,       w->NWrite,  w->AmOfCh,       w->CRead,
                                w->CWrite, w->RealSettings, w->RealNetAdrr, w->cmdExit, w->cmdTest};
    // The controls in the focus chain, in the order the chain visits them.
    QList<QWidget*> chain;
    QWidget* at = w->ComNum;
    do {
        if (order.contains(at) && !chain.contains(at))
            chain << at;
        at = at->nextInFocusChain();
    } while (at != w->ComNum);
    QCOMPARE(chain, order);
}

void TestCommission::linkTest_data()
{
    QTest::addColumn<QString>("devDat");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("reached");
    QTest::newRow("'!' anywhere") << QString() << "rubbish!x" << true;
    QTest::newRow("silent") << QString() << QString() << false;
    QTest::newRow("error") << QString() << "ERR;\r\n" << false;
}

void TestCommission::linkTest()
{
    QFETCH(QString, devDat);
    QFETCH(QString, answer);
    QFETCH(bool, reached);
    Rig rig(devDat);
    QVERIFY(rig.loaded);
    rig.w->RealNetAdrr->setCurrentIndex(17);
    rig.replies({answer});
    QTest::mouseClick(rig.w->cmdTest, Qt::LeftButton);

    QCOMPARE(rig.frames(), QStringList{":17;0;\r\n"});
    QCOMPARE(rig.usableAtWrite, QList<bool>{false});
    QVERIFY(rig.w->cmdTest->isEnabled());
    QCOMPARE(rig.messages.messages().size(), 1);
    const instrument::Message m = rig.messages.messages().first();
    QCOMPARE(m.title, rig.w->windowTitle());
    QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(m.text, reached ? QStringLiteral("Связь с прибором установлена")
                             : QStringLiteral("Не удалось связаться с прибором"));
    QCOMPARE(m.icon == QMessageBox::Critical, !reached);
}

void TestCommission::findOnAPortThatCannotOpen()
{
    Rig rig;
    rig.port->openFailure = QStringLiteral("нет такого устройства");
    rig.w->setFindTries(scan::tryOrder(scan::suiteSettings(), {1, 2}, QString(), 1));
    QTest::mouseClick(rig.w->cmdFind, Qt::LeftButton);
    QCOMPARE(rig.port->opens, 1); // no other try would reach the line either
    QCOMPARE(rig.messages.texts(), QStringList{"Ошибка: Ошибка системы: нет такого устройства"});
}

void TestCommission::speedRead_data()
{
    QTest::addColumn<QString>("spdExc");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("index");
    const QString f = ":1;14;1;\r\n";
    QTest::newRow("25 is 19200") << QString() << QStringList{"!19;\r\n"} << f << "19200,N,8,2" << 6;
    QTest::newRow("3 is 300") << QString() << QStringList{"!3;\r\n"} << f << "300,N,8,2" << 0;
    QTest::newRow("hex key") << "&H7F" << QStringList{"!12;\r\n"} << ":1;14;7F;\r\n" << "1200,N,8,2" << 2;
    QTest::newRow("decimal key") << "300" << QStringList{"!24;\r\n"} << ":1;14;12C;\r\n" << "2400,N,8,2" << 3;
    QTest::newRow("failure") << QString() << QStringList{"ERR\r\n", "ERR\r\n", "ERR\r\n"} << f
                             << "Прибор выдает ошибку" << -1;
}

void TestCommission::speedRead()
{
    QFETCH(QString, spdExc);
    QFETCH(QStringList, answers);
    QFETCH(QString, frame);
    QFETCH(QString, shown);
    QFETCH(int, index);
    Rig rig(spdExc.isNull() ? QString() : "[CPU]\nSPD_EXC=" + spdExc + "\n");
    QVERIFY(rig.loaded);
    rig.w->ComSettings->setCurrentIndex(7); // anything but the answer
    rig.replies(answers);
    QTest::mouseClick(rig.w->SRead, Qt::LeftButton);

    QCOMPARE(rig.frames().first(), frame);
    QCOMPARE(rig.frames().size(), answers.size());
    QCOMPARE(rig.w->ComSettings->currentText(), shown);
    QCOMPARE(rig.w->ComSettings->currentIndex(), index);
    QVERIFY(!rig.usableAtWrite.contains(true));
    QVERIFY(rig.w->SRead->isEnabled());
    QVERIFY(rig.messages.messages().isEmpty());
}

void TestCommission::writePairs_data()
{
    QTest::addColumn<QString>("devDat");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("index");    // item to choose, -1: type the text instead
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("exchange"); // frame, answer, frame, answer, ...
    QTest::addColumn<QString>("shownAfter");
    QTest::newRow("speed typed") << QString() << "SWrite" << "ComSettings" << -1 << "fast"
                                 << QStringList{":1;5;1;48;\r\n", "!OK;\r\n", ":1;6;1;\r\n", "!48;\r\n",
                                                ":1;13;1;48;\r\n", "!OK;\r\n", ":1;14;1;\r\n", "!48;\r\n"}
                                 << "fast";
    QTest::newRow("network at NET_NUM") << "[CPU]\nNET_NUM=&H1519\n" << "NWrite" << "NetAdrr" << 10 << QString()
                                        << QStringList{":1;31;1519;A;\r\n", "!OK;\r\n", ":1;32;1519;\r\n", "!A;\r\n",
                                                       ":1;29;1519;A;\r\n", "!OK;\r\n", ":1;30;1519;\r\n", "!A;\r\n"}
                                        << "10";
    QTest::newRow("channels 7") << "[CPU]\nMAX_CH=20\n" << "CWrite" << "AmOfCh" << 6 << QString()
                                << QStringList{":1;5;14;7;\r\n", "!OK;\r\n", ":1;6;14;\r\n", "!7;\r\n",
                                               ":1;13;14;7;\r\n", "!OK;\r\n", ":1;14;14;\r\n", "!7;\r\n"}
                                << "7";
}

void TestCommission::writePairs()
{
    QFETCH(QString, devDat);
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(int, index);
    QFETCH(QString, typed);
    QFETCH(QStringList, exchange);
    QFETCH(QString, shownAfter);
    Rig rig(devDat);
    QVERIFY(rig.loaded);
    auto* combo = rig.w->findChild<QComboBox*>(box);
    QVERIFY(combo && combo->isEditable());
    if (index >= 0) {
        combo->setCurrentIndex(index);
    } else {
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), typed);
    }
    QStringList frames;
    for (int i = 0; i < exchange.size(); i += 2) {
        frames << exchange[i];
        rig.port->reply(exchange[i + 1].toLatin1());
    }
    QTest::mouseClick(buttonNamed(rig.w.get(), button), Qt::LeftButton);

    QCOMPARE(rig.frames(), frames);
    QVERIFY(!rig.usableAtWrite.contains(true));
    QVERIFY(anyControlEnabled(rig.w.get()));
    QCOMPARE(rig.messages.texts(), QStringList());
    QCOMPARE(combo->currentText(), shownAfter);
}

void TestCommission::failedFirstWriteStopsThePair_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("firstFrame");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("message");
    // Written, but read back wrong three times (two repeated writes).
    QTest::newRow("channels differ") << "CWrite" << ":1;5;2;1;\r\n"
                                     << QStringList{"!OK;\r\n", "!2;\r\n", "!OK;\r\n", "!2;\r\n", "!OK;\r\n", "!2;\r\n"}
                                     << 6 << "Ошибка: Не совпадение прочитанного с тем, что записали.||1<>2";
}

void TestCommission::failedFirstWriteStopsThePair()
{
    QFETCH(QString, button);
    QFETCH(QString, firstFrame);
    QFETCH(QStringList, answers);
    QFETCH(int, frames);
    QFETCH(QString, message);
    Rig rig;
    QVERIFY(rig.loaded);
    rig.replies(answers);
    // The window stays disabled until the message of the failed pair is closed.
    QList<bool> usableAtMessage;
    instrument::MessageHook previous;
    previous = instrument::setMessageHook([&](const instrument::Message& m) {
        usableAtMessage << anyControlEnabled(rig.w.get());
        return previous(m);
    });
    QTest::mouseClick(buttonNamed(rig.w.get(), button), Qt::LeftButton);
    instrument::setMessageHook(previous);

    QCOMPARE(rig.frames().size(), frames);
    QCOMPARE(rig.frames().first(), firstFrame);
    QCOMPARE(rig.messages.texts(), QStringList{message});
    QCOMPARE(rig.messages.messages().first().title, rig.w->windowTitle());
    QCOMPARE(usableAtMessage, QList<bool>{false});
    QVERIFY(anyControlEnabled(rig.w.get()));
}

void TestCommission::numberReads_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("index");
    const QStringList refused{"ERR\r\n", "ERR\r\n", "ERR\r\n"};
    const QString n = ":1;30;1;\r\n";
    const QString c = ":1;14;2;\r\n";
    QTest::newRow("network 200") << "NRead" << "NetAdrr" << n << QStringList{"!C8;\r\n"} << "200" << 200;
    QTest::newRow("network 0") << "NRead" << "NetAdrr" << n << QStringList{"!0;\r\n"} << "0" << 0;
    QTest::newRow("network 300") << "NRead" << "NetAdrr" << n << QStringList{"!12C;\r\n"} << "300" << -1;
    QTest::newRow("network -1") << "NRead" << "NetAdrr" << n << QStringList{"!FFFF;\r\n"} << "-1" << -1;
    QTest::newRow("network failure") << "NRead" << "NetAdrr" << n << refused << "Прибор выдает ошибку" << -1;
    QTest::newRow("channels 5") << "CRead" << "AmOfCh" << c << QStringList{"!5;\r\n"} << "5" << 4;
    QTest::newRow("channels 12") << "CRead" << "AmOfCh" << c << QStringList{"!C;\r\n"} << "12" << 11;
    QTest::newRow("channels 0") << "CRead" << "AmOfCh" << c << QStringList{"!0;\r\n"} << "0" << -1;
    QTest::newRow("channels 13") << "CRead" << "AmOfCh" << c << QStringList{"!D;\r\n"} << "13" << -1;
    QTest::newRow("channels failure") << "CRead" << "AmOfCh" << c << refused << "Прибор выдает ошибку" << -1;
}

void TestCommission::numberReads()
{
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, frame);
    QFETCH(QStringList, answers);
    QFETCH(QString, shown);
    QFETCH(int, index);
    Rig rig;
    QVERIFY(rig.loaded);
    auto* combo = rig.w->findChild<QComboBox*>(box);
    combo->setCurrentIndex(3); // anything but the answer
    rig.replies(answers);
    QTest::mouseClick(buttonNamed(rig.w.get(), button), Qt::LeftButton);

    QCOMPARE(rig.frames().size(), answers.size());
    QCOMPARE(rig.frames().first(), frame);
    QCOMPARE(combo->currentText(), shown);
    QCOMPARE(combo->currentIndex(), index);
    if (index < 0)   // the text read, shown from its start
        QCOMPARE(combo->lineEdit()->cursorPosition(), 0);
    QVERIFY(!rig.usableAtWrite.contains(true));
    QVERIFY(rig.messages.messages().isEmpty());
}

void TestCommission::cpuKeyNotANumber_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("speed read") << "SRead" << "SPD_EXC" << "abc";
    QTest::newRow("network read") << "NRead" << "NET_NUM" << "&HZZ";
    QTest::newRow("network write") << "NWrite" << "NET_NUM" << "one";
    QTest::newRow("channels read") << "CRead" << "MAX_CH" << "";
    QTest::newRow("channels write") << "CWrite" << "MAX_CH" << "70000";
}

void TestCommission::cpuKeyNotANumber()
{
    QFETCH(QString, button);
    QFETCH(QString, key);
    QFETCH(QString, value);
    Rig rig("[CPU]\n" + key + "=" + value + "\n");
    QVERIFY(rig.loaded);
    // Named once at start, refused again at the click.
    QCOMPARE(rig.messages.messages().size(), 1);
    const QString atStart = rig.messages.texts().first();
    QVERIFY2(!atStart.startsWith(QStringLiteral("Ошибка: ")), qPrintable(atStart));
    QVERIFY2(atStart.contains(key) && atStart.contains('"' + value + '"'), qPrintable(atStart));
    QTest::mouseClick(buttonNamed(rig.w.get(), button), Qt::LeftButton);

    QVERIFY(rig.frames().isEmpty());
    QCOMPARE(rig.messages.messages().size(), 2);
    const QString text = rig.messages.texts().last();
    QVERIFY2(text.startsWith(QStringLiteral("Ошибка: ")), qPrintable(text));
    QVERIFY2(text.contains(key) && text.contains('"' + value + '"'), qPrintable(text));
    QVERIFY(anyControlEnabled(rig.w.get()));
}

void TestCommission::reloadFollowsTheInstrument()
{
    Rig rig;
    QVERIFY(rig.loaded);
    Main* w = rig.w.get();
    w->ComSettings->setCurrentIndex(5);
    w->NetAdrr->setCurrentIndex(5);
    rig.port->reply("!OK;\r\n");
    QTest::mouseClick(w->Reload, Qt::LeftButton);

    // The restart goes to the old address at the old speed.
    QCOMPARE(rig.frames(), QStringList{":1;13;151a;1;\r\n\r\n"});
    QCOMPARE(rig.port->lastSettings.baud, 4800);
    QCOMPARE(rig.usableAtWrite, QList<bool>{false});
    QCOMPARE(w->RealSettings->currentText(), QStringLiteral("9600,N,8,2"));
    QCOMPARE(w->RealNetAdrr->currentText(), QStringLiteral("5"));
    QVERIFY(rig.messages.messages().isEmpty());

    // The next exchange uses the new speed and address.
    rig.port->reply("!5;\r\n");
    QTest::mouseClick(w->NRead, Qt::LeftButton);
    QCOMPARE(rig.frames().last(), QStringLiteral(":5;30;1;\r\n"));
    QCOMPARE(rig.port->lastSettings.baud, 9600);
    QCOMPARE(w->NetAdrr->currentText(), QStringLiteral("5"));
}

void TestCommission::reloadWithNoItemChosen()
{
    // A failed speed read and a typed address: the PC side follows what the
    // writes would have sent (4800 and address 1), never an empty setting.
    Rig rig;
    QVERIFY(rig.loaded);
    Main* w = rig.w.get();
    w->RealSettings->setCurrentIndex(7);
    w->RealNetAdrr->setCurrentIndex(9);
    rig.replies({"", "", ""});
    QTest::mouseClick(w->SRead, Qt::LeftButton);
    QCOMPARE(w->ComSettings->currentText(), QStringLiteral("Прибор не отвечает"));
    w->NetAdrr->lineEdit()->selectAll();
    QTest::keyClicks(w->NetAdrr->lineEdit(), "x");
    QTest::mouseClick(w->Reload, Qt::LeftButton);

    QCOMPARE(rig.frames().last(), QStringLiteral(":9;13;151a;1;\r\n\r\n"));
    QCOMPARE(w->RealSettings->currentText(), QStringLiteral("4800,N,8,2"));
    QCOMPARE(w->RealNetAdrr->currentText(), QStringLiteral("1"));
}

void TestCommission::devDatAfterClosingWithPort3_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    // Other sections, keys and comments stay as they were.
    QTest::newRow("old file") << "devdat-before.dat" << "devdat-after-port3.dat";
    // Sections and keys appear in the order they are written.
    QTest::newRow("no file") << QString() << "devdat-new-port3.dat";
}

void TestCommission::devDatAfterClosingWithPort3()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    testsupport::ProgramFolder folder;
    const QByteArray expected = readData(after);
    QVERIFY(!expected.isEmpty());
    if (!before.isNull()) {
        const QByteArray old = readData(before);
        QVERIFY(!old.isEmpty());
        folder.writeFile("dev.dat", old);
    }
    testsupport::MessageAnswerer answers;
    Main w;
    QVERIFY(w.Form_Load());
    w.show();
    w.ComNum->setCurrentIndex(2);
    QCOMPARE(w.dev()->Number, quint8(3));
    w.RealNetAdrr->setCurrentIndex(17);
    QVERIFY(w.close());

    QCOMPARE(folder.readFile("dev.dat"), expected);
}

void TestCommission::savingThatFailsIsReported()
{
    // "dev.dat" is a folder: nothing can be saved, and the user is told so
    // once, with the file's path and the reason.
    testsupport::ProgramFolder folder;
    QVERIFY(QDir(folder.path()).mkdir("dev.dat"));
    QFile(folder.file("dev.dat/keep.txt")).open(QIODevice::WriteOnly);
    testsupport::MessageAnswerer answers;
    Main w;
    QVERIFY(w.Form_Load());
    w.show();
    QVERIFY(w.close());

    QCOMPARE(answers.messages().size(), 1);
    const QString text = answers.texts().first();
    QVERIFY2(text.startsWith(QStringLiteral("Ошибка: ")), qPrintable(text));
    QVERIFY2(text.contains(folder.file("dev.dat")), qPrintable(text));
    QVERIFY(QFileInfo(folder.file("dev.dat")).isDir());
    QVERIFY(QFile::exists(folder.file("dev.dat/keep.txt")));
}

void TestCommission::unloadRunsOnce()
{
    Rig rig;
    QVERIFY(rig.loaded);
    Main* w = rig.w.get();
    w->ComNum->setCurrentIndex(4);
    QTest::mouseClick(w->cmdExit, Qt::LeftButton);
    QVERIFY(!w->isVisible());
    QCOMPARE(w->dev()->sGetINI("COMport", "number", "?"), QStringLiteral("5"));

    // A second close saves nothing more.
    rig.folder.writeDevDat("[COMport]\nnumber=9\n");
    w->show();
    w->ComNum->setCurrentIndex(1);
    QVERIFY(w->close());
    QCOMPARE(w->dev()->sGetINI("COMport", "number", "?"), QStringLiteral("9"));
}

void TestCommission::closeDuringAnExchangeWaitsForIt()
{
    Rig rig;
    QVERIFY(rig.loaded);
    Main* w = rig.w.get();
    w->ComNum->setCurrentIndex(2);
    rig.port->reply("!OK;\r\n", 1000);
    // The user closes the window while the link waits for the answer.
    int tries = 0;
    bool closed = true;
    QString savedDuringExchange;
    rig.port->onWrite = [&](const QByteArray&) {
        ++tries;
        closed = w->close();
        savedDuringExchange = w->dev()->sGetINI("COMport", "number", "?");
    };
    QTest::mouseClick(w->cmdTest, Qt::LeftButton);

    // Held back while the link waited, carried out when it returned: the
    // settings are saved then, and nothing of the handler runs after it.
    QCOMPARE(tries, 1);
    QVERIFY(!closed);
    QCOMPARE(savedDuringExchange, QStringLiteral("?"));
    QVERIFY(!w->isVisible());
    QCOMPARE(rig.messages.texts(), QStringList());
    QCOMPARE(w->dev()->sGetINI("COMport", "number", "?"), QStringLiteral("3"));
    QCOMPARE(rig.frames().size(), 1);
}

QTEST_MAIN(TestCommission)
#include "tst_commission_window.moc"
