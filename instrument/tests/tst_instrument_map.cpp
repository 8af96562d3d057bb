// The instrument map: its addresses from the keys of "dev.dat", the
// values it takes and refuses, writes and reads through a real link to the
// simulator's model, and the frames of its writes against the windows'.

#include "commission_window.h"
#include "contacts_window.h"
#include "devlink.h"
#include "inputs_window.h"
#include "limits_window.h"
#include "markgrid.h"
#include "memory_window.h"
#include "model.h"
#include "numbers.h"
#include "text_window.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace map = instrument::map;

namespace {

// The simulator's model answers every frame as it is written.
void answerWithModel(testsupport::FakePort* port, sim::Instrument* model)
{
    port->onWrite = [port, model](const QByteArray& frame) {
        const sim::Answer a = model->handle(sim::parseFrame(frame.trimmed()), 0);
        a.silent ? port->silence() : port->reply(a.bytes);
    };
}

// A link in its own program folder whose port the model answers.
struct ModelLine {
    explicit ModelLine(const QString& devDat = QString())
    {
        if (!devDat.isEmpty())
            folder.writeDevDat(devDat);
        auto p = std::make_unique<testsupport::FakePort>(clock);
        port = p.get();
        dev.setPort(std::move(p));
        dev.setClock(clock);
        loaded = dev.Form_Load();
        dev.bNetAdrr = 1;
        answerWithModel(port, &model);
    }
    testsupport::ProgramFolder folder;
    std::shared_ptr<testsupport::FakeClock> clock = std::make_shared<testsupport::FakeClock>();
    testsupport::FakePort* port = nullptr;
    instrument::Dev dev;
    sim::Instrument model;
    map::DevLink link{dev};
    bool loaded = false;
};

using Writes = QList<QPair<QString, QString>>;

// What the window sends for act, and what the map sends for the same writes
// on the same link, are the same frames (in the same order unless sorted).
template <class Window>
void sameFrames(const std::function<void(Window*)>& act, const Writes& writes, bool sorted = false)
{
    testsupport::ScriptedRig<Window> rig;
    QVERIFY(rig.loaded);
    sim::Instrument model;
    answerWithModel(rig.port, &model);
    rig.port->written.clear();
    act(rig.w.get());
    QStringList window = rig.frames();
    rig.port->written.clear();

    instrument::Dev& dev = *rig.w->dev();
    const map::Map m(map::devKeys(dev), dev.sFloatingPointSeparator);
    map::DevLink link(dev);
    for (const auto& [name, value] : writes) {
        const map::Result r = map::write(*m.find(name), link, value);
        QVERIFY2(r.ok, qPrintable(name + ": " + r.error));
    }
    QStringList mine = rig.frames();
    if (sorted) {
        window.sort();
        mine.sort();
    }
    QVERIFY(!window.isEmpty());
    QCOMPARE(mine, window);
}

QString relayText(const QMap<int, QString>& set)
{
    QStringList f(map::kRelayFields, QStringLiteral("0"));
    for (auto it = set.begin(); it != set.end(); ++it)
        f[it.key()] = it.value();
    return f.join(QLatin1Char(';'));
}

} // namespace

class TestMap : public QObject {
    Q_OBJECT
private slots:
    void namesAndOrder();
    void addresses_data();
    void addresses();
    void sensorTypesHaveTheirAlphabets();
    void values_data();
    void values();
    void writeThenRead_data();
    void writeThenRead();
    void refusedSendsNothing();
    void framesOfLimits();
    void framesOfInputs();
    void framesOfText();
    void framesOfContacts();
    void framesOfCommission();
    void framesOfMemory();
};

