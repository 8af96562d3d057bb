// The setpoint window against scripted answers: start-up, the address of
// every parameter, what each read shows, the frames of the writes, the boxes
// refused before anything is sent, and what a failing link leaves behind.

#include "limits_window.h"
#include "statusbar.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtTest>

using limits::frmMain;
using Rig = testsupport::ScriptedRig<frmMain>;
using testsupport::buttonNamed;
using testsupport::click;

namespace {

// An answer of the instrument: "!" value ";" CR LF.
QString ans(const QString& value)
{
    return QStringLiteral("!%1;\r\n").arg(value);
}

QStringList answers(const QStringList& values)
{
    QStringList out;
    for (const QString& v : values)
        out << (v.isEmpty() ? QString() : v == QLatin1String("ERR") ? QStringLiteral("ERR\r\n") : ans(v));
    return out;
}

// Frames to network address 1, written as command;fields.
QStringList frames(const QStringList& bodies, int address = 1)
{
    QStringList out;
    for (const QString& b : bodies)
        out << QStringLiteral(":%1;%2\r\n").arg(address).arg(b);
    return out;
}

// A decimal text in the locale's notation ("12.5" -> "12,5" where the comma is used).
QString local(const frmMain* w, QString text)
{
    return text.replace(QLatin1Char('.'), const_cast<frmMain*>(w)->dev()->sFloatingPointSeparator);
}

void selectChannel(frmMain* w, int module, int channel)
{
    w->ModulNum->setCurrentIndex(module);
    w->ChNum->setCurrentIndex(channel);
}

// Every control of the window that the user could use.
QList<QWidget*> controls(frmMain* w)
{
    QList<QWidget*> out;
    for (QWidget* c : w->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!qobject_cast<QLabel*>(c) && c != w->StatusBar && !c->isWindow())
            out << c;
    return out;
}

bool anyEnabled(frmMain* w)
{
    for (QWidget* c : controls(w))
        if (c->isEnabled() && (qobject_cast<QPushButton*>(c) || qobject_cast<QComboBox*>(c)
                               || qobject_cast<QLineEdit*>(c) || qobject_cast<QCheckBox*>(c)))
            return true;
    return false;
}

bool allEnabled(frmMain* w)
{
    for (QWidget* c : controls(w))
        if (!c->isEnabled())
            return false;
    return true;
}

// The window as seen at each frame: was anything usable, what did panel 1 say.
struct Watch {
    QStringList steps;
    QList<bool> usable;
    void attach(Rig& rig)
    {
        frmMain* w = rig.w.get();
        rig.port->onWrite = [this, w](const QByteArray&) {
            steps << w->StatusBar->step();
            usable << anyEnabled(w);
        };
    }
};

} // namespace

class TestLimitsWindow : public QObject {
    Q_OBJECT
private slots:
    void startUp();
    void badLinkKeyStopsTheStart();
    void tabOrder();
    void captionsFitTheirControls();
    void moduleChangeRefillsChannels();
    void networkAddressGoesIntoTheFrames();

    void readSetpoint_data();
    void readSetpoint();
    void failedReadStopsAtThatStep_data();
    void failedReadStopsAtThatStep();
    void noPortStopsTheOperation_data();
    void noPortStopsTheOperation();
    void parameterReads_data();
    void parameterReads();
    void baseAddressFromDevDat_data();
    void baseAddressFromDevDat();
    void badFlashKey_data();
    void badFlashKey();

    void writeSetpointFrames_data();
    void writeSetpointFrames();
    void parameterWrites_data();
    void parameterWrites();
    void typeCodeFromAReadIsNotWritten();
    void failedPairStopsTheOperation_data();
    void failedPairStopsTheOperation();
    void badBoxRefusedBeforeAnyExchange_data();
    void badBoxRefusedBeforeAnyExchange();

    void closeDuringAnExchange_data();
    void closeDuringAnExchange();
};

// ---- the window ---------------------------------------------------------------------

void TestLimitsWindow::startUp()
{
    Rig rig;
    QVERIFY(rig.loaded);
    frmMain* w = rig.w.get();
    QCOMPARE(w->windowTitle(), QStringLiteral("Установка уставок v3.0.15"));
    QCOMPARE(w->size(), QSize(318, 509));
    QVERIFY(rig.messages.messages().isEmpty());
    QVERIFY(rig.frames().isEmpty());

    QCOMPARE(w->Type1->count(), 9);
    QCOMPARE(w->Type1->currentText(), QStringLiteral("Нет уставки"));
    QCOMPARE(w->Type2->itemText(3), QStringLiteral("Быстрое уменьшение с памятью"));
    QVERIFY(w->Type1->isEditable());
    QVERIFY(!w->cbDig->isEditable());
    QCOMPARE(w->ModulNum->count(), 2);
    QCOMPARE(w->ModulNum->currentText(), QStringLiteral("1"));
    QCOMPARE(w->ChNum->count(), 6);
    QCOMPARE(w->ChNum->currentText(), QStringLiteral("1"));
    QCOMPARE(w->cbDig->currentText(), QStringLiteral("0"));
    QCOMPARE(w->cbActTH->count(), 10);
    QCOMPARE(w->cbActTH->currentText(), QStringLiteral("1"));
    QCOMPARE(w->cbNetAdrr->count(), 256);
    QCOMPARE(w->cbNetAdrr->currentText(), QStringLiteral("1"));
    QCOMPARE(int(w->dev()->bNetAdrr), 1);
    QCOMPARE(w->Value1->text(), QStringLiteral("0"));
    QCOMPARE(w->Gis1->text(), QStringLiteral("1"));
    QCOMPARE(w->Usred->text(), QStringLiteral("1"));
    QVERIFY(!w->chDis->isChecked());

    QCOMPARE(w->StatusBar->step(), QString());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d$")).match(w->StatusBar->panel2->text()).hasMatch());
    w->StatusBar->setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(9, 7, 41)); });
    QCOMPARE(w->StatusBar->panel2->text(), QStringLiteral("09:07"));
    QVERIFY(w->StatusBar->geometry().bottom() < w->height());
    QVERIFY(w->StatusBar->geometry().top() >= w->cmbDisWrite->geometry().bottom());
}

