// The text loader's window against scripted answers.

#include "cp1251.h"
#include "displaytext.h"
#include "dialoganswerer.h"
#include "program.h"
#include "text_window.h"
#include "windowrig.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QtTest>

using text::Dialog;
using Rig = testsupport::ScriptedRig<Dialog>;

namespace {

QString hex(int v)
{
    return QString::number(v, 16).toUpper();
}

// The frames of one verified character write (5, then 13).
QStringList writeFrames(int address, int code)
{
    const QString a = hex(address), v = hex(code);
    return {QStringLiteral(":1;5;%1;%2;\r\n").arg(a, v), QStringLiteral(":1;6;%1;\r\n").arg(a),
            QStringLiteral(":1;13;%1;%2;\r\n").arg(a, v), QStringLiteral(":1;14;%1;\r\n").arg(a)};
}
// The instrument's answers to them.
QStringList writeAnswers(int code)
{
    const QString v = QStringLiteral("!%1;\r\n").arg(hex(code));
    return {QStringLiteral("!OK;\r\n"), v, QStringLiteral("!OK;\r\n"), v};
}
QString readFrame(int address)
{
    return QStringLiteral(":1;14;%1;\r\n").arg(hex(address));
}
QString readAnswer(int code)
{
    return QStringLiteral("!%1;\r\n").arg(hex(code));
}

QList<int> padded(QList<int> codes, int count)
{
    while (codes.size() < count)
        codes << 32;
    return codes.mid(0, count);
}

// The message boxes shown, each checked for the program's own form.
QStringList errors(const Rig& r)
{
    QStringList out;
    for (const instrument::Message& m : r.messages.messages()) {
        if (m.title != QLatin1String("Text") || m.icon != QMessageBox::NoIcon || m.buttons != QMessageBox::Ok)
            out << QStringLiteral("(not the program's box) ") + m.text;
        else
            out << m.text;
    }
    return out;
}

QByteArray cp(const QString& s)
{
    return instrument::toCp1251(QString(s).replace(QLatin1String("\n"), QLatin1String("\r\n")));
}

// A file whose every channel has the Latin text "T" and unit "C", chosen in the window.
void useLatinFile(Rig& r)
{
    QString file;
    for (int n = 1; n <= 12; ++n)
        file += QStringLiteral("[CHANNEL%1]\nUofM=C\nTEXT=T\n").arg(n);
    r.folder.writeFile(QStringLiteral("t.dat"), cp(file));
    r.w->FileName->setText(r.folder.file(QStringLiteral("t.dat")));
}

// The answers to ReadF of that file, for its first count characters.
void answerLatinFile(Rig& r, int count)
{
    for (int i = 0; i < count; ++i)
        r.replies(writeAnswers(i % 19 == 0 ? 84 : (i % 19 == 13 ? 67 : 32)));
}

} // namespace

class TestTextWindow : public QObject {
    Q_OBJECT
private slots:
    void startUp();
    void typingIsCut();
    void writeT1();
    void writeAddresses_data();
    void writeAddresses();
    void writeFailureSaysHowFar_data();
    void writeFailureSaysHowFar();
    void lettersTheDisplayLacks_data();
    void lettersTheDisplayLacks();
    void unholdableCharacterRefused();
    void readPeak();
    void readFailureRestoresBoxes_data();
    void readFailureRestoresBoxes();
    void baseAddressProblems_data();
    void baseAddressProblems();
    void readFSendsTheFile();
    void readFRefusedBeforeSending_data();
    void readFRefusedBeforeSending();
    void readFFailureHalfway();
    void writeFThenFile();
    void writeFFailureKeepsOldFile();
    void writeFUnwritableFile_data();
    void writeFUnwritableFile();
    void fileDialog();
    void closeDuringReadF();
    void unpluggedLine();
    void exitCloses();
    void qtDialogsInRussian();
};

