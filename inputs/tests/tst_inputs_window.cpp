// The sensor input window driven through its controls, the link talking to
// scripted answers.

#include "inputs_window.h"
#include "statusbar.h"
#include "windowrig.h"
#include "windowstyle.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QtTest>

using inputs::frmMain;
using Rig = testsupport::ScriptedRig<frmMain>;

namespace {

QString frame(const QString& fields)
{
    return QLatin1Char(':') + fields + QStringLiteral("\r\n");
}

QString answer(const QString& value)
{
    return QLatin1Char('!') + value + QStringLiteral(";\r\n");
}

// A module behind the scripted port: writes (19, 27) are stored and
// confirmed, reads (20, 28, 26) answer what is stored. Frames whose address
// is in refuse are answered "!ERR;" (a write the module does not confirm).
struct Module {
    QMap<QString, QString> memory;   // "module;address" -> value as answered
    QStringList refuse;              // "command;address"
    QStringList stuck;               // "command;address": confirmed but not stored
    QStringList writes;              // the write frames, without CR LF

    void attach(testsupport::FakePort* port)
    {
        port->onWrite = [this, port](const QByteArray& bytes) {
            const QStringList f = QString::fromLatin1(bytes).trimmed().mid(1).split(QLatin1Char(';'));
            // network ; command ; module ; address [; value] ;
            const QString command = f.value(1);
            const QString key = f.value(2) + QLatin1Char(';') + f.value(3);
            if (refuse.contains(command + QLatin1Char(';') + f.value(3))) {
                port->reply(answer(QStringLiteral("ERR")).toLatin1());
                return;
            }
            if (command == QLatin1String("19") || command == QLatin1String("27")) {
                writes << QString::fromLatin1(bytes).trimmed();
                if (!stuck.contains(command + QLatin1Char(';') + f.value(3)))
                    memory[key] = f.value(4);
                port->reply(answer(QStringLiteral("OK")).toLatin1());
            } else if (command == QLatin1String("17")) {
                port->reply(answer(QStringLiteral("OK")).toLatin1());
            } else {
                port->reply(answer(memory.value(key, QStringLiteral("0"))).toLatin1());
            }
        };
    }
};

// The seven reads of a channel: command and address.
QStringList readFrames(int module, int ch)
{
    const QString m = QString::number(module);
    auto hex = [](int v) { return QString::number(v, 16).toUpper(); };
    return {
        frame(QStringLiteral("1;28;%1;%2;").arg(m, hex(0x20 + 4 * ch))),
        frame(QStringLiteral("1;28;%1;%2;").arg(m, hex(0x08 + 4 * ch))),
        frame(QStringLiteral("1;20;%1;%2;").arg(m, hex(0xE6 + ch))),
        frame(QStringLiteral("1;20;%1;%2;").arg(m, hex(0x00 + ch))),
        frame(QStringLiteral("1;20;%1;%2;").arg(m, hex(0xE0 + ch))),
        frame(QStringLiteral("1;28;%1;%2;").arg(m, hex(0xEC + 4 * ch))),
        frame(QStringLiteral("1;28;%1;%2;").arg(m, hex(0xB0 + 4 * ch))),
    };
}

const QStringList kReadSteps{
    QStringLiteral("Чтение диап_MAX"),     QStringLiteral("Чтение диап_MIN"),
    QStringLiteral("Чтение флагов"),       QStringLiteral("Чтение типа датчика"),
    QStringLiteral("Чтение способа подключения"), QStringLiteral("Чтение смещения"),
    QStringLiteral("Чтение сопротивления линии"),
};

} // namespace

class TestInputsWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void startUp();
    void controlsAndTips_data();
    void controlsAndTips();
    void captionsAreReadable();
    void secondModule();
    void sensorChoiceSendsNothing();
    void networkAddressChosenIsUsed();
    void readChannel1();
    void readAborts_data();
    void readAborts();
    void sensorCodeOutOfRange_data();
    void sensorCodeOutOfRange();
    void bytesThatAreNotBytes();
    void flagsRoundTrip();
    void writeChannel6();
    void writeChecksEveryBoxFirst_data();
    void writeChecksEveryBoxFirst();
    void writeStopsAtFirstFailure_data();
    void writeStopsAtFirstFailure();
    void noSensorTypeChosenNoneWritten();
    void measuredValue_data();
    void measuredValue();
    void converterRestart_data();
    void converterRestart();
    void badFlashKey_data();
    void badFlashKey();
    void flashKeysMoveAddresses();
    void closeDuringReadWaits();
    void closeDuringWriteWaits();
    void unpluggedLine();
};