void TestLimitsWindow::badLinkKeyStopsTheStart()
{
    Rig rig(QStringLiteral("[SETTINGS]\nTimeOut=soon\n"));
    QVERIFY(!rig.loaded);
    QCOMPARE(rig.messages.messages().size(), 1);
    QCOMPARE(rig.messages.messages().first().title, QStringLiteral("Limits"));
    QVERIFY(rig.messages.texts().first().contains(QStringLiteral("TimeOut")));
    QVERIFY(rig.frames().isEmpty());
}

void TestLimitsWindow::tabOrder()
{
    Rig rig;
    frmMain* w = rig.w.get();
    const QStringList expected{
        "ModulNum", "ChNum",    "Value1",      "Gis1",         "Read1",         "Write1",  "Value2",
        "Gis2",     "Read2",    "Write2",      "Type1",        "Type2",         "Usred",   "ReadUsr",
        "WriteUsr", "cmdExit",  "cbNetAdrr",   "cmbDigRead",   "cmbDigWrite",   "cbDig",   "cbActTH",
        "cmbActTHRead", "cmbActTHWrite", "chDis", "cmbDisRead", "cmbDisWrite"};
    QStringList seen;
    QWidget* c = w->ModulNum;
    for (int i = 0; i < 400 && seen.size() < expected.size(); ++i, c = c->nextInFocusChain())
        if (expected.contains(c->objectName()) && !seen.contains(c->objectName()))
            seen << c->objectName();
    QCOMPARE(seen, expected);
}

void TestLimitsWindow::captionsFitTheirControls()
{
    Rig rig;
    frmMain* w = rig.w.get();
    for (QLabel* l : w->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QFontMetrics fm(l->font());
        int flags = int(l->alignment());
        if (l->wordWrap())
            flags |= Qt::TextWordWrap;
        const QRect needed = fm.boundingRect(QRect(0, 0, l->width(), 1000), flags, l->text());
        QVERIFY2(needed.width() <= l->width() && needed.height() <= l->height(),
                 qPrintable(QStringLiteral("%1 needs %2x%3").arg(l->objectName()).arg(needed.width()).arg(needed.height())));
    }
    for (QPushButton* b : w->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QFontMetrics fm(b->font());
        QVERIFY2(fm.horizontalAdvance(b->text()) + 6 <= b->width() && fm.height() <= b->height(),
                 qPrintable(b->objectName()));
    }
    QStyleOptionButton option;
    option.initFrom(w->chDis);
    const int indicator = w->style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, w->chDis)
        + w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, w->chDis);
    const QRect text = QFontMetrics(w->chDis->font()).boundingRect(QRect(0, 0, 1000, 1000), 0, w->chDis->text());
    QVERIFY2(indicator + text.width() <= w->chDis->width(),
             qPrintable(QStringLiteral("%1 + %2 > %3").arg(indicator).arg(text.width()).arg(w->chDis->width())));
    QVERIFY(text.height() <= w->chDis->height());
    QCOMPARE(w->chDis->text().simplified(), QStringLiteral("Исключить канал из работы"));
}

void TestLimitsWindow::moduleChangeRefillsChannels()
{
    Rig rig;
    frmMain* w = rig.w.get();
    w->ChNum->setCurrentIndex(4);
    w->ModulNum->setCurrentIndex(1);
    QCOMPARE(w->ChNum->count(), 6);
    QCOMPARE(w->ChNum->itemText(0), QStringLiteral("7"));
    QCOMPARE(w->ChNum->itemText(5), QStringLiteral("12"));
    QCOMPARE(w->ChNum->currentText(), QStringLiteral("7"));
    rig.replies(answers({"5"}));
    click(w, "ReadUsr");
    QCOMPARE(rig.frames(), frames({"6;9;"}));   // nS of channel 7: 3 + 6
    w->ModulNum->setCurrentIndex(0);
    QCOMPARE(w->ChNum->currentText(), QStringLiteral("1"));
}