void TestTextWindow::startUp()
{
    Rig r;
    QVERIFY(r.loaded);
    Dialog& w = *r.w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Загрузчик текстов v1.0.0"));
    QCOMPARE(w.ChNum->count(), 12);
    QCOMPARE(w.ChNum->itemText(0), QStringLiteral("Канал №1"));
    QCOMPARE(w.ChNum->itemText(11), QStringLiteral("Канал №12"));
    QCOMPARE(w.ChNum->currentIndex(), 0);
    QCOMPARE(w.cbNetAdrr->count(), 256);
    QCOMPARE(w.cbNetAdrr->itemText(255), QStringLiteral("255"));
    QCOMPARE(w.cbNetAdrr->currentText(), QStringLiteral("1"));
    QCOMPARE(int(w.dev()->bNetAdrr), 1);
    QCOMPARE(w.Text->maxLength(), 13);
    QCOMPARE(w.UofM->maxLength(), 6);
    const struct {
        QPushButton* b;
        const char* name;
        const char* caption;
        const char* tip;
    } buttons[] = {{w.ReadS, "ReadS", "Прочитать", "Прочитать канал из прибора"},
                   {w.WriteS, "WriteS", "Записать", "Записать канал в прибор"},
                   {w.WriteF, "WriteF", "Прочитать", "Прочитать все каналы из прибора в файл"},
                   {w.ReadF, "ReadF", "Записать", "Записать все каналы из файла в прибор"},
                   {w.cmbDir, "cmbDir", "Найти", nullptr},
                   {w.Command1, "Command1", "Выход", nullptr}};
    for (const auto& b : buttons) {
        QCOMPARE(b.b->objectName(), QLatin1String(b.name));
        QCOMPARE(b.b->text(), QString::fromUtf8(b.caption));
        if (b.tip)
            QCOMPARE(b.b->toolTip(), QString::fromUtf8(b.tip));
    }
    for (QLabel* l : {w.Label1, w.Label2, w.Label3, w.Label4, w.Label5, w.ToFile, w.ToInstrument})
        QVERIFY2(l->sizeHint().width() <= l->width(), qPrintable(l->text()));
    // The file buttons share their captions with the channel's; the way the
    // texts go stands over each.
    for (const auto& [label, button, way] : {std::tuple{w.ToFile, w.WriteF, "Прибор → файл"},
                                             std::tuple{w.ToInstrument, w.ReadF, "Файл → прибор"}}) {
        QCOMPARE(label->text(), QString::fromUtf8(way));
        QVERIFY(label->isVisible());
        QCOMPARE(label->geometry().center().x(), button->geometry().center().x());
        QVERIFY(label->geometry().bottom() < button->y() && label->y() > w.FileName->geometry().bottom());
    }
    QCOMPARE(w.ProgressBar->isTextVisible(), false);
    // The network address shown goes to the link.
    w.cbNetAdrr->setCurrentIndex(7);
    QCOMPARE(int(w.dev()->bNetAdrr), 7);
    QVERIFY(r.messages.messages().isEmpty());
    QVERIFY(r.frames().isEmpty());
}

void TestTextWindow::typingIsCut()
{
    Rig r;
    testsupport::typeInto(r.w->UofM, QStringLiteral("123456789"));
    QCOMPARE(r.w->UofM->text(), QStringLiteral("123456"));
    testsupport::typeInto(r.w->Text, QStringLiteral("Давление пара 2"));
    QCOMPARE(r.w->Text->text(), QStringLiteral("Давление пара"));
}

void TestTextWindow::writeT1()
{
    Rig r;
    Dialog& w = *r.w;
    w.Text->setText(QStringLiteral("Т1"));
    w.UofM->clear();
    const QList<int> text = padded({84, 49}, 15);
    const QList<int> unit = padded({}, 7);
    QStringList want;
    for (int k = 0; k < 15; ++k) {
        want << writeFrames(0x190 + k, text[k]);
        r.replies(writeAnswers(text[k]));
    }
    for (int k = 0; k < 7; ++k) {
        want << writeFrames(0x8FC + k, unit[k]);
        r.replies(writeAnswers(unit[k]));
    }
    int maximum = -1;
    bool disabled = true;
    r.port->onWrite = [&](const QByteArray&) {
        maximum = w.ProgressBar->maximum();
        disabled = disabled && !w.WriteS->isEnabled() && !w.ReadF->isEnabled() && !w.Text->isEnabled();
    };
    w.WriteS->click();
    QCOMPARE(r.frames(), want);
    QCOMPARE(maximum, 22);
    QVERIFY(disabled);
    QVERIFY(w.WriteS->isEnabled());
    QCOMPARE(w.ProgressBar->value(), 0);
    QCOMPARE(errors(r), QStringList());
}

void TestTextWindow::writeAddresses_data()
{
    QTest::addColumn<QString>("cpu");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("textAt");
    QTest::addColumn<int>("unitAt");
    QTest::newRow("channel 12") << QString() << 12 << 0x26C << 0x954;
    QTest::newRow("channel 5") << QString() << 5 << 0x1E0 << 0x91C;
    QTest::newRow("own bases") << QStringLiteral("[CPU]\nTEXT=&H200\nUNIT=3000\n") << 2 << 0x214 << 3008;
    QTest::newRow("lower-case hex") << QStringLiteral("[CPU]\nTEXT=&h1000\n") << 1 << 0x1000 << 0x8FC;
}

