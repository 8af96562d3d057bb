// The text loader against the instrument simulator on a pseudo-terminal.

#include "cp1251.h"
#include "text_window.h"
#include "windowrig.h"

#include <QComboBox>
#include <QProcess>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using text::Dialog;
using Rig = testsupport::SimRig<Dialog>;

namespace {

const QString kPreset = QStringLiteral("# the simulator's own texts\n");

// The two copies of the display texts in the simulator's memory: "int" is
// what command 13 wrote, "stored" what command 5 wrote.
struct TextMemory {
    QMap<int, int> working;
    QMap<int, int> stored;
};

TextMemory textMemory(const QStringList& state)
{
    TextMemory m;
    for (const QString& line : state) {
        const QStringList w = line.split(QLatin1Char(' '));
        if (w.size() != 3 || (w[0] != QLatin1String("int") && w[0] != QLatin1String("stored")))
            continue;
        const int a = w[1].toInt(nullptr, 16);
        const bool text = (a >= 0x190 && a < 0x190 + 240) || (a >= 0x8FC && a < 0x8FC + 96);
        if (text)
            (w[0] == QLatin1String("int") ? m.working : m.stored)[a] = w[2].toInt(nullptr, 16);
    }
    return m;
}

QList<int> bytesAt(const QMap<int, int>& memory, int address, int count)
{
    QList<int> out;
    for (int k = 0; k < count; ++k)
        out << memory.value(address + k, -1);
    return out;
}

QStringList errorTexts(const Rig& r)
{
    QStringList out;
    for (const instrument::Message& m : r.messages.messages())
        out << m.title + QStringLiteral(": ") + m.text;
    return out;
}

// A file in the program folder, channel n holding "Канал n" and "ед", chosen in the window.
void useChannelFile(Rig& r)
{
    QString file;
    for (int n = 1; n <= 12; ++n)
        file += QStringLiteral("[CHANNEL%1]\nUofM=ед\nTEXT=Канал %1\n").arg(n);
    r.folder.writeFile(QStringLiteral("t.dat"), instrument::toCp1251(file));
    r.w->FileName->setText(QStringLiteral("t.dat"));
}

} // namespace

class TestTextSim : public QObject {
    Q_OBJECT
private slots:
    void cyrillicWrittenAndReadBack();
    void presetsRead_data();
    void presetsRead();
    void roundTripThroughTheFile();
    void refusedByteStopsTheFile();
    void failureHalfwayThroughTheFile();
    void unwritableFileReadsNothing();
    void unpluggedLine();
};

void TestTextSim::cyrillicWrittenAndReadBack()
{
    Rig r({}, kPreset);
    QVERIFY(r.start());
    Dialog& w = *r.w;
    w.ChNum->setCurrentIndex(3);
    w.Text->setText(QStringLiteral("Давление й"));
    w.UofM->setText(QStringLiteral("кПа"));
    r.messages.answerNext(QMessageBox::Yes); // the display shows "и" for "й"
    w.WriteS->click();
    QCOMPARE(errorTexts(r).size(), 1);
    r.messages.clear();
    w.Text->clear();
    w.UofM->clear();
    w.ReadS->click();
    QCOMPARE(errorTexts(r), QStringList());
    QCOMPARE(w.Text->text(), QStringLiteral("Давление и   "));
    QCOMPARE(w.UofM->text(), QStringLiteral("кПа   "));
    // Both copies hold the display codes, written with 5 and with 13.
    const TextMemory m = textMemory(r.state());
    const QList<int> text{224, 97, 179, 187, 101, 189, 184, 101, 32, 184, 32, 32, 32, 32, 32};
    const QList<int> unit{186, 168, 97, 32, 32, 32, 32};
    QCOMPARE(bytesAt(m.working, 0x1CC, 15), text);
    QCOMPARE(bytesAt(m.stored, 0x1CC, 15), text);
    QCOMPARE(bytesAt(m.working, 0x914, 7), unit);
    QCOMPARE(bytesAt(m.stored, 0x914, 7), unit);
}