void TestLimitsWindow::networkAddressGoesIntoTheFrames()
{
    Rig rig;
    frmMain* w = rig.w.get();
    w->cbNetAdrr->setCurrentIndex(17);
    rig.replies(answers({"5"}));
    click(w, "ReadUsr");
    QCOMPARE(rig.frames(), frames({"6;3;"}, 17));
}

// ---- reads ------------------------------------------------------------------------------

void TestLimitsWindow::readSetpoint_data()
{
    QTest::addColumn<int>("module");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<int>("typeIndex");
    QTest::addColumn<QString>("typeText");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("hysteresis");

    QTest::newRow("module 2 channel 9, type 13 hex, hysteresis 0")
        << 1 << 2 << "Read1" << QStringList{"13", "12.5", "0"} << QStringList{"6;D0;", "12;9;", "12;D0;"} << 3
        << "Быстрое уменьшение с памятью" << "12.5" << "0.001";
    QTest::newRow("type 10 hex shows 16, no item") << 0 << 0 << "Read2" << QStringList{"10", "-3.5", "2"}
                                                  << QStringList{"6;12C;", "12;64;", "12;12C;"} << -1 << "16"
                                                  << "-3.5" << "2";
    QTest::newRow("channel 12, type 14 hex") << 1 << 5 << "Read2" << QStringList{"14", "1.5E3", "0.25"}
                                            << QStringList{"6;137;", "12;6F;", "12;137;"} << 7
                                            << "Быстрое увеличение с памятью" << "1500" << "0.25";
    QTest::newRow("channel 1, no setpoint") << 0 << 0 << "Read1" << QStringList{"0", "1", "1"}
                                           << QStringList{"6;C8;", "12;1;", "12;C8;"} << 0 << "Нет уставки" << "1"
                                           << "1";
    QTest::newRow("type 12 hex") << 0 << 1 << "Read1" << QStringList{"12", "7", "0.5"}
                                << QStringList{"6;C9;", "12;2;", "12;C9;"} << 8 << "На повышение с памятью" << "7"
                                << "0.5";
    QTest::newRow("long value") << 0 << 0 << "Read1" << QStringList{"1", "17.978985191498374", "0.5"}
                                << QStringList{"6;C8;", "12;1;", "12;C8;"} << 1 << "На понижение"
                                << "17.9789851914984" << "0.5";
}

void TestLimitsWindow::readSetpoint()
{
    QFETCH(int, module);
    QFETCH(int, channel);
    QFETCH(QString, button);
    QFETCH(QStringList, replies);
    QFETCH(QStringList, sent);
    QFETCH(int, typeIndex);
    QFETCH(QString, typeText);
    QFETCH(QString, value);
    QFETCH(QString, hysteresis);

    Rig rig;
    frmMain* w = rig.w.get();
    Watch watch;
    watch.attach(rig);
    selectChannel(w, module, channel);
    QComboBox* type = button == QLatin1String("Read1") ? w->Type1 : w->Type2;
    QLineEdit* valueBox = button == QLatin1String("Read1") ? w->Value1 : w->Value2;
    QLineEdit* gisBox = button == QLatin1String("Read1") ? w->Gis1 : w->Gis2;
    type->setCurrentIndex(5);
    rig.replies(answers(replies));
    click(w, button);

    QCOMPARE(rig.frames(), frames(sent));
    QVERIFY(rig.messages.messages().isEmpty());
    QCOMPARE(type->currentIndex(), typeIndex);
    QCOMPARE(type->currentText(), typeText);
    QCOMPARE(valueBox->text(), local(w, value));
    QCOMPARE(gisBox->text(), local(w, hysteresis));
    // A long value is shown from its start, not its end.
    QCOMPARE(valueBox->cursorPosition(), 0);
    QCOMPARE(gisBox->cursorPosition(), 0);
    const QString n = button == QLatin1String("Read1") ? QStringLiteral("первой") : QStringLiteral("второй");
    QCOMPARE(watch.steps, (QStringList{"Чтение типа " + n + " уставки", "Чтение величины " + n + " уставки",
                                       "Чтение гистерезиса"}));
    QCOMPARE(watch.usable, (QList<bool>{false, false, false}));
    QCOMPARE(w->StatusBar->step(), QString());
    QVERIFY(allEnabled(w));
}

void TestLimitsWindow::failedReadStopsAtThatStep_data()
{
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("typeIndex");
    QTest::addColumn<QString>("value");

    QTest::newRow("type silent") << QStringList{} << QStringList{"6;C8;", "6;C8;", "6;C8;"}
                                 << "Ошибка: Прибор не отвечает" << 5 << "7";
    QTest::newRow("type negative") << QStringList{"FFFF"} << QStringList{"6;C8;"}
                                   << "Ошибка: из прибора прочитан тип первой уставки FFFF (шестнадцатеричное): "
                                      "такого значения нет в списке, поле не изменено"
                                   << 5 << "7";
    QTest::newRow("value ERR") << QStringList{"1", "ERR", "ERR", "ERR"}
                               << QStringList{"6;C8;", "12;1;", "12;1;", "12;1;"} << "Ошибка: Прибор выдает ошибку"
                               << 1 << "7";
    QTest::newRow("hysteresis NaN")
        << QStringList{"2", "5", "NaN"} << QStringList{"6;C8;", "12;1;", "12;C8;"}
        << "Ошибка: В памяти прибора по данному адресу находится чило в неверном формате" << 5 << "5";
}