void TestTextWindow::writeAddresses()
{
    QFETCH(QString, cpu);
    QFETCH(int, channel);
    QFETCH(int, textAt);
    QFETCH(int, unitAt);
    Rig r(cpu);
    Dialog& w = *r.w;
    QCOMPARE(errors(r), QStringList());
    w.ChNum->setCurrentIndex(channel - 1);
    w.Text->setText(QStringLiteral("й"));
    w.UofM->setText(QStringLiteral("Ь"));
    r.messages.answerNext(QMessageBox::Yes); // the display shows "и" for "й"
    QStringList want;
    for (int k = 0; k < 15; ++k) {
        const int c = k == 0 ? 184 : 32;
        want << writeFrames(textAt + k, c);
        r.replies(writeAnswers(c));
    }
    for (int k = 0; k < 7; ++k) {
        const int c = k == 0 ? 196 : 32;
        want << writeFrames(unitAt + k, c);
        r.replies(writeAnswers(c));
    }
    w.WriteS->click();
    QCOMPARE(r.frames(), want);
    QCOMPARE(errors(r).size(), 1);
}

void TestTextWindow::writeFailureSaysHowFar_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("written");
    QTest::addColumn<QString>("message");
    QTest::newRow("text") << QStringLiteral("Т1") << QList<int>{84}
                          << QStringLiteral("Не записан текст канала 1, символ 2 (адрес 191); перенесено символов: 1 из 22");
    QTest::newRow("unit") << QString() << padded({}, 15)
                          << QStringLiteral("Не записаны единицы измерения канала 1, символ 1 (адрес 8FC); перенесено "
                                            "символов: 15 из 22");
}

void TestTextWindow::writeFailureSaysHowFar()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, written);
    QFETCH(QString, message);
    Rig r;
    Dialog& w = *r.w;
    w.Text->setText(text);
    for (int code : written)
        r.replies(writeAnswers(code));
    // The next character's write with 13 is refused three times.
    r.replies({QStringLiteral("!OK;\r\n"), QStringLiteral("!31;\r\n"), QStringLiteral("!ERR;\r\n"),
               QStringLiteral("!ERR;\r\n"), QStringLiteral("!ERR;\r\n")});
    w.WriteS->click();
    QCOMPARE(r.frames().size(), 4 * written.size() + 5);
    QCOMPARE(errors(r), QStringList{QStringLiteral("Ошибка: Не удалось записать в прибор\n") + message});
    QVERIFY(w.WriteS->isEnabled());
    QCOMPARE(w.ProgressBar->value(), 0);
}

void TestTextWindow::lettersTheDisplayLacks_data()
{
    QTest::addColumn<bool>("file");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");   // empty: none asked
    QTest::newRow("degree, No") << false << QStringLiteral("Т") << QStringLiteral("°С") << false
                                << QStringLiteral("(«°» как «Ю»).\nЕдиницы измерения: «°С» будет показано как «ЮС»\n");
    QTest::newRow("Ё and й, Yes") << false << QStringLiteral("Ёмкость й") << QString() << true
                                  << QStringLiteral("(«Ё» как «П», «й» как «и»).\nИзмеряемая величина: «Ёмкость й» "
                                                    "будет показано как «ПмкостЬ и»\n");
    QTest::newRow("Latin and Cyrillic the display has") << false << QStringLiteral("Peak Давление") << QStringLiteral("C")
                                                        << false << QString();
    QTest::newRow("file, No") << true << QStringLiteral("T") << QStringLiteral("°С") << false
                              << QStringLiteral("\nканал 5, единицы измерения: «°С» будет показано как «ЮС»\n");
    QTest::newRow("file, Yes") << true << QStringLiteral("Ёмкость") << QStringLiteral("C") << true
                               << QStringLiteral("\nканал 5, текст: «Ёмкость» будет показано как «ПмкостЬ»\n");
}