void TestInputsWindow::initTestCase()
{
    // The engineers' locale: a comma before the fraction.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestInputsWindow::startUp()
{
    Rig rig(QStringLiteral("[DEVICE]\nModuleNum=1\n"));
    QVERIFY(rig.loaded);
    frmMain& w = *rig.w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Настройка датчиков v3.0.13"));
    QCOMPARE(w.Modul->count(), 2);
    QCOMPARE(w.Modul->currentText(), QStringLiteral("Первый"));
    QCOMPARE(w.dev()->bModuleNumber, quint8(0));
    QCOMPARE(w.ChNum->count(), 6);
    QCOMPARE(w.ChNum->currentText(), QStringLiteral("Первый  (1)"));
    QCOMPARE(w.cbNetAdrr->count(), 256);
    QCOMPARE(w.cbNetAdrr->itemText(255), QStringLiteral("255"));
    QCOMPARE(w.cbNetAdrr->currentIndex(), 1);
    QCOMPARE(w.dev()->bNetAdrr, quint8(1));
    QCOMPARE(w.Wired->count(), 3);
    QCOMPARE(w.Wired->currentText(), QStringLiteral("2"));
    QCOMPARE(w.Sensors->count(), 23);
    QCOMPARE(w.Sensors->currentIndex(), 0);
    QCOMPARE(w.SensorsId->text(), QStringLiteral("0"));
    for (QLineEdit* box : {w.DiapMax, w.DiapMin, w.Flags, w.Bias, w.tbRl})
        QCOMPARE(box->text(), QStringLiteral("0"));
    QVERIFY(w.Value->text().isEmpty());
    QVERIFY(w.StatusBar->step().isEmpty());
    QVERIFY(rig.messages.texts().isEmpty());
    QVERIFY(rig.port->written.isEmpty());
}

void TestInputsWindow::controlsAndTips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Modul") << "Modul" << "" << "Номер модуля" << QRect(1320, 120, 1695, 315);
    QTest::newRow("cbNetAdrr") << "cbNetAdrr" << "" << "Сетевой номер прибора" << QRect(1320, 960, 1695, 315);
    QTest::newRow("cmbExit") << "cmbExit" << "Выход" << "" << QRect(3120, 120, 1635, 1155);
    QTest::newRow("DiapMax") << "DiapMax" << "" << "Максимальное значение датчика" << QRect(1080, 1500, 1875, 288);
    QTest::newRow("SensorsId") << "SensorsId" << "" << "Номер датчика" << QRect(1860, 2580, 1140, 288);
    QTest::newRow("Flags") << "Flags" << "" << "Флаги — шестнадцатеричное число: «10» — это 16"
                           << QRect(1080, 2220, 1875, 288);
    QTest::newRow("Sensors") << "Sensors" << "" << "Описание датчика" << QRect(60, 2940, 4755, 315);
    QTest::newRow("Wired") << "Wired" << "" << "Способ подключения датчика — шестнадцатеричное число: «10» — это 16"
                           << QRect(1500, 3300, 1395, 315);
    QTest::newRow("tbRl") << "tbRl" << "" << "Сопротивление линии" << QRect(1800, 4020, 1095, 285);
    QTest::newRow("cmbReload") << "cmbReload" << "Перезагрузка модуля АЦП" << "" << QRect(3060, 1500, 1695, 555);
    QTest::newRow("Read") << "Read" << "Прочитать" << "" << QRect(3060, 2100, 1695, 372);
    QTest::newRow("Write") << "Write" << "Записать" << "" << QRect(3060, 2520, 1695, 372);
    QTest::newRow("Value") << "Value" << "" << "Измеряема величина" << QRect(1860, 4560, 1035, 285);
    QTest::newRow("VRead") << "VRead" << "Прочитать" << "Прочитать измеряемую величину" << QRect(3000, 4500, 1755, 375);
}

void TestInputsWindow::controlsAndTips()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, tip);
    QFETCH(QRect, twips);
    Rig rig;
    auto* c = rig.w->findChild<QWidget*>(name);
    QVERIFY(c);
    QCOMPARE(c->toolTip(), tip);
    if (auto* b = qobject_cast<QPushButton*>(c))
        QCOMPARE(b->text(), text);
    // A control that sizes itself to its contents does so a moment after it is shown.
    QTRY_COMPARE(c->geometry(), QRect(QPoint(qRound(twips.left() / 15.0), qRound(twips.top() / 15.0)),
                                  QPoint(qRound((twips.left() + twips.width()) / 15.0) - 1,
                                         qRound((twips.top() + twips.height()) / 15.0) - 1)));
}