void TestLimitsWindow::failedReadStopsAtThatStep()
{
    QFETCH(QStringList, replies);
    QFETCH(QStringList, sent);
    QFETCH(QString, message);
    QFETCH(int, typeIndex);
    QFETCH(QString, value);

    Rig rig;
    frmMain* w = rig.w.get();
    w->Type1->setCurrentIndex(5);
    w->Value1->setText(QStringLiteral("7"));
    w->Gis1->setText(QStringLiteral("3"));
    rig.replies(answers(replies));
    click(w, "Read1");

    QCOMPARE(rig.frames(), frames(sent));
    QCOMPARE(rig.messages.texts(), QStringList{message});
    const instrument::Message& m = rig.messages.messages().first();
    QCOMPARE(m.title, QStringLiteral("Limits"));
    QCOMPARE(m.icon, QMessageBox::NoIcon);
    QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(w->Type1->currentIndex(), typeIndex);
    QCOMPARE(w->Value1->text(), value);
    QCOMPARE(w->Gis1->text(), QStringLiteral("3"));
    QCOMPARE(w->StatusBar->step(), QString());
    QVERIFY(allEnabled(w));
}

void TestLimitsWindow::noPortStopsTheOperation_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("setpoint read") << "Read2";
    QTest::newRow("setpoint write") << "Write2";
    QTest::newRow("flag write") << "cmbDisWrite";
}

void TestLimitsWindow::noPortStopsTheOperation()
{
    QFETCH(QString, button);
    Rig rig;
    frmMain* w = rig.w.get();
    rig.port->openFailure = QStringLiteral("нет такого порта");
    click(w, button);
    QVERIFY(rig.frames().isEmpty());
    QCOMPARE(rig.port->opens, 1);
    QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral("Ошибка: ") + instrument::kSystemErrorPrefix + QStringLiteral("нет такого порта")});
    QCOMPARE(w->StatusBar->step(), QString());
    QVERIFY(allEnabled(w));
}

void TestLimitsWindow::parameterReads_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("shown");   // the text shown, "-" for no item, or checked / unchecked

    QTest::newRow("averagings 12") << "ReadUsr" << "C" << "6;3;" << "12";
    QTest::newRow("averagings 0") << "ReadUsr" << "0" << "6;3;" << "0";
    QTest::newRow("digits 2") << "cmbDigRead" << "2" << "6;64;" << "2";
    QTest::newRow("digits 0") << "cmbDigRead" << "0" << "6;64;" << "0";
    QTest::newRow("digits 3 selects 1") << "cmbDigRead" << "3" << "6;64;" << "1";
    QTest::newRow("digits 10 selects 1") << "cmbDigRead" << "10" << "6;64;" << "1";
    QTest::newRow("count 1") << "cmbActTHRead" << "1" << "6;1450;" << "1";
    QTest::newRow("count 10") << "cmbActTHRead" << "A" << "6;1450;" << "10";
    QTest::newRow("count 0, no item") << "cmbActTHRead" << "0" << "6;1450;" << "-";
    QTest::newRow("count 11 selects 2") << "cmbActTHRead" << "B" << "6;1450;" << "2";
    QTest::newRow("count 8000 hex, negative, no item") << "cmbActTHRead" << "8000" << "6;1450;" << "-";
    QTest::newRow("count FFFF, negative, no item") << "cmbActTHRead" << "FFFF" << "6;1450;" << "-";
    QTest::newRow("excluded 1") << "cmbDisRead" << "1" << "6;13EF;" << "checked";
    QTest::newRow("excluded 0") << "cmbDisRead" << "0" << "6;13EF;" << "unchecked";
    QTest::newRow("excluded 2") << "cmbDisRead" << "2" << "6;13EF;" << "unchecked";
}

void TestLimitsWindow::parameterReads()
{
    QFETCH(QString, button);
    QFETCH(QString, reply);
    QFETCH(QString, sent);
    QFETCH(QString, shown);

    Rig rig;
    frmMain* w = rig.w.get();
    Watch watch;
    watch.attach(rig);
    // Something other than what the read brings.
    w->Usred->setText(QStringLiteral("99"));
    w->cbDig->setCurrentIndex(shown == QLatin1String("2") ? 0 : 2);
    w->cbActTH->setCurrentIndex(4);
    w->chDis->setChecked(shown != QLatin1String("checked"));
    rig.replies(answers({reply}));
    click(w, button);

    QCOMPARE(rig.frames(), frames({sent}));
    QVERIFY2(rig.messages.messages().isEmpty(), qPrintable(rig.messages.texts().join('|')));
    QCOMPARE(watch.usable, QList<bool>{false});
    QCOMPARE(watch.steps, QStringList{button == QLatin1String("ReadUsr") ? QStringLiteral("Чтение усреднения") : QString()});
    QVERIFY(allEnabled(w));
    if (button == QLatin1String("ReadUsr")) {
        QCOMPARE(w->Usred->text(), shown);
    } else if (button == QLatin1String("cmbDisRead")) {
        QCOMPARE(w->chDis->isChecked(), shown == QLatin1String("checked"));
    } else {
        QComboBox* box = button == QLatin1String("cmbDigRead") ? w->cbDig : w->cbActTH;
        if (shown == QLatin1String("-"))
            QCOMPARE(box->currentIndex(), -1);
        else
            QCOMPARE(box->currentText(), shown);
    }
}