void TestTextWindow::lettersTheDisplayLacks()
{
    QFETCH(bool, file);
    QFETCH(QString, text);
    QFETCH(QString, unit);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    Rig r;
    Dialog& w = *r.w;
    // What a write sends: characters of the field, blanks after them.
    QList<QPair<QString, int>> parts;
    if (file) {
        QString content;
        for (int n = 1; n <= 12; ++n)
            content += n == 5 ? QStringLiteral("[CHANNEL5]\nUofM=%1\nTEXT=%2\n").arg(unit, text)
                              : QStringLiteral("[CHANNEL%1]\nUofM=C\nTEXT=T\n").arg(n);
        r.folder.writeFile(QStringLiteral("t.dat"), cp(content));
        w.FileName->setText(r.folder.file(QStringLiteral("t.dat")));
        for (int n = 1; n <= 12; ++n)
            parts << qMakePair(n == 5 ? text : QStringLiteral("T"), 13) << qMakePair(n == 5 ? unit : QStringLiteral("C"), 6);
    } else {
        w.Text->setText(text);
        w.UofM->setText(unit);
        parts << qMakePair(text, 15) << qMakePair(unit, 7);
    }
    int characters = 0;
    for (const auto& [value, count] : parts) {
        QList<quint8> codes;
        QString bad;
        QVERIFY(instrument::map::displayCodes(value, count, &codes, &bad));
        for (quint8 c : codes)
            r.replies(writeAnswers(c));
        characters += count;
    }
    if (!question.isEmpty())
        r.messages.answerNext(yes ? QMessageBox::Yes : QMessageBox::No);
    (file ? w.ReadF : w.WriteS)->click();
    if (question.isEmpty()) {
        QCOMPARE(errors(r), QStringList());
    } else {
        QCOMPARE(r.messages.messages().size(), 1);
        const instrument::Message& m = r.messages.messages().first();
        QCOMPARE(m.buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY2(m.text.startsWith(QStringLiteral("На индикаторе прибора нет некоторых символов"))
                     && m.text.contains(question) && m.text.endsWith(QStringLiteral("\nЗаписать всё равно?")),
                 qPrintable(m.text));
    }
    // No sends nothing; Yes, or nothing to ask, writes everything.
    QCOMPARE(r.frames().size(), !question.isEmpty() && !yes ? 0 : 4 * characters);
    QVERIFY(w.WriteS->isEnabled());
}

void TestTextWindow::unholdableCharacterRefused()
{
    Rig r;
    Dialog& w = *r.w;
    w.Text->setText(QStringLiteral("Т1"));
    w.UofM->setText(QStringLiteral("м³"));
    w.WriteS->click();
    QVERIFY(r.frames().isEmpty());
    QCOMPARE(errors(r), QStringList{QStringLiteral("Ошибка: в поле «Единицы измерения» символ «³» (U+00B3) не может "
                                                   "быть записан в прибор: ничего не записано")});
    r.messages.clear();
    w.Text->setText(QStringLiteral("T\U0001F600"));
    w.WriteS->click();
    QVERIFY(r.frames().isEmpty());
    QCOMPARE(errors(r).size(), 1);
    QVERIFY(errors(r).first().contains(QStringLiteral("«Измеряемая величина» символ «\U0001F600» (U+1F600)")));
}

void TestTextWindow::readPeak()
{
    Rig r;
    Dialog& w = *r.w;
    w.ChNum->setCurrentIndex(2);
    const QList<int> unit{188, 51, 47, 192, 32, 32}; // "м3/ч"
    const QList<int> text = padded({80, 101, 97, 107}, 13);       // Latin P, e, a, k
    QStringList want;
    for (int k = 0; k < 6; ++k) {
        want << readFrame(0x90C + k);
        r.replies({readAnswer(unit[k])});
    }
    for (int k = 0; k < 13; ++k) {
        want << readFrame(0x1B8 + k);
        r.replies({readAnswer(text[k])});
    }
    QStringList unitShown;
    int maximum = -1;
    r.port->onWrite = [&](const QByteArray&) {
        unitShown << w.UofM->text();
        maximum = w.ProgressBar->maximum();
    };
    w.ReadS->click();
    QCOMPARE(r.frames(), want);
    QCOMPARE(w.Text->text(), QStringLiteral("\u0420\u0435\u0430k         "));
    QCOMPARE(w.UofM->text(), QStringLiteral("м3/ч  "));
    // The unit box grows by one character after each read.
    QCOMPARE(unitShown.mid(0, 7), (QStringList{QString(), QStringLiteral("м"), QStringLiteral("м3"),
                                               QStringLiteral("м3/"), QStringLiteral("м3/ч"),
                                               QStringLiteral("м3/ч "), QStringLiteral("м3/ч  ")}));
    QCOMPARE(maximum, 19);
    QCOMPARE(errors(r), QStringList());
    // What a read puts into the boxes is shown from its start.
    QCOMPARE(w.Text->cursorPosition(), 0);
    QCOMPARE(w.UofM->cursorPosition(), 0);
}

void TestTextWindow::readFailureRestoresBoxes_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("message");
    const QStringList unit{readAnswer(67), readAnswer(32), readAnswer(32), readAnswer(32), readAnswer(32),
                           readAnswer(32)};
    QTest::newRow("silent at the third text byte")
        << (unit + QStringList{readAnswer(84), readAnswer(32), QString(), QString(), QString()}) << 6 + 2 + 3
        << QStringLiteral("Ошибка: Прибор не отвечает");
    QTest::newRow("a value above 255") << (QStringList{readAnswer(67), QStringLiteral("!100;\r\n")}) << 2
                                       << QStringLiteral("Ошибка: по адресу 8FD прибор хранит 256, а код символа "
                                                         "бывает от 0 до 255; чтение остановлено");
    QTest::newRow("a negative value") << (unit + QStringList{QStringLiteral("!FFFF;\r\n")}) << 7
                                      << QStringLiteral("Ошибка: по адресу 190 прибор хранит -1, а код символа "
                                                        "бывает от 0 до 255; чтение остановлено");
    QTest::newRow("not a number") << (QStringList{QStringLiteral("!xy;\r\n"), QStringLiteral("!xy;\r\n"),
                                                  QStringLiteral("!xy;\r\n")})
                                  << 3 << QStringLiteral("Ошибка: Из прибора пришло число в неправильном формате");
}