void TestInputsWindow::captionsAreReadable()
{
    Rig rig;
    frmMain& w = *rig.w;
    // Every label's caption fits its label.
    for (QLabel* l : w.findChildren<QLabel*>()) {
        if (l->parentWidget() != &w)
            continue;
        QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), qPrintable(l->objectName()));
        QVERIFY2(l->fontMetrics().height() <= l->height(), qPrintable(l->objectName()));
    }
    // Button captions fit on the lines their button has.
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        const QRect need = b->fontMetrics().boundingRect(QRect(0, 0, b->width() - 8, 1000),
                                                        Qt::AlignCenter | Qt::TextWordWrap, b->text());
        QVERIFY2(need.width() <= b->width() - 8 && need.height() <= b->height() - 4, qPrintable(b->objectName()));
    }
    // Every sensor text is shown whole in the closed list and in its drop-down.
    QVERIFY2(w.Sensors->sizeHint().width() <= w.Sensors->width(), qPrintable(QString::number(w.Sensors->sizeHint().width())));
    for (int i = 0; i < w.Sensors->count(); ++i)
        QVERIFY2(w.Sensors->view()->fontMetrics().horizontalAdvance(w.Sensors->itemText(i))
                     < w.Sensors->view()->minimumWidth(), qPrintable(w.Sensors->itemText(i)));
}

void TestInputsWindow::secondModule()
{
    Rig rig;
    frmMain& w = *rig.w;
    w.Modul->setCurrentIndex(1);
    QCOMPARE(w.dev()->bModuleNumber, quint8(1));
    QCOMPARE(w.ChNum->count(), 6);
    QCOMPARE(w.ChNum->currentIndex(), 0);
    QCOMPARE(w.ChNum->itemText(0), QStringLiteral("Первый  (7)"));
    QCOMPARE(w.ChNum->itemText(5), QStringLiteral("Шестой  (12)"));
    w.ChNum->setCurrentIndex(2);
    Module module;
    module.attach(rig.port);
    QTest::mouseClick(w.Read, Qt::LeftButton);
    // The third channel of the module, module 1 in the frames.
    QCOMPARE(rig.frames(), readFrames(1, 2));
    w.Modul->setCurrentIndex(0);
    QCOMPARE(w.ChNum->itemText(0), QStringLiteral("Первый  (1)"));
    QCOMPARE(w.dev()->bModuleNumber, quint8(0));
}

void TestInputsWindow::sensorChoiceSendsNothing()
{
    Rig rig;
    rig.w->Sensors->setCurrentIndex(13);
    QCOMPARE(rig.w->SensorsId->text(), QStringLiteral("13"));
    QVERIFY(rig.port->written.isEmpty());
}

void TestInputsWindow::networkAddressChosenIsUsed()
{
    Rig rig;
    frmMain& w = *rig.w;
    w.cbNetAdrr->setFocus();
    w.cbNetAdrr->setCurrentIndex(7);
    rig.replies({answer("1.5")});
    QTest::mouseClick(w.VRead, Qt::LeftButton);
    QCOMPARE(rig.frames().value(0), frame("7;26;0;EF;"));
}

void TestInputsWindow::readChannel1()
{
    Rig rig;
    frmMain& w = *rig.w;
    w.Sensors->setCurrentIndex(3);
    rig.replies({answer("100"), answer("-50.5"), answer("1F"), answer("9"), answer("3"), answer("0.25"),
                 answer("1.5E1")});
    QStringList steps;
    QList<bool> enabled;
    rig.port->onWrite = [&](const QByteArray&) {
        steps << w.StatusBar->step();
        enabled << w.Read->isEnabled();
    };
    QTest::mouseClick(w.Read, Qt::LeftButton);
    QCOMPARE(rig.frames(), readFrames(0, 0));
    QCOMPARE(steps, kReadSteps);
    QCOMPARE(enabled, QList<bool>(7, false));
    QCOMPARE(w.DiapMax->text(), QStringLiteral("100"));
    QCOMPARE(w.DiapMin->text(), QStringLiteral("-50,5"));
    QCOMPARE(w.Flags->text(), QStringLiteral("1F"));
    QCOMPARE(w.Sensors->currentIndex(), 9);
    QCOMPARE(w.SensorsId->text(), QStringLiteral("9"));
    // The list keeps its place and size whatever it shows.
    QCOMPARE(w.Sensors->geometry(), instrument::twipsRect(60, 2940, 4755, 315));
    QCOMPARE(w.Wired->currentText(), QStringLiteral("3"));
    QCOMPARE(w.Wired->currentIndex(), 1);
    QCOMPARE(w.Bias->text(), QStringLiteral("0,25"));
    QCOMPARE(w.tbRl->text(), QStringLiteral("15"));
    QVERIFY(w.Read->isEnabled());
    QVERIFY(w.StatusBar->step().isEmpty());
    QVERIFY(rig.messages.texts().isEmpty());
}