void TestTextSim::presetsRead_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("unit");
    // Latin O reads back as the Cyrillic О; i and l stay Latin.
    QTest::newRow("Latin word") << 9 << QStringLiteral("Масло \u041Eil    ") << QStringLiteral("С     ");
    // Й and й come back as И and и; ь as Ь.
    QTest::newRow("Й, й and ь") << 12 << QStringLiteral("Иодныи слои  ") << QStringLiteral("ммолЬ ");
    // A code no letter uses comes back as the Windows-1251 sign of that code.
    QTest::newRow("unmapped code") << 11 << QStringLiteral("Напряжение   ")
                                   << QStringLiteral("мВ") + instrument::fromCp1251("\xA2") + QStringLiteral("   ");
}

void TestTextSim::presetsRead()
{
    QFETCH(int, channel);
    Rig r({}, kPreset);
    QVERIFY(r.start());
    r.w->ChNum->setCurrentIndex(channel - 1);
    r.w->ReadS->click();
    QCOMPARE(errorTexts(r), QStringList());
    QTEST(r.w->Text->text(), "text");
    QTEST(r.w->UofM->text(), "unit");
}

void TestTextSim::roundTripThroughTheFile()
{
    Rig r({}, kPreset);
    QVERIFY(r.start());
    Dialog& w = *r.w;
    // What the instrument holds at first, as a file.
    w.FileName->setText(QStringLiteral("first.dat"));
    w.WriteF->click();
    QCOMPARE(errorTexts(r), QStringList());
    const QByteArray first = r.folder.readFile(QStringLiteral("first.dat"));
    QVERIFY(first.contains(instrument::toCp1251(QStringLiteral("[CHANNEL1]\r\nUofM=\"С      \"\r\nTEXT=Т печи зона 1\r\n"))));
    QVERIFY(first.contains(instrument::toCp1251(QStringLiteral("[CHANNEL12]\r\nUofM=\"ммолЬ  \"\r\nTEXT=\"Иодныи слои  \"\r\n"))));

    // The engineer changes channel 1, then loads the file back.
    w.Text->setText(QStringLiteral("  другие  "));
    w.UofM->setText(QStringLiteral("Па"));
    w.WriteS->click();
    QCOMPARE(errorTexts(r), QStringList());
    w.ReadF->click();
    QCOMPARE(errorTexts(r), QStringList());
    // Read again into a second file: it is the first one, blanks and all.
    w.FileName->setText(r.folder.file(QStringLiteral("second.dat")));
    w.WriteF->click();
    QCOMPARE(errorTexts(r), QStringList());
    QCOMPARE(r.folder.readFile(QStringLiteral("second.dat")), first);

    // Both copies of channel 1 hold the preset again.
    const TextMemory m = textMemory(r.state());
    const QList<int> text{84, 32, 190, 101, 192, 184, 32, 183, 111, 189, 97, 32, 49};
    QCOMPARE(bytesAt(m.working, 0x190, 13), text);
    QCOMPARE(bytesAt(m.stored, 0x190, 13), text);
    QCOMPARE(bytesAt(m.stored, 0x8FC, 6), (QList<int>{67, 32, 32, 32, 32, 32}));
}

void TestTextSim::refusedByteStopsTheFile()
{
    // The instrument answers every write with command 13 with an error.
    Rig r({QStringLiteral("--fault"), QStringLiteral("err:cmd=13:p=1")}, kPreset);
    QVERIFY(r.start());
    Dialog& w = *r.w;
    useChannelFile(r);
    w.ReadF->click();
    QCOMPARE(r.messages.messages().size(), 1);
    const QString message = r.messages.messages().first().text;
    QVERIFY2(message.startsWith(QStringLiteral("Ошибка: Прибор выдает ошибку\nНе записан текст канала 1, символ 1 "
                                               "(адрес 190); перенесено символов: 0 из 228")),
             qPrintable(message));
    QVERIFY(message.endsWith(QStringLiteral("Тексты прибора записаны не полностью.")));
    // The first character went out, nothing after it.
    const TextMemory m = textMemory(r.state());
    QCOMPARE(m.stored.value(0x190), 75);
    QCOMPARE(m.stored.value(0x191), 32);
    QCOMPARE(m.working.value(0x191), 32);
    QCOMPARE(r.received().size(), 3 + 2);
}