void TestTextWindow::readFailureRestoresBoxes()
{
    QFETCH(QStringList, answers);
    Rig r;
    Dialog& w = *r.w;
    w.Text->setText(QStringLiteral("прежний"));
    w.UofM->setText(QStringLiteral("ед"));
    r.replies(answers);
    w.ReadS->click();
    QTEST(int(r.frames().size()), "frames");
    QFETCH(QString, message);
    QCOMPARE(errors(r), QStringList{message});
    QCOMPARE(w.Text->text(), QStringLiteral("прежний"));
    QCOMPARE(w.UofM->text(), QStringLiteral("ед"));
    QVERIFY(w.ReadS->isEnabled());
    QCOMPARE(w.ProgressBar->value(), 0);
}

void TestTextWindow::baseAddressProblems_data()
{
    QTest::addColumn<QString>("cpu");
    QTest::addColumn<QString>("named");
    QTest::newRow("not a number") << QStringLiteral("[CPU]\nTEXT=abc\n") << QStringLiteral("[CPU] ключ TEXT = \"abc\"");
    QTest::newRow("a fraction") << QStringLiteral("[CPU]\nUNIT=12,5\n") << QStringLiteral("[CPU] ключ UNIT = \"12,5\"");
    QTest::newRow("channel 12 beyond 16 bits") << QStringLiteral("[CPU]\nTEXT=&H7FF0\n")
                                               << QStringLiteral("[CPU] ключ TEXT = \"&H7FF0\"");
    QTest::newRow("too large") << QStringLiteral("[CPU]\nUNIT=70000\n") << QStringLiteral("[CPU] ключ UNIT = \"70000\"");
}

void TestTextWindow::baseAddressProblems()
{
    QFETCH(QString, cpu);
    QFETCH(QString, named);
    Rig r(cpu);
    QVERIFY(r.loaded);
    QCOMPARE(errors(r).size(), 1);
    QVERIFY2(errors(r).first().contains(QStringLiteral("\"dev.dat\"")) && errors(r).first().contains(named),
             qPrintable(errors(r).first()));
    Dialog& w = *r.w;
    r.folder.writeFile(QStringLiteral("t.dat"), cp(QStringLiteral("[CHANNEL1]\nTEXT=a\nUofM=b\n")));
    w.FileName->setText(r.folder.file(QStringLiteral("t.dat")));
    for (QPushButton* b : {w.ReadS, w.WriteS, w.ReadF, w.WriteF}) {
        r.messages.clear();
        b->click();
        QCOMPARE(errors(r).size(), 1);
        QVERIFY2(errors(r).first().contains(named), qPrintable(errors(r).first()));
    }
    QVERIFY(r.frames().isEmpty());
}