void TestInputsWindow::readAborts_data()
{
    QTest::addColumn<int>("failing");
    QTest::addColumn<QString>("bad");
    QTest::addColumn<QString>("message");
    const QString silent;
    const QString nan = QStringLiteral("Ошибка: В памяти прибора по данному адресу находится чило в неверном формате");
    const QString mute = QStringLiteral("Ошибка: Прибор не отвечает");
    QTest::newRow("DiapMax NaN") << 0 << answer("NaN") << nan;
    QTest::newRow("DiapMin silent") << 1 << silent << mute;
    QTest::newRow("Flags silent") << 2 << silent << mute;
    QTest::newRow("sensor ERR") << 3 << QStringLiteral("ERR\r\n") << QStringLiteral("Ошибка: Прибор выдает ошибку");
    QTest::newRow("Wired silent") << 4 << silent << mute;
    QTest::newRow("Bias NaN") << 5 << answer("NaN") << nan;
    QTest::newRow("line resistance silent") << 6 << silent << mute;
}

void TestInputsWindow::readAborts()
{
    QFETCH(int, failing);
    QFETCH(QString, bad);
    QFETCH(QString, message);
    Rig rig;
    frmMain& w = *rig.w;
    const QStringList good{answer("11"), answer("12"), answer("13"), answer("5"), answer("4"), answer("16"),
                           answer("17")};
    QStringList replies = good.mid(0, failing);
    // A NaN ends at once; anything else is asked three times.
    const int attempts = bad.contains(QLatin1String("NaN")) ? 1 : 3;
    for (int i = 0; i < attempts; ++i)
        replies << bad;
    rig.replies(replies);
    QTest::mouseClick(w.Read, Qt::LeftButton);

    QCOMPARE(rig.messages.texts(), QStringList{message});
    QCOMPARE(rig.messages.messages().first().title, QStringLiteral("Inputs"));
    QCOMPARE(rig.messages.messages().first().icon, QMessageBox::NoIcon);
    QCOMPARE(rig.port->written.size(), failing + attempts);
    QVERIFY(w.Read->isEnabled());
    QVERIFY(w.StatusBar->step().isEmpty());
    // Filled before the failure, emptied at it, untouched after it.
    const QList<QString> shown{w.DiapMax->text(), w.DiapMin->text(), w.Flags->text(), w.SensorsId->text(),
                               w.Wired->currentText(), w.Bias->text(), w.tbRl->text()};
    const QStringList filled{"11", "12", "13", "5", "4", "16", "17"};
    const QStringList before{"0", "0", "0", "0", "2", "0", "0"};
    for (int i = 0; i < 7; ++i) {
        const QString expected = i < failing ? filled[i] : i == failing ? QString() : before[i];
        QCOMPARE(shown[i], expected);
    }
}

void TestInputsWindow::sensorCodeOutOfRange_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("shown");
    const QString tooLarge = QStringLiteral("Слишком большой номер типа датчика");
    QTest::newRow("22 is the last") << "16" << 22 << "22";
    QTest::newRow("23") << "17" << -1 << tooLarge;
    QTest::newRow("255") << "FF" << -1 << tooLarge;
    QTest::newRow("511 from a wide answer") << "1FF" << -1 << tooLarge;
    QTest::newRow("FFFF comes as -1") << "FFFF" << -1 << tooLarge;
}

void TestInputsWindow::sensorCodeOutOfRange()
{
    QFETCH(QString, code);
    QFETCH(int, selected);
    QFETCH(QString, shown);
    Rig rig;
    frmMain& w = *rig.w;
    w.Sensors->setCurrentIndex(5);
    rig.replies({answer("1"), answer("2"), answer("3"), answer(code), answer("4"), answer("5"), answer("6")});
    QTest::mouseClick(w.Read, Qt::LeftButton);
    // Not an error: the read goes on to the end.
    QVERIFY(rig.messages.texts().isEmpty());
    QCOMPARE(rig.port->written.size(), 7);
    QCOMPARE(w.tbRl->text(), QStringLiteral("6"));
    QCOMPARE(w.Sensors->currentIndex(), selected);
    QCOMPARE(w.SensorsId->text(), shown);
    if (selected < 0) {
        // The list shows no type but the whole message, and it fits.
        QVERIFY(w.Sensors->placeholderText().startsWith(shown));
        QVERIFY(w.Sensors->fontMetrics().horizontalAdvance(w.Sensors->placeholderText()) < w.Sensors->width() - 20);
    }

    // The next write sends the type the list shows, and none when it shows none.
    Module module;
    module.attach(rig.port);
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    const QString typeWrite = QStringLiteral(":1;19;0;0;%1;").arg(QString::number(selected, 16).toUpper());
    QCOMPARE(module.writes.contains(typeWrite), selected >= 0);
    QCOMPARE(module.writes.filter(QStringLiteral(":1;19;0;0;")).isEmpty(), selected < 0);
}