void TestLimitsWindow::baseAddressFromDevDat_data()
{
    QTest::addColumn<QString>("devDat");
    QTest::addColumn<int>("module");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("sent");

    QTest::newRow("THT1 &H100, channel 1") << "[Flash]\nTHT1=&H100\n" << 0 << 0 << "Read1" << "6;100;";
    QTest::newRow("THT1 &H100, channel 12") << "[Flash]\nTHT1=&H100\n" << 1 << 5 << "Read1" << "6;10B;";
    QTest::newRow("THT1 256 decimal, channel 8") << "[Flash]\nTHT1=256\n" << 1 << 1 << "Read1" << "6;107;";
    QTest::newRow("nS lower case &h") << "[Flash]\nnS=&h1f\n" << 0 << 2 << "ReadUsr" << "6;21;";
    QTest::newRow("LOCK_CH highest allowed") << "[Flash]\nLOCK_CH=32756\n" << 1 << 5 << "cmbDisRead" << "6;7FFF;";
    QTest::newRow("d_Point negative") << "[Flash]\nd_Point=&HFFFF\n" << 0 << 0 << "cmbDigRead" << "6;FFFF;";
}

void TestLimitsWindow::baseAddressFromDevDat()
{
    QFETCH(QString, devDat);
    QFETCH(int, module);
    QFETCH(int, channel);
    QFETCH(QString, button);
    QFETCH(QString, sent);

    Rig rig(devDat);
    QVERIFY(rig.loaded);
    QVERIFY(rig.messages.messages().isEmpty());
    frmMain* w = rig.w.get();
    selectChannel(w, module, channel);
    click(w, button);   // unanswered: the first frame is what counts
    QCOMPARE(rig.frames().first(), frames({sent}).first());
}

void TestLimitsWindow::badFlashKey_data()
{
    QTest::addColumn<QString>("devDat");
    QTest::addColumn<QString>("startMessage");   // a part of it
    QTest::addColumn<QString>("refused");
    QTest::addColumn<QString>("works");
    QTest::addColumn<QString>("worksFrame");

    QTest::newRow("THT1 not a number") << "[Flash]\nTHT1=abc\n" << "ключ THT1 = \"abc\"" << "Write1" << "ReadUsr"
                                       << "6;3;";
    QTest::newRow("HIS2 a fraction") << "[Flash]\nHIS2=1.5\n" << "ключ HIS2 = \"1.5\"" << "Read2" << "Read1"
                                     << "6;C8;";
    QTest::newRow("nS beyond 16 bits at channel 12") << "[Flash]\nnS=&H7FF5\n" << "ключ nS = \"&H7FF5\""
                                                     << "WriteUsr" << "cmbDigRead" << "6;64;";
    QTest::newRow("TH_REAC11 empty") << "[Flash]\nTH_REAC11=\n" << "ключ TH_REAC11 = \"\"" << "cmbActTHRead"
                                     << "" << "";
    QTest::newRow("LOCK_CH five hex digits") << "[Flash]\nLOCK_CH=&H113EF\n" << "ключ LOCK_CH = \"&H113EF\""
                                             << "cmbDisWrite" << "" << "";
    QTest::newRow("two keys, one box at start") << "[Flash]\nTHT1=abc\nnS=x\n" << "ключ THT1 = \"abc\""
                                                << "Read1" << "cmbDigRead" << "6;64;";
    QTest::newRow("d_Point 40000") << "[Flash]\nd_Point=40000\n" << "ключ d_Point = \"40000\"" << "cmbDigWrite"
                                   << "ReadUsr" << "6;3;";
}

void TestLimitsWindow::badFlashKey()
{
    QFETCH(QString, devDat);
    QFETCH(QString, startMessage);
    QFETCH(QString, refused);
    QFETCH(QString, works);
    QFETCH(QString, worksFrame);

    Rig rig(devDat);
    QVERIFY(rig.loaded);
    frmMain* w = rig.w.get();
    QCOMPARE(rig.messages.messages().size(), 1);
    const QString start = rig.messages.texts().first();
    QVERIFY2(start.contains(startMessage) && start.contains(QLatin1String("\"dev.dat\""))
                 && start.contains(QLatin1String("[Flash]")),
             qPrintable(start));
    rig.messages.clear();

    click(w, refused);
    QVERIFY(rig.frames().isEmpty());
    QCOMPARE(rig.messages.messages().size(), 1);
    const QString key = startMessage.section(QLatin1Char(' '), 1, 1);
    QVERIFY2(rig.messages.texts().first().startsWith(QStringLiteral("Ошибка: "))
                 && rig.messages.texts().first().contains(key),
             qPrintable(rig.messages.texts().first()));
    QVERIFY(allEnabled(w));

    if (worksFrame.isEmpty())
        return;
    rig.messages.clear();
    rig.replies(answers({"1", "1", "1"}));
    click(w, works);
    QCOMPARE(rig.frames().first(), frames({worksFrame}).first());
    QVERIFY(rig.messages.messages().isEmpty());
}