void TestTextWindow::readFSendsTheFile()
{
    Rig r;
    Dialog& w = *r.w;
    QString file;
    for (int n = 1; n <= 12; ++n)
        file += QStringLiteral("[CHANNEL%1]\nUofM=\"%2\"\nTEXT=\"  Т%1\"\n")
                    .arg(n)
                    .arg(QStringLiteral("ед %1").arg(n).leftJustified(7)); // 7 characters, 6 of them sent
    r.folder.writeFile(QStringLiteral("texts.dat"), cp(file));
    w.FileName->setText(QStringLiteral("texts.dat")); // a name without a folder: the program folder
    QStringList want;
    for (int n = 1; n <= 12; ++n) {
        QList<int> text{32, 32, 84};
        for (QChar c : QString::number(n))
            text << c.unicode();
        text = padded(text, 13);
        QList<int> unit{101, 227, 32};
        for (QChar c : QString::number(n))
            unit << c.unicode();
        unit = padded(unit, 6);
        for (int k = 0; k < 13; ++k) {
            want << writeFrames(0x190 + 20 * (n - 1) + k, text[k]);
            r.replies(writeAnswers(text[k]));
        }
        for (int k = 0; k < 6; ++k) {
            want << writeFrames(0x8FC + 8 * (n - 1) + k, unit[k]);
            r.replies(writeAnswers(unit[k]));
        }
    }
    int maximum = -1;
    int lastValue = -1;
    r.port->onWrite = [&](const QByteArray&) {
        maximum = w.ProgressBar->maximum();
        lastValue = w.ProgressBar->value();
    };
    w.ReadF->click();
    QCOMPARE(r.frames().size(), 912);
    QCOMPARE(r.frames(), want);
    QCOMPARE(maximum, 228);
    QCOMPARE(lastValue, 227);
    QCOMPARE(errors(r), QStringList());
    QCOMPARE(w.ProgressBar->value(), 0);
}

void TestTextWindow::readFRefusedBeforeSending_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("saying");
    QTest::newRow("no file name") << QString() << QByteArray() << QStringLiteral("не задано имя файла");
    QTest::newRow("no such file") << QStringLiteral("none.dat") << QByteArray() << QStringLiteral("none.dat» не найден");
    QTest::newRow("a key missing") << QStringLiteral("t.dat") << cp(QStringLiteral("[CHANNEL1]\nTEXT=a\n"))
                                   << QStringLiteral("[CHANNEL1] UofM");
    QTest::newRow("UTF-8") << QStringLiteral("t.dat") << QStringLiteral("[CHANNEL1]\nTEXT=Ток\n").toUtf8()
                           << QStringLiteral("не в кодировке Windows-1251 (похоже, UTF-8)");
    const QString latin = QStringLiteral("[CHANNEL1]\nTEXT=T\nUofM=C\n");
    const auto utf16 = [&](QStringConverter::Encoding e) -> QByteArray {
        QStringEncoder encoder(e, QStringEncoder::Flag::WriteBom);
        return encoder(latin);
    };
    QTest::newRow("UTF-16 LE") << QStringLiteral("t.dat") << QByteArray(utf16(QStringConverter::Utf16LE))
                               << QStringLiteral("не в кодировке Windows-1251 (похоже, UTF-16)");
    QTest::newRow("UTF-16 BE") << QStringLiteral("t.dat") << QByteArray(utf16(QStringConverter::Utf16BE))
                               << QStringLiteral("не в кодировке Windows-1251 (похоже, UTF-16)");
    QTest::newRow("UTF-16 without a mark") << QStringLiteral("t.dat") << QByteArray(utf16(QStringConverter::Utf16LE)).mid(2)
                                           << QStringLiteral("не в кодировке Windows-1251 (похоже, UTF-16)");
}

void TestTextWindow::readFRefusedBeforeSending()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, saying);
    Rig r;
    if (!bytes.isEmpty())
        r.folder.writeFile(name, bytes);
    r.w->FileName->setText(name);
    r.w->ReadF->click();
    QVERIFY(r.frames().isEmpty());
    QCOMPARE(errors(r).size(), 1);
    QVERIFY2(errors(r).first().startsWith(QStringLiteral("Ошибка: ")) && errors(r).first().contains(saying),
             qPrintable(errors(r).first()));
    QVERIFY(r.w->ReadF->isEnabled());
}

void TestTextWindow::readFFailureHalfway()
{
    Rig r;
    Dialog& w = *r.w;
    useLatinFile(r);
    // Channel 1 whole (19 characters) and 2 characters of channel 2's text; then silence.
    answerLatinFile(r, 19 + 2);
    w.ReadF->click();
    QCOMPARE(r.frames().size(), 21 * 4 + 3);
    QCOMPARE(errors(r), QStringList{QStringLiteral("Ошибка: Прибор не отвечает\nНе записан текст канала 2, символ 3 "
                                                   "(адрес 1A6); перенесено символов: 21 из 228. Тексты прибора "
                                                   "записаны не полностью.")});
}