void TestInputsWindow::bytesThatAreNotBytes()
{
    Rig rig;
    frmMain& w = *rig.w;
    // The link gives FFFF as -1 and 1FF as 511: the boxes show what the module holds.
    rig.replies({answer("1"), answer("2"), answer("FFFF"), answer("3"), answer("1FF"), answer("4"), answer("5")});
    QTest::mouseClick(w.Read, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    QCOMPARE(w.Flags->text(), QStringLiteral("FFFF"));
    QCOMPARE(w.Wired->currentText(), QStringLiteral("1FF"));
    QCOMPARE(w.Wired->currentIndex(), -1);

    // Written back unchanged, they are refused before the first frame.
    const int before = rig.port->written.size();
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QCOMPARE(rig.port->written.size(), before);
    QCOMPARE(rig.messages.texts().size(), 1);
    QVERIFY(rig.messages.texts().first().contains(QStringLiteral("«Флаги»")));
    QVERIFY(rig.messages.texts().first().contains(QStringLiteral("«FFFF»")));
    w.Flags->setText(QStringLiteral("7"));
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QCOMPARE(rig.port->written.size(), before);
    QVERIFY(rig.messages.texts().last().contains(QStringLiteral("«Тип подключения»")));
}

void TestInputsWindow::flagsRoundTrip()
{
    Rig rig;
    frmMain& w = *rig.w;
    Module module;
    module.memory[QStringLiteral("0;E6")] = QStringLiteral("1F");
    module.memory[QStringLiteral("0;E0")] = QStringLiteral("A");
    module.memory[QStringLiteral("0;20")] = QStringLiteral("250");
    module.attach(rig.port);
    QTest::mouseClick(w.Read, Qt::LeftButton);
    QCOMPARE(w.Flags->text(), QStringLiteral("1F"));
    QCOMPARE(w.Wired->currentText(), QStringLiteral("A"));
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    QVERIFY(module.writes.contains(QStringLiteral(":1;19;0;E6;1F;")));
    QVERIFY(module.writes.contains(QStringLiteral(":1;19;0;E0;A;")));
    QVERIFY(module.writes.contains(QStringLiteral(":1;27;0;20;0.25e3;")));
    QCOMPARE(module.memory.value(QStringLiteral("0;E6")), QStringLiteral("1F"));
}

void TestInputsWindow::writeChannel6()
{
    Rig rig;
    frmMain& w = *rig.w;
    w.ChNum->setCurrentIndex(5);
    testsupport::typeInto(w.DiapMax, QStringLiteral("100"));
    testsupport::typeInto(w.DiapMin, QStringLiteral("-50"));
    testsupport::typeInto(w.Flags, QStringLiteral("1f"));
    w.Sensors->setCurrentIndex(12);
    testsupport::typeInto(w.Wired, QStringLiteral("4"));
    testsupport::typeInto(w.Bias, QStringLiteral("2,5"));
    testsupport::typeInto(w.tbRl, QStringLiteral("0,75"));
    Module module;
    module.attach(rig.port);
    QMap<QString, QString> steps;   // write frame -> status text
    bool enabled = false;
    auto attached = rig.port->onWrite;
    rig.port->onWrite = [&](const QByteArray& bytes) {
        steps[QString::fromLatin1(bytes).trimmed()] = w.StatusBar->step();
        enabled = enabled || w.Write->isEnabled();
        attached(bytes);
    };
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    QVERIFY(!enabled);
    QVERIFY(w.Write->isEnabled());
    QVERIFY(w.StatusBar->step().isEmpty());

    QStringList expected;
    auto four = [&](const QString& command, int first, const QString& value) {
        for (int copy = 0; copy < 4; ++copy)
            expected << QStringLiteral(":1;%1;0;%2;%3;")
                            .arg(command, QString::number(first + 512 * copy, 16).toUpper(), value);
    };
    four("27", 0x20 + 20, "0.1e3");
    four("27", 0x08 + 20, "-0.5e2");
    four("19", 0xE6 + 5, "1F");
    four("19", 0x00 + 5, "C");
    four("19", 0xE0 + 5, "4");
    four("27", 0xEC + 20, "0.25e1");
    four("27", 0xB0 + 20, "0.75e0");
    QCOMPARE(module.writes, expected);
    // The offset of channel 6 at 100, 300, 500 and 700.
    QCOMPARE(expected.mid(20, 4), (QStringList{":1;27;0;100;0.25e1;", ":1;27;0;300;0.25e1;", ":1;27;0;500;0.25e1;",
                                               ":1;27;0;700;0.25e1;"}));
    QCOMPARE(steps.value(":1;27;0;100;0.25e1;"), QStringLiteral("Запись смещения"));
    QCOMPARE(steps.value(":1;19;0;5;C;"), QStringLiteral("Запись типа датчиков"));
    QCOMPARE(steps.value(":1;27;0;C4;0.75e0;"), QStringLiteral("Запись сопротивления линии"));
    QCOMPARE(w.Bias->text(), QStringLiteral("2,5"));
}

void TestInputsWindow::writeChecksEveryBoxFirst_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");   // empty: the write goes ahead without the box
    QTest::newRow("DiapMax empty") << "DiapMax" << "" << "";
    QTest::newRow("Flags blank") << "Flags" << "  " << "";
    QTest::newRow("Wired empty") << "Wired" << "" << "";
    QTest::newRow("tbRl empty") << "tbRl" << "" << "";
    QTest::newRow("DiapMax letters") << "DiapMax" << "abc" << "Диап_MAX";
    QTest::newRow("DiapMin point in a comma locale") << "DiapMin" << "1.5" << "Диап_MIN";
    QTest::newRow("Flags three digits") << "Flags" << "100" << "Флаги";
    QTest::newRow("Flags decimal fraction") << "Flags" << "1,5" << "Флаги";
    QTest::newRow("Wired letter") << "Wired" << "x" << "Тип подключения";
    QTest::newRow("Bias two numbers") << "Bias" << "1 2" << "Смещение";
    QTest::newRow("tbRl too many digits") << "tbRl" << "1,2345678" << "Сопротивление линии";
}