// ---- writes -----------------------------------------------------------------------------

void TestLimitsWindow::writeSetpointFrames_data()
{
    QTest::addColumn<int>("module");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("hysteresis");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("sent");

    QTest::newRow("channel 1, fast decrease with memory, hysteresis 0")
        << 0 << 0 << "Write1" << 3 << "12.5" << "0"
        << QStringList{"OK", "13", "OK", "13", "OK", "12.5", "OK", "12.5", "OK", "0.001", "OK", "0.001"}
        << QStringList{"5;C8;13;", "6;C8;", "13;C8;13;", "14;C8;", "11;1;0.125e2;", "12;1;", "15;1;0.125e2;",
                       "16;1;", "11;C8;0.1e-2;", "12;C8;", "15;C8;0.1e-2;", "16;C8;"};
    QTest::newRow("channel 8, raise with memory, negative value")
        << 1 << 1 << "Write2" << 8 << "-40" << "1.5"
        << QStringList{"OK", "12", "OK", "12", "OK", "-40", "OK", "-40", "OK", "1.5", "OK", "1.5"}
        << QStringList{"5;133;12;", "6;133;", "13;133;12;", "14;133;", "11;6B;-0.4e2;", "12;6B;", "15;6B;-0.4e2;",
                       "16;6B;", "11;133;0.15e1;", "12;133;", "15;133;0.15e1;", "16;133;"};
}

void TestLimitsWindow::writeSetpointFrames()
{
    QFETCH(int, module);
    QFETCH(int, channel);
    QFETCH(QString, button);
    QFETCH(int, type);
    QFETCH(QString, value);
    QFETCH(QString, hysteresis);
    QFETCH(QStringList, replies);
    QFETCH(QStringList, sent);

    Rig rig;
    frmMain* w = rig.w.get();
    Watch watch;
    watch.attach(rig);
    selectChannel(w, module, channel);
    const bool first = button == QLatin1String("Write1");
    (first ? w->Type1 : w->Type2)->setCurrentIndex(type);
    (first ? w->Value1 : w->Value2)->setText(local(w, value));
    (first ? w->Gis1 : w->Gis2)->setText(local(w, hysteresis));
    rig.replies(answers(replies));
    click(w, button);

    QCOMPARE(rig.frames(), frames(sent));
    QVERIFY2(rig.messages.messages().isEmpty(), qPrintable(rig.messages.texts().join('|')));
    const QString n = first ? QStringLiteral("первой") : QStringLiteral("второй");
    QStringList steps;
    for (int i = 0; i < 4; ++i)
        steps << "Запись типа " + n + " уставки";
    for (int i = 0; i < 4; ++i)
        steps << "Запись величины " + n + " уставки";
    for (int i = 0; i < 4; ++i)
        steps << QStringLiteral("Запись гистерезиса");
    QCOMPARE(watch.steps, steps);
    QCOMPARE(watch.usable, QList<bool>(12, false));
    QCOMPARE(w->StatusBar->step(), QString());
    QVERIFY(allEnabled(w));
    // A hysteresis of 0 went as 0.001; the box still shows what was typed.
    QCOMPARE((first ? w->Gis1 : w->Gis2)->text(), local(w, hysteresis));
}

void TestLimitsWindow::parameterWrites_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("setting");   // what the box is set to
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("value");     // the value text on the wire
    QTest::addColumn<QString>("step");

    QTest::newRow("averagings 12 is C") << "WriteUsr" << "12" << "3" << "C" << "Запись числа усреднений";
    QTest::newRow("averagings with blanks") << "WriteUsr" << " 7 " << "3" << "7" << "Запись числа усреднений";
    QTest::newRow("averagings 255") << "WriteUsr" << "255" << "3" << "FF" << "Запись числа усреднений";
    QTest::newRow("averagings 0") << "WriteUsr" << "0" << "3" << "0" << "Запись числа усреднений";
    QTest::newRow("digits 2") << "cmbDigWrite" << "2" << "64" << "2" << "";
    QTest::newRow("digits 0") << "cmbDigWrite" << "0" << "64" << "0" << "";
    QTest::newRow("count 10 is A") << "cmbActTHWrite" << "9" << "1450" << "A" << "";
    QTest::newRow("count 1") << "cmbActTHWrite" << "0" << "1450" << "1" << "";
    QTest::newRow("excluded") << "cmbDisWrite" << "checked" << "13EF" << "1" << "";
    QTest::newRow("not excluded") << "cmbDisWrite" << "unchecked" << "13EF" << "0" << "";
}