void TestTextSim::failureHalfwayThroughTheFile()
{
    QProcess help;
    help.start(testsupport::SimProcess::executable(), {QStringLiteral("--help")});
    help.waitForFinished(5000);
    QVERIFY2(help.readAllStandardOutput().contains("after=N"), "the simulator cannot aim a fault at the N-th frame");
    // The first 100 writes with command 5 are confirmed, then none.
    Rig r({QStringLiteral("--fault"), QStringLiteral("noack:cmd=5:after=100")}, kPreset);
    QVERIFY(r.start());
    Dialog& w = *r.w;
    useChannelFile(r);
    w.ReadF->click();
    QCOMPARE(errorTexts(r), QStringList{QStringLiteral("Text: Ошибка: Не удалось записать в прибор\nНе записан текст "
                                                       "канала 6, символ 6 (адрес 1F9); перенесено символов: 100 из "
                                                       "228. Тексты прибора записаны не полностью.")});
    QCOMPARE(w.ProgressBar->value(), 0);
    QVERIFY(w.ReadF->isEnabled());
    const TextMemory m = textMemory(r.state());
    // Channels 1 to 5 and five characters of channel 6 are the file's; the
    // sixth went out with 5 only (unconfirmed), and nothing after it.
    QCOMPARE(bytesAt(m.stored, 0x1E0, 7), (QList<int>{75, 97, 189, 97, 187, 32, 53}));
    QCOMPARE(bytesAt(m.working, 0x91C, 6), (QList<int>{101, 227, 32, 32, 32, 32}));
    QCOMPARE(bytesAt(m.stored, 0x1F4, 7), (QList<int>{75, 97, 189, 97, 187, 32, 32}));
    QCOMPARE(bytesAt(m.working, 0x1F4, 7), (QList<int>{75, 97, 189, 97, 187, 227, 32}));
    QCOMPARE(bytesAt(m.stored, 0x924, 6), (QList<int>{188, 51, 47, 192, 32, 32}));
}

void TestTextSim::unwritableFileReadsNothing()
{
    Rig r({}, kPreset);
    QVERIFY(r.start());
    r.w->FileName->setText(r.folder.file(QStringLiteral("missing/out.dat")));
    r.w->WriteF->click();
    QCOMPARE(r.messages.messages().size(), 1);
    QVERIFY2(r.messages.messages().first().text.endsWith(QStringLiteral("; из прибора ничего не прочитано")),
             qPrintable(r.messages.messages().first().text));
    // The channel read after it is the first frame the instrument gets.
    r.w->ReadS->click();
    QCOMPARE(r.receivedFrames().first(), QStringLiteral(":1;14;8FC;"));
}

void TestTextSim::unpluggedLine()
{
    Rig r({QStringLiteral("--fault"), QStringLiteral("unplug:cmd=14:once:ms=2000")}, kPreset);
    QVERIFY(r.start());
    Dialog& w = *r.w;
    w.Text->setText(QStringLiteral("прежний"));
    w.ReadS->click();
    QCOMPARE(r.messages.messages().size(), 1);
    QVERIFY2(r.messages.messages().first().text.startsWith(QStringLiteral("Ошибка: ") + instrument::kSystemErrorPrefix),
             qPrintable(r.messages.messages().first().text));
    QCOMPARE(w.Text->text(), QStringLiteral("прежний"));
    QVERIFY(w.ReadS->isEnabled());
}

QTEST_MAIN(TestTextSim)
#include "tst_text_sim.moc"