void TestMap::namesAndOrder()
{
    const map::Map m;
    QStringList names;
    for (const map::Param& p : m.params())
        names << p.name;
    QCOMPARE(names.removeDuplicates(), 0);
    // Channels in order, then relays, buffers, clock and the port.
    QCOMPARE(names.first(), QStringLiteral("ch1.THT1"));
    QVERIFY(names.indexOf(QStringLiteral("ch12.UofM")) < names.indexOf(QStringLiteral("relay0")));
    QVERIFY(names.indexOf(QStringLiteral("relays.test")) < names.indexOf(QStringLiteral("buffer1.first")));
    QCOMPARE(names.mid(names.size() - 4), QStringList({"clock", "speed", "netnum", "channels"}));
    QCOMPARE(m.match(QStringLiteral("*.TH1")).size(), map::kChannels);
    QCOMPARE(m.match(QStringLiteral("ch9.*")).size(), 10 + 8 + 2);
    QCOMPARE(m.match(QStringLiteral("relay?,relay1?")).size(), map::kRelays);
    QCOMPARE(m.match(QStringLiteral("ch1.*")).first()->name, QStringLiteral("ch1.THT1"));
}

void TestMap::addresses_data()
{
    QTest::addColumn<QString>("devDat");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");   // hexadecimal; empty: the key is no address
    QTest::newRow("module 2 channel 3 is ch9") << "" << "ch9.THT1" << "D0";
    QTest::newRow("real of channel 1") << "" << "ch1.TH1" << "1";
    QTest::newRow("hex key") << "[Flash]\nTHT1=&H100\n" << "ch12.THT1" << "10B";
    QTest::newRow("decimal key") << "[Flash]\nTH_REAC11=5200\n" << "ch9.TH_REAC11" << "1458";
    QTest::newRow("flag default") << "" << "ch12.LOCK_CH" << "13FA";
    QTest::newRow("bad key") << "[Flash]\nHIS2=&HZZ\n" << "ch3.HIS2" << "";
    QTest::newRow("too high for 12 channels") << "[Flash]\nnS=32760\n" << "ch1.nS" << "";
    QTest::newRow("input of module 2") << "" << "ch7.DiapMax" << "20";
    QTest::newRow("offset of channel 6") << "" << "ch6.Bias" << "100";
    QTest::newRow("input key") << "[Flash]\nBIAS=&h100\n" << "ch12.Bias" << "114";
    QTest::newRow("input flash copies too high") << "[Flash]\nFLAG=&H7F00\n" << "ch1.Flags" << "";
    QTest::newRow("line resistance is fixed") << "[Flash]\nBIAS=&H0\n" << "ch12.Rl" << "C4";
    QTest::newRow("measured value") << "" << "ch8.Value" << "F3";
    QTest::newRow("text") << "" << "ch9.TEXT" << "230";
    QTest::newRow("text key") << "[CPU]\nTEXT=&H200\n" << "ch2.TEXT" << "214";
    QTest::newRow("unit") << "" << "ch12.UofM" << "954";
    QTest::newRow("buffer 2 signal") << "" << "buffer2.signal" << "151D";
    QTest::newRow("network number key") << "[CPU]\nNET_NUM=&H10\n" << "netnum" << "10";
}

void TestMap::addresses()
{
    QFETCH(QString, devDat);
    QFETCH(QString, name);
    QFETCH(QString, address);
    ModelLine line(devDat);
    QVERIFY(line.loaded);
    const map::Map m(map::devKeys(line.dev), line.dev.sFloatingPointSeparator);
    const map::Param* p = m.find(name);
    QVERIFY(p);
    QCOMPARE(p->base.valid ? instrument::hexText16(p->address()) : QString(), address);
    QCOMPARE(m.problems().isEmpty(), p->base.valid);
    QCOMPARE(m.problems(name).isEmpty(), p->base.valid);
}

void TestMap::sensorTypesHaveTheirAlphabets()
{
    QStringList t;
    const map::Map m;
    for (const map::Item& item : m.find(QStringLiteral("ch12.Sensors"))->items) {
        QCOMPARE(item.code, qint64(t.size()));
        t << item.text;
    }
    QCOMPARE(t.size(), 23);
    // 7 and 8 differ only in their tails.
    QCOMPARE(t.at(7), QStringLiteral("Термометр сопротивления платиновый Ro=100 W=1,391"));
    QCOMPARE(t.at(8), QStringLiteral("Термометр сопротивления платиновый Ro=100 W=1,385"));
    // "Ro" and "W" Latin; K in ХА(K) Latin, В of ПР(В) and А of ТВР(А-1) Cyrillic.
    QCOMPARE(t.at(0).mid(t.at(0).indexOf(QStringLiteral("o=")) - 1, 2), QStringLiteral("Ro"));
    QVERIFY(t.at(0).contains(QLatin1String(" W=")));
    QVERIFY(t.at(9).contains(QStringLiteral("(K)")));
    QCOMPARE(t.at(9).at(t.at(9).indexOf(QLatin1Char('(')) + 1).unicode(), ushort('K'));
    QCOMPARE(t.at(13).at(t.at(13).indexOf(QLatin1Char('(')) + 1).unicode(), ushort(0x0412));
    QCOMPARE(t.at(15).at(t.at(15).indexOf(QLatin1Char('(')) + 1).unicode(), ushort(0x0410));
    for (int code : {10, 11, 12, 14, 16}) {
        const QChar c = t.at(code).at(t.at(code).indexOf(QLatin1Char('(')) + 1);
        QVERIFY2(c.unicode() < 128, qPrintable(t.at(code)));
    }
    QCOMPARE(t.at(22), QStringLiteral("Измерение сопротивления для контроля"));
}