void TestInputsWindow::writeChecksEveryBoxFirst()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, named);
    Rig rig;
    frmMain& w = *rig.w;
    if (auto* combo = w.findChild<QComboBox*>(box))
        combo->setEditText(text);
    else
        w.findChild<QLineEdit*>(box)->setText(text);
    Module module;
    module.attach(rig.port);
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QVERIFY(w.Write->isEnabled());
    if (!named.isEmpty()) {
        QCOMPARE(rig.messages.texts().size(), 1);
        const QString m = rig.messages.texts().first();
        QVERIFY2(m.startsWith(QStringLiteral("Ошибка: в поле «") + named + QStringLiteral("» «") + text + QStringLiteral("»"))
                     && m.endsWith(QStringLiteral(": ничего не записано")), qPrintable(m));
        QVERIFY(rig.port->written.isEmpty());
        return;
    }
    QVERIFY(rig.messages.texts().isEmpty());
    // Six parameters of four copies each; the empty one is left out.
    QCOMPARE(module.writes.size(), 24);
    const QMap<QString, QString> address{{"DiapMax", "20"}, {"Flags", "E6"}, {"Wired", "E0"}, {"tbRl", "B0"}};
    for (const QString& f : module.writes)
        QVERIFY2(!f.contains(';' + address.value(box) + ';'), qPrintable(f));
}

void TestInputsWindow::writeStopsAtFirstFailure_data()
{
    QTest::addColumn<bool>("stuck");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("writes");
    // The third copy of the flags is not confirmed: three attempts.
    QTest::newRow("not confirmed") << false << "Ошибка: Не удалось записать в прибор" << 4 + 4 + 2;
    // Confirmed but not kept: the read-back differs, written three times.
    QTest::newRow("not kept") << true << "Ошибка: Не совпадение прочитанного с тем, что записали.||3<>0" << 4 + 4 + 2 + 3;
}

void TestInputsWindow::writeStopsAtFirstFailure()
{
    QFETCH(bool, stuck);
    QFETCH(QString, message);
    QFETCH(int, writes);
    Rig rig;
    frmMain& w = *rig.w;
    testsupport::typeInto(w.Flags, QStringLiteral("3"));
    Module module;
    (stuck ? module.stuck : module.refuse) << QStringLiteral("19;4E6");
    module.attach(rig.port);
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QCOMPARE(rig.messages.texts(), QStringList{message});
    QCOMPARE(module.writes.size(), writes);
    QVERIFY(!module.writes.join(' ').contains(QLatin1String(";19;0;0;")));
    QVERIFY(w.Write->isEnabled());
    QVERIFY(w.StatusBar->step().isEmpty());
    QCOMPARE(w.Flags->text(), QStringLiteral("3"));
}