void TestTextWindow::writeFThenFile()
{
    Rig r;
    Dialog& w = *r.w;
    w.FileName->setText(QStringLiteral("out.dat"));
    QStringList want;
    for (int n = 1; n <= 12; ++n) {
        // Unit "C" with code 0 at its end; text centred, with a line feed code and byte 98.
        const QList<int> unit{67, 32, 32, 32, 32, 32, 0};
        const QList<int> text = padded({32, 80, 101, 97, 107, 10, n == 3 ? 152 : 49, 32}, 13);
        for (int k = 0; k < 7; ++k) {
            want << readFrame(0x8FC + 8 * (n - 1) + k);
            r.replies({readAnswer(unit[k])});
        }
        for (int k = 0; k < 13; ++k) {
            want << readFrame(0x190 + 20 * (n - 1) + k);
            r.replies({readAnswer(text[k])});
        }
    }
    int maximum = -1;
    r.port->onWrite = [&](const QByteArray&) { maximum = w.ProgressBar->maximum(); };
    w.WriteF->click();
    QCOMPARE(r.frames(), want);
    QCOMPARE(maximum, 240);
    QCOMPARE(errors(r), QStringList());
    const QByteArray bytes = r.folder.readFile(QStringLiteral("out.dat"));
    QByteArray expected;
    for (int n = 1; n <= 12; ++n)
        expected += cp(QStringLiteral("[CHANNEL%1]\nUofM=\"С      \"\nTEXT=\" Реаk %2      \"\n")
                           .arg(n)
                           .arg(n == 3 ? QString(QChar(0x98)) : QStringLiteral("1")));
    QCOMPARE(bytes, expected);
    QVERIFY(bytes.contains("\x98"));
}

void TestTextWindow::writeFFailureKeepsOldFile()
{
    Rig r;
    Dialog& w = *r.w;
    const QByteArray old = cp(QStringLiteral("[CHANNEL1]\nUofM=old\nTEXT=old\n"));
    r.folder.writeFile(QStringLiteral("out.dat"), old);
    w.FileName->setText(r.folder.file(QStringLiteral("out.dat")));
    // Channels 1 to 3 are read; channel 4's unit is silent.
    for (int i = 0; i < 60; ++i)
        r.replies({readAnswer(65)});
    w.WriteF->click();
    QCOMPARE(r.frames().size(), 60 + 3);
    QCOMPARE(errors(r), QStringList{QStringLiteral("Ошибка: Прибор не отвечает\nНе прочитаны единицы измерения канала 4, символ 1 "
                                                   "(адрес 914); перенесено символов: 60 из 240. Файл не изменён.")});
    QCOMPARE(r.folder.readFile(QStringLiteral("out.dat")), old);
}

void TestTextWindow::writeFUnwritableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("saying");
    QTest::newRow("missing folder") << QStringLiteral("missing/out.dat") << QStringLiteral("не существует");
    QTest::newRow("a folder by that name") << QStringLiteral("sub") << QStringLiteral("это не файл");
    QTest::newRow("a read-only file") << QStringLiteral("ro.dat") << QStringLiteral("только для чтения");
    QTest::newRow("a file for a folder") << QStringLiteral("ro.dat/out.dat") << QStringLiteral("не папка");
}

void TestTextWindow::writeFUnwritableFile()
{
    QFETCH(QString, name);
    QFETCH(QString, saying);
    Rig r;
    Dialog& w = *r.w;
    QVERIFY(QDir(r.folder.path()).mkdir(QStringLiteral("sub")));
    r.folder.writeFile(QStringLiteral("ro.dat"), cp(QStringLiteral("[CHANNEL1]\nTEXT=old\n")));
    QVERIFY(QFile::setPermissions(r.folder.file(QStringLiteral("ro.dat")), QFileDevice::ReadOwner));
    w.FileName->setText(r.folder.file(name));
    for (int i = 0; i < 240; ++i)
        r.replies({readAnswer(65)});
    w.WriteF->click();
    // Nothing is read for a file that cannot take it.
    QVERIFY(r.frames().isEmpty());
    QCOMPARE(errors(r).size(), 1);
    QVERIFY2(errors(r).first().startsWith(QStringLiteral("Ошибка: файл «") + r.folder.file(name)
                                          + QStringLiteral("» не может быть записан: "))
                 && errors(r).first().contains(saying)
                 && errors(r).first().endsWith(QStringLiteral("; из прибора ничего не прочитано")),
             qPrintable(errors(r).first()));
    QCOMPARE(r.folder.readFile(QStringLiteral("ro.dat")), cp(QStringLiteral("[CHANNEL1]\nTEXT=old\n")));
}