void TestMap::values_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value");   // null: refused
    QTest::addColumn<QString>("wire");
    QTest::newRow("type by code") << "ch1.THT1" << "19" << "19" << "13";
    QTest::newRow("type by item") << "ch1.THT1" << "На повышение с памятью" << "18" << "12";
    QTest::newRow("type not an item") << "ch1.THT1" << "16" << QString() << "";
    QTest::newRow("real") << "ch1.TH1" << " 12.5 " << "12.5" << "0.125e2";
    QTest::newRow("real negative exponent") << "ch1.TH2" << "-0.05" << "-0.05" << "-0.5e-1";
    QTest::newRow("real with comma") << "ch1.TH1" << "12,5" << QString() << "";
    QTest::newRow("real too many digits") << "ch1.TH1" << "123456789" << QString() << "";
    QTest::newRow("hysteresis 0 goes as 0.001") << "ch1.HIS1" << "0" << "0" << "0.1e-2";
    QTest::newRow("averagings") << "ch1.nS" << "12" << "12" << "C";
    QTest::newRow("averagings above a byte") << "ch1.nS" << "256" << QString() << "";
    QTest::newRow("averagings not whole") << "ch1.nS" << "1.5" << QString() << "";
    QTest::newRow("observations 10") << "ch1.TH_REAC11" << "10" << "10" << "A";
    QTest::newRow("observations 0") << "ch1.TH_REAC11" << "0" << QString() << "";
    QTest::newRow("digits 3") << "ch1.d_Point" << "3" << QString() << "";
    QTest::newRow("flag 2") << "ch1.LOCK_CH" << "2" << QString() << "";
    QTest::newRow("sensor 22") << "ch1.Sensors" << "22" << "22" << "16";
    QTest::newRow("sensor 23") << "ch1.Sensors" << "23" << QString() << "";
    QTest::newRow("measured value read only") << "ch1.Value" << "1" << QString() << "";
    QTest::newRow("text") << "ch1.TEXT" << "Т1" << "Т1" << "Т1";
    QTest::newRow("text too long") << "ch1.TEXT" << "Температура 12" << QString() << "";
    QTest::newRow("text not on the display") << "ch1.TEXT" << "t★" << QString() << "";
    QTest::newRow("unit 7 characters") << "ch1.UofM" << "1234567" << QString() << "";
    QTest::newRow("relay record") << "relay2" << relayText({{0, "3f"}, {44, "020"}}) + ";"
                                  << relayText({{0, "3F"}, {44, "20"}})
                                  << "2;3F;" + QStringLiteral("0;").repeated(43) + "20;" + QStringLiteral("0;").repeated(4);
    QTest::newRow("relay field above 3F") << "relay0" << relayText({{3, "40"}}) << QString() << "";
    QTest::newRow("relay 44 fields") << "relay0" << QStringLiteral("0;").repeated(44) << QString() << "";
    QTest::newRow("stop recording") << "buffer1.state" << "4" << "4" << "4";
    QTest::newRow("state only the instrument sets") << "buffer1.state" << "1" << QString() << "";
    QTest::newRow("interval") << "buffer2.interval" << "3600" << "3600" << "E10";
    QTest::newRow("first frame as a word") << "buffer1.first" << "-1" << "-1" << "FFFF";
    QTest::newRow("speed by item") << "speed" << "9600,N,8,2" << "150" << "96";
    QTest::newRow("channels 13") << "channels" << "13" << QString() << "";
    QTest::newRow("network number") << "netnum" << "200" << "200" << "C8";
    QTest::newRow("clock read only") << "clock" << "12;00;00;01;01;26;57;1" << QString() << "";
}