void TestLimitsWindow::parameterWrites()
{
    QFETCH(QString, button);
    QFETCH(QString, setting);
    QFETCH(QString, address);
    QFETCH(QString, value);
    QFETCH(QString, step);

    Rig rig;
    frmMain* w = rig.w.get();
    Watch watch;
    watch.attach(rig);
    if (button == QLatin1String("WriteUsr"))
        w->Usred->setText(setting);
    else if (button == QLatin1String("cmbDigWrite"))
        w->cbDig->setCurrentIndex(setting.toInt());
    else if (button == QLatin1String("cmbActTHWrite"))
        w->cbActTH->setCurrentIndex(setting.toInt());
    else
        w->chDis->setChecked(setting == QLatin1String("checked"));
    rig.replies(answers({"OK", value, "OK", value}));
    click(w, button);

    QCOMPARE(rig.frames(), frames({QStringLiteral("5;%1;%2;").arg(address, value), QStringLiteral("6;%1;").arg(address),
                                   QStringLiteral("13;%1;%2;").arg(address, value),
                                   QStringLiteral("14;%1;").arg(address)}));
    QVERIFY2(rig.messages.messages().isEmpty(), qPrintable(rig.messages.texts().join('|')));
    QCOMPARE(watch.steps, QStringList(4, step));
    QCOMPARE(watch.usable, QList<bool>(4, false));
    QCOMPARE(w->StatusBar->step(), QString());
    QVERIFY(allEnabled(w));
}

void TestLimitsWindow::typeCodeFromAReadIsNotWritten()
{
    Rig rig;
    frmMain* w = rig.w.get();
    rig.replies(answers({"10", "1", "1"}));
    click(w, "Read1");
    QCOMPARE(w->Type1->currentText(), QStringLiteral("16"));
    rig.port->written.clear();

    rig.replies(answers({"OK", "1", "OK", "1", "OK", "1", "OK", "1"}));
    click(w, "Write1");
    QVERIFY2(rig.messages.messages().isEmpty(), qPrintable(rig.messages.texts().join('|')));
    QCOMPARE(rig.frames(), frames({"11;1;0.1e1;", "12;1;", "15;1;0.1e1;", "16;1;", "11;C8;0.1e1;", "12;C8;",
                                   "15;C8;0.1e1;", "16;C8;"}));
    QCOMPARE(w->Type1->currentText(), QStringLiteral("16"));
}

void TestLimitsWindow::failedPairStopsTheOperation_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("message");

    QTest::newRow("type flash write refused")
        << "Write1" << QStringList{"ERR", "ERR", "ERR"} << QStringList{"5;C8;2;", "5;C8;2;", "5;C8;2;"}
        << "Ошибка: Прибор выдает ошибку";
    QTest::newRow("type flash write not confirmed")
        << "Write1" << QStringList{"NO", "NO", "NO"} << QStringList{"5;C8;2;", "5;C8;2;", "5;C8;2;"}
        << "Ошибка: Не удалось записать в прибор";
    QTest::newRow("type working copy silent")
        << "Write1" << QStringList{"OK", "2"} << QStringList{"5;C8;2;", "6;C8;", "13;C8;2;", "13;C8;2;", "13;C8;2;"}
        << "Ошибка: Прибор не отвечает";
    QTest::newRow("value never verifies")
        << "Write1" << QStringList{"OK", "2", "OK", "2", "OK", "9", "OK", "9", "OK", "9"}
        << QStringList{"5;C8;2;", "6;C8;", "13;C8;2;", "14;C8;", "11;1;0.5e1;", "12;1;", "11;1;0.5e1;", "12;1;",
                       "11;1;0.5e1;", "12;1;"}
        << "Ошибка: Не совпадение прочитанного с тем, что записали.||0{sep}5e1<>9";
    QTest::newRow("averagings silent") << "WriteUsr" << QStringList{} << QStringList{"5;3;1;", "5;3;1;", "5;3;1;"}
                                       << "Ошибка: Прибор не отвечает";
}

void TestLimitsWindow::failedPairStopsTheOperation()
{
    QFETCH(QString, button);
    QFETCH(QStringList, replies);
    QFETCH(QStringList, sent);
    QFETCH(QString, message);

    Rig rig;
    frmMain* w = rig.w.get();
    w->Type1->setCurrentIndex(5);
    w->Value1->setText(QStringLiteral("5"));
    rig.replies(answers(replies));
    click(w, button);

    QCOMPARE(rig.frames(), frames(sent));
    QCOMPARE(rig.messages.texts(),
             QStringList{QString(message).replace(QLatin1String("{sep}"), w->dev()->sFloatingPointSeparator)});
    QCOMPARE(w->StatusBar->step(), QString());
    QVERIFY(allEnabled(w));
}