void TestTextWindow::fileDialog()
{
    Rig r;
    Dialog& w = *r.w;
    testsupport::FileDialogAnswerer files;
    w.FileName->setText(QStringLiteral("old.dat"));
    files.answerNext(QString()); // Cancel
    w.cmbDir->click();
    QCOMPARE(w.FileName->text(), QStringLiteral("old.dat"));
    QCOMPARE(files.requests().size(), 1);
    const ui::FileRequest& q = files.requests().first();
    QCOMPARE(q.title, QStringLiteral("Выберите файл!"));
    QVERIFY(q.filter.startsWith(QStringLiteral("Файлы текстов для прибора")));
    QVERIFY(q.filter.contains(QStringLiteral("*.dat")) && q.filter.contains(QStringLiteral("*.DAT")));
    QCOMPARE(q.defaultSuffix, QStringLiteral("dat"));
    QVERIFY(q.mayBeNew);
    QCOMPARE(q.folder, r.folder.path());
    QCOMPARE(q.fileName, QStringLiteral("old.dat"));
    // A new name without an extension gets ".dat".
    files.answerNext(r.folder.file(QStringLiteral("new")));
    w.cmbDir->click();
    QCOMPARE(w.FileName->text(), r.folder.file(QStringLiteral("new.dat")));
    QVERIFY(r.frames().isEmpty());
}

void TestTextWindow::closeDuringReadF()
{
    Rig r;
    Dialog& w = *r.w;
    useLatinFile(r);
    answerLatinFile(r, 228);
    r.port->onWrite = [&](const QByteArray&) {
        if (r.port->written.size() == 9) // the third character's first write
            w.close();
    };
    w.ReadF->click();
    // The exchange under way is finished (its read back too), nothing after it.
    QCOMPARE(r.frames().size(), 10);
    QVERIFY(!w.isVisible());
    QCOMPARE(errors(r).size(), 1);
    QVERIFY2(errors(r).first().startsWith(QStringLiteral("Окно закрыто во время записи.\nЗаписано: текст канала 1 "
                                                         "(символы 1–2).\nНе записано: текст канала 1 (символы "
                                                         "3–13), единицы измерения канала 1, текст канала 2, "))
                 && errors(r).first().endsWith(QStringLiteral(", текст канала 12, единицы измерения канала 12.")),
             qPrintable(errors(r).first()));
}

void TestTextWindow::unpluggedLine()
{
    Rig r;
    r.port->openFailure = QStringLiteral(": устройство не найдено");
    r.w->ReadS->click();
    QCOMPARE(errors(r), QStringList{QStringLiteral("Ошибка: ") + instrument::kSystemErrorPrefix + QStringLiteral(": устройство не найдено")});
    QVERIFY(r.w->ReadS->isEnabled());
}

void TestTextWindow::exitCloses()
{
    Rig r;
    QVERIFY(r.w->isVisible());
    r.w->Command1->click();
    QVERIFY(!r.w->isVisible());
    QVERIFY(r.frames().isEmpty());
}

void TestTextWindow::qtDialogsInRussian()
{
    // What every program sets before its window opens: Qt's own buttons and
    // the file dialog speak Russian.
    ui::prepareProgram();
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Text"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    const auto shown = [&](QMessageBox::StandardButton b) { return box.button(b)->text().remove(QLatin1Char('&')); };
    QCOMPARE(shown(QMessageBox::Yes), QStringLiteral("Да"));
    QCOMPARE(shown(QMessageBox::No), QStringLiteral("Нет"));
    QCOMPARE(shown(QMessageBox::Abort), QStringLiteral("Прервать"));
    QCOMPARE(shown(QMessageBox::Retry), QStringLiteral("Повторить"));
    QCOMPARE(shown(QMessageBox::Ignore), QStringLiteral("Пропустить"));

    QFileDialog dialog(nullptr, QStringLiteral("Выберите файл!"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    QPushButton* open = buttons->button(QDialogButtonBox::Open);
    QVERIFY(open);
    QCOMPARE(open->text(), QStringLiteral("&Открыть"));
    QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Отмена"));
}

QTEST_MAIN(TestTextWindow)
#include "tst_text_window.moc"