void TestMap::values()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, value);
    QFETCH(QString, wire);
    const map::Map m;
    const map::Param* p = m.find(name);
    QVERIFY(p);
    QString v, w, error;
    QCOMPARE(map::parseValue(*p, text, 8, &v, &w, &error), !value.isNull());
    QCOMPARE(v, value.isNull() ? QString() : value);
    QCOMPARE(w, value.isNull() ? QString() : wire);
    // A refusal names the parameter.
    QCOMPARE(error.startsWith(p->title() + QStringLiteral(": ")), value.isNull());
}

void TestMap::writeThenRead_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("setpoint") << "ch9.TH1" << "12.5" << "12.5";
    QTest::newRow("type") << "ch9.THT1" << "Быстрое уменьшение с памятью" << "19";
    QTest::newRow("hysteresis 0") << "ch9.HIS2" << "0" << "0.001";
    QTest::newRow("flag") << "ch12.LOCK_CH" << "1" << "1";
    QTest::newRow("module real") << "ch12.Bias" << "-0.25" << "-0.25";
    QTest::newRow("module byte") << "ch9.Sensors" << "9" << "9";
    QTest::newRow("text, Latin a reads as Cyrillic") << "ch9.TEXT" << "Тa1" << "Та1" + QString(10, ' ');
    QTest::newRow("unit") << "ch1.UofM" << "мА" << "мА    ";
    QTest::newRow("relay") << "relay12" << relayText({{1, "3F"}, {30, "1"}}) << relayText({{1, "3F"}, {30, "1"}});
    QTest::newRow("relay flag") << "relays.analysis" << "1" << "1";
    QTest::newRow("buffer interval") << "buffer1.interval" << "3600" << "3600";
    QTest::newRow("buffer state") << "buffer2.state" << "4" << "4";
    QTest::newRow("speed") << "speed" << "9600,N,8,2" << "150";
    QTest::newRow("network number") << "netnum" << "5" << "5";
}

void TestMap::writeThenRead()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, readBack);
    ModelLine line;
    QVERIFY(line.loaded);
    const map::Map m(map::devKeys(line.dev), line.dev.sFloatingPointSeparator);
    const map::Param* p = m.find(name);
    QVERIFY(p);
    const map::Result w = map::write(*p, line.link, text);
    QVERIFY2(w.ok, qPrintable(w.error));
    const map::Result r = map::read(*p, line.link);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.value, readBack);
}

void TestMap::refusedSendsNothing()
{
    ModelLine line("[Flash]\nTH1=&HZZ\n");
    QVERIFY(line.loaded);
    const map::Map m(map::devKeys(line.dev), line.dev.sFloatingPointSeparator);
    const map::Result bad = map::write(*m.find(QStringLiteral("ch1.nS")), line.link, QStringLiteral("300"));
    QVERIFY(!bad.ok && bad.error.contains(QStringLiteral("ch1.nS")));
    const map::Result noAddress = map::read(*m.find(QStringLiteral("ch2.TH1")), line.link);
    QVERIFY(!noAddress.ok && noAddress.error.contains(QStringLiteral("TH1")));
    QCOMPARE(line.port->written.size(), 0);
    // An instrument that does not answer: the link's message, nothing more sent.
    line.port->onWrite = nullptr;
    const map::Result silent = map::write(*m.find(QStringLiteral("ch1.nS")), line.link, QStringLiteral("3"));
    QCOMPARE(silent.error, QStringLiteral("Прибор не отвечает"));
    for (const QByteArray& f : line.port->written)
        QVERIFY(f.startsWith(":1;5;"));
}