void TestInputsWindow::noSensorTypeChosenNoneWritten()
{
    Rig rig;
    frmMain& w = *rig.w;
    w.Sensors->setCurrentIndex(-1);
    QVERIFY(w.SensorsId->text().isEmpty());
    Module module;
    module.attach(rig.port);
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    // The other six parameters go; no type is made up for the module.
    QCOMPARE(module.writes.size(), 24);
    QVERIFY(module.writes.filter(QStringLiteral(":1;19;0;0;")).isEmpty());
}

void TestInputsWindow::measuredValue_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("channel 1") << 0 << QStringList{answer("21.5")} << "EF" << "21,5" << "";
    QTest::newRow("channel 6") << 5 << QStringList{answer("-3")} << "103" << "-3" << "";
    QTest::newRow("long value") << 0 << QStringList{answer("17.978985191498374")} << "EF" << "17,9789851914984" << "";
    QTest::newRow("broken sensor") << 2 << QStringList{answer("NaN")} << "F7" << ""
                                   << "Ошибка: В памяти прибора по данному адресу находится чило в неверном формате";
    QTest::newRow("silent") << 1 << QStringList{} << "F3" << "" << "Ошибка: Прибор не отвечает";
}

void TestInputsWindow::measuredValue()
{
    QFETCH(int, channel);
    QFETCH(QStringList, replies);
    QFETCH(QString, address);
    QFETCH(QString, value);
    QFETCH(QString, message);
    Rig rig;
    frmMain& w = *rig.w;
    w.ChNum->setCurrentIndex(channel);
    w.Value->setText(QStringLiteral("99"));
    w.Bias->setText(QStringLiteral("7"));
    rig.replies(replies);
    QTest::mouseClick(w.VRead, Qt::LeftButton);
    QCOMPARE(rig.frames().value(0), frame(QStringLiteral("1;26;0;%1;").arg(address)));
    QCOMPARE(w.Value->text(), value);
    // A long value is shown from its start, not its end.
    QCOMPARE(w.Value->cursorPosition(), 0);
    QCOMPARE(rig.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(w.Bias->text(), QStringLiteral("7"));
    QCOMPARE(w.DiapMax->text(), QStringLiteral("0"));
    QVERIFY(w.StatusBar->step().isEmpty());
    QVERIFY(w.VRead->isEnabled());
}

void TestInputsWindow::converterRestart_data()
{
    QTest::addColumn<int>("module");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("message");
    QTest::newRow("first module") << 0 << QStringList{answer("OK")} << 1 << "";
    QTest::newRow("second module") << 1 << QStringList{answer("OK")} << 1 << "";
    QTest::newRow("not confirmed") << 0 << QStringList{answer("ERR"), answer("ERR"), answer("ERR")} << 3
                                   << "Ошибка: Не удалось записать в прибор";
    QTest::newRow("silent") << 1 << QStringList{} << 3 << "Ошибка: Прибор не отвечает";
}

void TestInputsWindow::converterRestart()
{
    QFETCH(int, module);
    QFETCH(QStringList, replies);
    QFETCH(int, frames);
    QFETCH(QString, message);
    Rig rig;
    frmMain& w = *rig.w;
    w.Modul->setCurrentIndex(module);
    w.ChNum->setCurrentIndex(4);
    rig.replies(replies);
    QTest::mouseClick(w.cmbReload, Qt::LeftButton);
    // The module index, not the list's text.
    QCOMPARE(rig.frames(), QStringList(frames, frame(QStringLiteral("1;17;%1;44B;1;").arg(module))));
    QCOMPARE(rig.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(w.cmbReload->isEnabled());
}

void TestInputsWindow::badFlashKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("letters") << "DAT" << "xyz";
    QTest::newRow("fraction") << "FLAG" << "1,5";
    QTest::newRow("empty") << "WR" << "";
    QTest::newRow("last copy leaves 16 bits") << "BIAS" << "&H7A00";
    QTest::newRow("decimal too large") << "DIAP_MAX" << "31300";
    QTest::newRow("five hex digits") << "DIAP_MIN" << "&H10000";
    QTest::newRow("below the range") << "DIAP_MIN" << "-32769";
}

void TestInputsWindow::badFlashKey()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    Rig rig(QStringLiteral("[Flash]\n%1=%2\n").arg(key, value));
    QVERIFY(rig.loaded);
    frmMain& w = *rig.w;
    QCOMPARE(rig.messages.texts().size(), 1);
    const QString atStart = rig.messages.texts().first();
    for (const QString& part : {QStringLiteral("\"dev.dat\""), QStringLiteral("[Flash]"), key,
                                QStringLiteral("\"%1\"").arg(value)})
        QVERIFY2(atStart.contains(part), qPrintable(atStart));
    QCOMPARE(rig.messages.messages().first().title, QStringLiteral("Inputs"));

    QTest::mouseClick(w.Read, Qt::LeftButton);
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QVERIFY(rig.port->written.isEmpty());
    QCOMPARE(rig.messages.texts().size(), 3);
    for (int i : {1, 2})
        QVERIFY2(rig.messages.texts().at(i).contains(key), qPrintable(rig.messages.texts().at(i)));

    // The measured value and the restart do not need the key.
    rig.replies({answer("5"), answer("OK")});
    QTest::mouseClick(w.VRead, Qt::LeftButton);
    QTest::mouseClick(w.cmbReload, Qt::LeftButton);
    QCOMPARE(rig.frames(), (QStringList{frame("1;26;0;EF;"), frame("1;17;0;44B;1;")}));
    QCOMPARE(w.Value->text(), QStringLiteral("5"));
    QCOMPARE(rig.messages.texts().size(), 3);
}