void TestLimitsWindow::badBoxRefusedBeforeAnyExchange_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");     // "<none>": no item selected
    QTest::addColumn<QString>("message");  // a part of it

    QTest::newRow("value not a number") << "Write1" << "Value1" << "abc" << "в поле «Величина первой уставки» «abc» не является числом";
    QTest::newRow("value empty") << "Write2" << "Value2" << "" << "в поле «Величина второй уставки» «» не является числом";
    QTest::newRow("value two separators") << "Write1" << "Value1" << "1..5" << "в поле «Величина первой уставки»";
    QTest::newRow("value more digits than are sent") << "Write1" << "Value1" << "123.4567"
                                                     << "не передаётся прибору точно (прибор получил бы 123.456)";
    QTest::newRow("hysteresis not a number") << "Write1" << "Gis1" << "x" << "в поле «Гистерезис для первой уставки» «x» не является числом";
    QTest::newRow("hysteresis empty") << "Write2" << "Gis2" << "" << "в поле «Гистерезис для второй уставки» «»";
    QTest::newRow("type typed text") << "Write1" << "Type1" << "abc" << "в поле «Тип первой уставки» «abc» не является пунктом списка";
    QTest::newRow("type part of an item") << "Write2" << "Type2" << "Быстро" << "в поле «Тип второй уставки» «Быстро»";
    QTest::newRow("type negative number") << "Write2" << "Type2" << "-3" << "в поле «Тип второй уставки» «-3»";
    QTest::newRow("type digits typed") << "Write1" << "Type1" << "5" << "в поле «Тип первой уставки» «5» не является пунктом списка";
    QTest::newRow("averagings 256") << "WriteUsr" << "Usred" << "256" << "в поле «Количество усреднений» «256»";
    QTest::newRow("averagings negative") << "WriteUsr" << "Usred" << "-1" << "в поле «Количество усреднений» «-1»";
    QTest::newRow("averagings fraction") << "WriteUsr" << "Usred" << "1.5" << "в поле «Количество усреднений»";
    QTest::newRow("averagings text") << "WriteUsr" << "Usred" << "десять" << "в поле «Количество усреднений» «десять»";
    QTest::newRow("averagings empty") << "WriteUsr" << "Usred" << "" << "в поле «Количество усреднений» «»";
    QTest::newRow("count none") << "cmbActTHWrite" << "cbActTH" << "<none>" << "в поле «Число одинаковых наблюдений перед срабатыванием уставки» ничего не выбрано";
    QTest::newRow("digits none") << "cmbDigWrite" << "cbDig" << "<none>" << "в поле «Число цифр после запятой» ничего не выбрано";
}

void TestLimitsWindow::badBoxRefusedBeforeAnyExchange()
{
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, message);

    Rig rig;
    frmMain* w = rig.w.get();
    w->Type1->setCurrentIndex(2);
    w->Type2->setCurrentIndex(2);
    if (auto* line = w->findChild<QLineEdit*>(box); line && !qobject_cast<QComboBox*>(line->parent())) {
        line->setText(local(w, text));
    } else if (auto* combo = w->findChild<QComboBox*>(box)) {
        if (text == QLatin1String("<none>"))
            combo->setCurrentIndex(-1);
        else
            testsupport::typeInto(combo, text);
    } else {
        QFAIL("no such box");
    }
    click(w, button);

    QVERIFY(rig.frames().isEmpty());
    QCOMPARE(rig.messages.messages().size(), 1);
    const QString shown = rig.messages.texts().first();
    QVERIFY2(shown.startsWith(QStringLiteral("Ошибка: ")) && shown.contains(local(w, message))
                 && shown.endsWith(QStringLiteral("ничего не записано")),
             qPrintable(shown));
    QCOMPARE(rig.messages.messages().first().title, QStringLiteral("Limits"));
    QVERIFY(allEnabled(w));
}

// ---- closing ----------------------------------------------------------------------------

void TestLimitsWindow::closeDuringAnExchange_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("report");   // the one box before the window goes

    // The link call under way runs to its end; nothing after it. A read
    // just closes; a write first says what the instrument got.
    QTest::newRow("setpoint read") << "Read1" << QStringList{"1", "1", "1"} << QStringList{"6;C8;"} << "";
    QTest::newRow("setpoint write") << "Write1" << QStringList{"OK", "0", "OK", "0"}
                                    << QStringList{"5;C8;0;", "6;C8;"}
                                    << "Окно закрыто во время записи.\nЗаписано: ничего.\nНе записано: тип первой "
                                       "уставки, величина первой уставки, гистерезис первой уставки.";
    QTest::newRow("setpoint write, type done") << "Write1" << QStringList{"OK", "0", "OK", "0", "OK", "0"}
                                               << QStringList{"5;C8;0;", "6;C8;", "13;C8;0;", "14;C8;"}
                                               << "Окно закрыто во время записи.\nЗаписано: тип первой уставки.\n"
                                                  "Не записано: величина первой уставки, гистерезис первой уставки.";
}

void TestLimitsWindow::closeDuringAnExchange()
{
    QFETCH(QString, button);
    QFETCH(QStringList, replies);
    QFETCH(QStringList, sent);
    QFETCH(QString, report);

    Rig rig;
    frmMain* w = rig.w.get();
    rig.port->onWrite = [w, n = sent.size()](const QByteArray&) mutable {
        if (--n == 0 && w->isVisible())
            w->close();
    };
    rig.replies(answers(replies));
    click(w, button);

    QCOMPARE(rig.frames(), frames(sent));
    QVERIFY(!w->isVisible());
    QCOMPARE(rig.messages.texts(), report.isEmpty() ? QStringList() : QStringList{report});
}

QTEST_MAIN(TestLimitsWindow)
#include "tst_limits_window.moc"