void TestMap::framesOfLimits()
{
    sameFrames<limits::frmMain>(
        [](limits::frmMain* w) {
            w->ModulNum->setCurrentIndex(1);
            w->ChNum->setCurrentIndex(2);
            w->Type1->setCurrentIndex(3);
            w->Value1->setText(QStringLiteral("12.5"));
            w->Gis1->setText(QStringLiteral("0"));
            QTest::mouseClick(w->Write1, Qt::LeftButton);
            w->chDis->setChecked(true);
            QTest::mouseClick(w->cmbDisWrite, Qt::LeftButton);
            w->Usred->setText(QStringLiteral("12"));
            QTest::mouseClick(w->WriteUsr, Qt::LeftButton);
        },
        {{"ch9.THT1", "19"}, {"ch9.TH1", "12.5"}, {"ch9.HIS1", "0"}, {"ch9.LOCK_CH", "1"}, {"ch9.nS", "12"}});
}

void TestMap::framesOfInputs()
{
    sameFrames<inputs::frmMain>(
        [](inputs::frmMain* w) {
            w->Modul->setCurrentIndex(1);
            w->ChNum->setCurrentIndex(2);
            w->DiapMax->setText(QStringLiteral("100"));
            w->DiapMin->setText(QStringLiteral("-50"));
            w->Flags->setText(QStringLiteral("1F"));
            w->Sensors->setCurrentIndex(9);
            w->Wired->setCurrentIndex(1);
            w->Bias->setText(QStringLiteral("0.5"));
            w->tbRl->setText(QStringLiteral("1.25"));
            QTest::mouseClick(w->Write, Qt::LeftButton);
        },
        {{"ch9.DiapMax", "100"}, {"ch9.DiapMin", "-50"}, {"ch9.Flags", "31"}, {"ch9.Sensors", "9"},
         {"ch9.Wired", "3"}, {"ch9.Bias", "0.5"}, {"ch9.Rl", "1.25"}});
}

void TestMap::framesOfText()
{
    sameFrames<text::Dialog>(
        [](text::Dialog* w) {
            w->ChNum->setCurrentIndex(8);
            w->Text->setText(QStringLiteral("Т1"));
            w->UofM->setText(QStringLiteral("мА"));
            QTest::mouseClick(w->WriteS, Qt::LeftButton);
        },
        {{"ch9.TEXT", "Т1"}, {"ch9.UofM", "мА"}});
}

void TestMap::framesOfContacts()
{
    sameFrames<contacts::frmContacts>(
        [](contacts::frmContacts* w) {
            w->fgTab->setText(5, 2, QStringLiteral("*"));    // relay 2, first setpoint, channel 1
            w->fgTab->setText(7, 91, QStringLiteral("*"));   // relay 2, sensor break, channel 90
            w->fgTab->setCurrent(5, 2);
            w->fgTab->setSelectionEnd(5, 2);
            QTest::mouseClick(w->Command2, Qt::LeftButton);
        },
        {{"relay1", relayText({{0, "1"}, {44, "20"}})}});
}

void TestMap::framesOfCommission()
{
    sameFrames<commission::Main>(
        [](commission::Main* w) {
            w->ComSettings->setCurrentIndex(5);
            QTest::mouseClick(w->SWrite, Qt::LeftButton);
            w->NetAdrr->setCurrentIndex(200);
            QTest::mouseClick(w->NWrite, Qt::LeftButton);
            w->AmOfCh->setCurrentIndex(11);
            QTest::mouseClick(w->CWrite, Qt::LeftButton);
        },
        {{"speed", "150"}, {"netnum", "200"}, {"channels", "12"}});
}

void TestMap::framesOfMemory()
{
    // The window writes the three settings with 31, then the three with 29;
    // the map writes each with 31 and 29: the same frames in another order.
    sameFrames<memory::frmMain>(
        [](memory::frmMain* w) {
            w->cmbInterval->setCurrentIndex(8);
            w->tbBuffBegin->setText(QStringLiteral("4096"));
            w->tbBuffLength->setText(QStringLiteral("4095"));
            QTest::mouseClick(w->cmdWriteBuffSettings, Qt::LeftButton);
            QTest::mouseClick(w->cmbStartWriting, Qt::LeftButton);
        },
        {{"buffer1.interval", "3600"}, {"buffer1.first", "4096"}, {"buffer1.length", "4095"}, {"buffer1.state", "0"}},
        true);
}

QTEST_MAIN(TestMap)
#include "tst_instrument_map.moc"