void TestInputsWindow::flashKeysMoveAddresses()
{
    // Hexadecimal in either case, or decimal; the highest allowed base still works.
    Rig rig(QStringLiteral("[Flash]\nDIAP_MAX=&h40\nDIAP_MIN=200\nFLAG=&H79E8\nDAT=-5\nWR=&HE0\nBIAS=&HEC\n"));
    frmMain& w = *rig.w;
    QVERIFY(rig.messages.texts().isEmpty());
    w.ChNum->setCurrentIndex(1);
    Module module;
    module.attach(rig.port);
    QTest::mouseClick(w.Read, Qt::LeftButton);
    const QStringList f = rig.frames();
    QCOMPARE(f.value(0), frame("1;28;0;44;"));
    QCOMPARE(f.value(1), frame("1;28;0;CC;"));
    QCOMPARE(f.value(2), frame("1;20;0;79E9;"));
    QCOMPARE(f.value(3), frame("1;20;0;FFFC;"));
    testsupport::typeInto(w.Flags, QStringLiteral("2"));
    QTest::mouseClick(w.Write, Qt::LeftButton);
    QVERIFY(rig.messages.texts().isEmpty());
    QVERIFY(module.writes.contains(":1;19;0;7FE9;2;"));
}

void TestInputsWindow::closeDuringReadWaits()
{
    Rig rig;
    frmMain& w = *rig.w;
    rig.replies({answer("1"), answer("2"), answer("3")});
    rig.port->onWrite = [&](const QByteArray&) {
        if (rig.port->written.isEmpty())
            w.close();
    };
    QTest::mouseClick(w.Read, Qt::LeftButton);
    // The close waited for the exchange that ran, and nothing ran after it.
    QCOMPARE(rig.port->written.size(), 1);
    QVERIFY(!w.isVisible());
    QVERIFY(rig.messages.texts().isEmpty());
}

void TestInputsWindow::closeDuringWriteWaits()
{
    Rig rig;
    frmMain& w = *rig.w;
    Module module;
    module.attach(rig.port);
    auto attached = rig.port->onWrite;
    rig.port->onWrite = [&](const QByteArray& bytes) {
        attached(bytes);
        // During the read-back of the second copy.
        if (rig.port->written.size() == 3)
            w.close();
    };
    QTest::mouseClick(w.Write, Qt::LeftButton);
    // The parameter being written gets all its copies, then nothing more;
    // one box says what the module got.
    QCOMPARE(rig.port->written.size(), 8);
    QVERIFY(!w.isVisible());
    QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral(
        "Окно закрыто во время записи.\nЗаписано: Диап_MAX.\n"
        "Не записано: Диап_MIN, Флаги, Датчик, Тип подключения, Смещение, Сопротивление линии.")});
}

void TestInputsWindow::unpluggedLine()
{
    Rig rig;
    frmMain& w = *rig.w;
    rig.port->openFailure = QStringLiteral("нет такого устройства");
    QTest::mouseClick(w.Read, Qt::LeftButton);
    QCOMPARE(rig.messages.texts().size(), 1);
    QVERIFY2(rig.messages.texts().first().startsWith(QStringLiteral("Ошибка: ") + instrument::kSystemErrorPrefix),
             qPrintable(rig.messages.texts().first()));
    QVERIFY(w.DiapMax->text().isEmpty());
    QCOMPARE(w.DiapMin->text(), QStringLiteral("0"));
    QVERIFY(w.Read->isEnabled());
}

QTEST_MAIN(TestInputsWindow)
#include "tst_inputs_window.moc"
