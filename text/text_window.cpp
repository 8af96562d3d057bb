#include "text_window.h"

#include "controls.h"
#include "dialogs.h"
#include "lists.h"
#include "boxes.h"
#include "netaddress.h"
#include "numbers.h"
#include "programfolder.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace text {

namespace {

const QString kProgram = QStringLiteral("Text");
const QString kTitle = QStringLiteral("Загрузчик текстов");
const QString kConsequence = QStringLiteral("Тексты каналов не читаются и не записываются.");

// Read and write commands of a display byte: 5 first, then 13, each read back.
constexpr quint8 kWriteFirst = 5;
constexpr quint8 kWriteSecond = 13;
constexpr quint8 kRead = 14;

QString hexAddress(int address)
{
    return instrument::hexText16(qint16(address));
}

// Where an operation stopped, for its message.
QString stoppedAt(const QString& what, int n, int k, int address, int done, int total)
{
    return QStringLiteral("%1 канала %2, символ %3 (адрес %4); перенесено символов: %5 из %6")
        .arg(what)
        .arg(n)
        .arg(k)
        .arg(hexAddress(address))
        .arg(done)
        .arg(total);
}

} // namespace

QString Dialog::version()
{
    return QStringLiteral("1.0.0");
}

Dialog::Dialog(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Dialog"));
    setWindowTitle(ui::caption(kTitle, version()));
    ui::applyWindowFont(this);
    ui::setFixedClientSize(this, 4935, 3975);
    createControls();
    connectHandlers();
}

Dialog::~Dialog()
{
    Form_Unload();
}

void Dialog::createControls()
{
    using ui::Twips;
    Label1 = ui::label(this, QStringLiteral("Label1"), QStringLiteral("Сетевой адрес"), Twips{120, 150, 1500, 255});
    cbNetAdrr = ui::dropDownList(this, QStringLiteral("cbNetAdrr"), Twips{1680, 120, 975, 315},
                                 QStringLiteral("Сетевой адрес прибора"));
    Command1 = ui::button(this, QStringLiteral("Command1"), QStringLiteral("Выход"), Twips{3480, 105, 1335, 375});
    Label2 = ui::label(this, QStringLiteral("Label2"), QStringLiteral("Номер канала"), Twips{120, 600, 1500, 255});
    ChNum = ui::dropDownList(this, QStringLiteral("ChNum"), Twips{1680, 570, 1575, 315});
    Label3 = ui::label(this, QStringLiteral("Label3"), QStringLiteral("Измеряемая величина"),
                       Twips{120, 1020, 2175, 255});
    Text = ui::textBox(this, QStringLiteral("Text"), Twips{120, 1290, 2175, 315}, QString(), kTextBox);
    Label4 = ui::label(this, QStringLiteral("Label4"), QStringLiteral("Единицы измерения"),
                       Twips{2400, 1020, 2415, 255});
    UofM = ui::textBox(this, QStringLiteral("UofM"), Twips{2400, 1290, 1095, 315}, QString(), kUnitBox);
    ReadS = ui::button(this, QStringLiteral("ReadS"), QStringLiteral("Прочитать"), Twips{120, 1740, 1500, 375},
                       QStringLiteral("Прочитать канал из прибора"));
    WriteS = ui::button(this, QStringLiteral("WriteS"), QStringLiteral("Записать"), Twips{1740, 1740, 1500, 375},
                        QStringLiteral("Записать канал в прибор"));
    Line1 = ui::line(this, QStringLiteral("Line1"), 0, 2250, 4935);
    Label5 = ui::label(this, QStringLiteral("Label5"), QStringLiteral("Файлы текстов для прибора"),
                       Twips{120, 2370, 4695, 255});
    FileName = ui::textBox(this, QStringLiteral("FileName"), Twips{120, 2655, 3615, 315},
                           QStringLiteral("Файл текстов; имя без папки — в папке программы"));
    cmbDir = ui::button(this, QStringLiteral("cmbDir"), QStringLiteral("Найти"), Twips{3840, 2625, 975, 375},
                        QStringLiteral("Выбрать файл текстов"));
    WriteF = ui::button(this, QStringLiteral("WriteF"), QStringLiteral("Прочитать"), Twips{120, 3105, 1500, 375},
                        QStringLiteral("Прочитать все каналы из прибора в файл"));
    ReadF = ui::button(this, QStringLiteral("ReadF"), QStringLiteral("Записать"), Twips{1740, 3105, 1500, 375},
                       QStringLiteral("Записать все каналы из файла в прибор"));
    ProgressBar = ui::progressBar(this, QStringLiteral("ProgressBar"), Twips{120, 3600, 4695, 255});

    // The progress bar keeps showing how far an operation is while the rest waits.
    m_guard.setControls({cbNetAdrr, Command1, ChNum, Text, UofM, ReadS, WriteS, FileName, cmbDir, WriteF, ReadF});
}

void Dialog::connectHandlers()
{
    ui::connectNetAddress(cbNetAdrr, this, [this] { cbNetAdrr_LostFocus(); });
    connect(ReadS, &QPushButton::clicked, this, &Dialog::ReadS_Click);
    connect(WriteS, &QPushButton::clicked, this, &Dialog::WriteS_Click);
    connect(cmbDir, &QPushButton::clicked, this, &Dialog::cmbDir_Click);
    connect(WriteF, &QPushButton::clicked, this, &Dialog::WriteF_Click);
    connect(ReadF, &QPushButton::clicked, this, &Dialog::ReadF_Click);
    connect(Command1, &QPushButton::clicked, this, &Dialog::Command1_Click);
}

bool Dialog::Form_Load()
{
    setWindowTitle(ui::caption(kTitle, version()));
    m_table.SetCodeTable();
    QStringList channels;
    for (int n = 1; n <= kChannels; ++n)
        channels << QStringLiteral("Канал №%1").arg(n);
    ui::fill(ChNum, channels, 0);

    if (!ui::loadLink(m_dev, this, kProgram))
        return false;
    m_devLoaded = true;
    // Every address a channel uses must lie in the 16-bit range.
    m_textBase = ui::readBaseAddress(m_dev, QStringLiteral("CPU"), QStringLiteral("TEXT"), QStringLiteral("&H190"), 0,
                                     20 * (kChannels - 1) + kWriteSText - 1, kConsequence);
    m_unitBase = ui::readBaseAddress(m_dev, QStringLiteral("CPU"), QStringLiteral("UNIT"), QStringLiteral("&H8FC"), 0,
                                     8 * (kChannels - 1) + kWriteSUnit - 1, kConsequence);
    ui::fillNetAddresses(cbNetAdrr, m_dev, 1);

    QStringList problems;
    for (const ui::BaseAddress* a : {&m_textBase, &m_unitBase})
        if (!a->valid)
            problems << a->problem;
    if (!problems.isEmpty())
        ui::errorBox(this, kProgram, problems.join(QLatin1Char('\n')));
    return true;
}

void Dialog::Form_Unload()
{
    if (!m_devLoaded || m_unloaded)
        return;
    m_unloaded = true;
    m_dev.hide();
    m_dev.Form_Unload();
}

void Dialog::closeEvent(QCloseEvent* event)
{
    if (m_guard.holdClose(event))
        return;
    Form_Unload();
    event->accept();
}

// ---- helpers ------------------------------------------------------------------------

int Dialog::channel() const
{
    const int index = ui::selectedIndex(ChNum);
    return index < 0 ? 1 : index + 1;
}

bool Dialog::addressesUsable()
{
    for (const ui::BaseAddress* a : {&m_textBase, &m_unitBase}) {
        if (!a->valid) {
            showError(a->refusal());
            return false;
        }
    }
    return true;
}

void Dialog::beginOperation(int count)
{
    ProgressBar->setRange(0, count);
    ProgressBar->setValue(0);
    m_guard.begin();
}

void Dialog::step()
{
    ProgressBar->setValue(ProgressBar->value() + 1);
}

bool Dialog::endOperation()
{
    if (!m_guard.end())
        return false;
    ProgressBar->setValue(0);
    return true;
}

void Dialog::showError(const QString& text)
{
    ui::errorBox(this, kProgram, text);
    ProgressBar->setValue(0);
}

QString Dialog::writeCode(int address, quint8 code)
{
    const QString adrr = hexAddress(address);
    const QString value = instrument::hexText(code);
    const QString first = m_dev.sWriteAndRead(kWriteFirst, adrr, value);
    if (first != QLatin1String("OK"))
        return first;
    return m_dev.sWriteAndRead(kWriteSecond, adrr, value);
}

bool Dialog::readCode(int address, quint8* code, QString* error)
{
    const QString answer = m_dev.sCOMPort(kRead, hexAddress(address), QStringLiteral("0"));
    qint64 v = 0;
    if (!instrument::toWholeNumber(answer, m_dev.sFloatingPointSeparator, -32768, 65535, &v)) {
        *error = answer;
        return false;
    }
    if (v < 0 || v > 255) {
        *error = QStringLiteral("по адресу %1 прибор хранит %2, а код символа бывает от 0 до 255; "
                                "чтение остановлено")
                     .arg(hexAddress(address), answer.trimmed());
        return false;
    }
    *code = quint8(v);
    return true;
}

bool Dialog::readChar(int address, QChar* ch, QString* error)
{
    quint8 code = 0;
    if (!readCode(address, &code, error))
        return false;
    *ch = displayChar(m_table, code);
    return true;
}

// ---- handlers ------------------------------------------------------------------------

void Dialog::cbNetAdrr_LostFocus()
{
    ui::takeNetAddress(cbNetAdrr, m_dev);
}

void Dialog::Command1_Click()
{
    close();
}

void Dialog::ReadS_Click()
{
    if (!addressesUsable())
        return;
    const int n = channel();
    const QString oldText = Text->text();
    const QString oldUnit = UofM->text();
    beginOperation(kReadSUnit + kReadSText);

    QString error;
    bool ok = true;
    const struct {
        QLineEdit* box;
        int address;
        int count;
    } parts[] = {{UofM, unitAddress(n), kReadSUnit}, {Text, textAddress(n), kReadSText}};
    for (const auto& part : parts) {
        QString s;
        for (int k = 0; ok && k < part.count && !m_guard.isClosing(); ++k) {
            QChar c;
            ok = readChar(part.address + k, &c, &error);
            if (ok) {
                s += c;
                part.box->setText(s);
                step();
            }
        }
        if (!ok)
            break;
    }
    if (!ok || m_guard.isClosing()) {
        // A half-read text must not stay in the boxes to be written back later.
        Text->setText(oldText);
        UofM->setText(oldUnit);
    }
    if (!endOperation())
        return;
    if (!ok)
        showError(error);
}

void Dialog::WriteS_Click()
{
    if (!addressesUsable())
        return;
    const int n = channel();
    QList<quint8> text, unit;
    QString bad;
    if (!displayCodes(m_table, Text->text(), kWriteSText, &text, &bad)) {
        showError(QStringLiteral("в поле «Измеряемая величина» символ %1 не может быть записан в прибор; "
                                 "ничего не записано")
                      .arg(bad));
        return;
    }
    if (!displayCodes(m_table, UofM->text(), kWriteSUnit, &unit, &bad)) {
        showError(QStringLiteral("в поле «Единицы измерения» символ %1 не может быть записан в прибор; "
                                 "ничего не записано")
                      .arg(bad));
        return;
    }

    const int total = kWriteSText + kWriteSUnit;
    beginOperation(total);
    QString error;
    int done = 0;
    const struct {
        const QList<quint8>* codes;
        int address;
        const char* what;
    } parts[] = {{&text, textAddress(n), "текст"}, {&unit, unitAddress(n), "единицы"}};
    for (const auto& part : parts) {
        for (int k = 0; error.isEmpty() && k < part.codes->size(); ++k) {
            if (m_guard.isClosing()) {
                error = QStringLiteral("окно закрыто во время записи.\nНе записан %1")
                            .arg(stoppedAt(QString::fromUtf8(part.what), n, k + 1, part.address + k, done, total));
                break;
            }
            const QString r = writeCode(part.address + k, part.codes->at(k));
            if (r != QLatin1String("OK")) {
                error = QStringLiteral("%1\nНе записан %2")
                            .arg(r, stoppedAt(QString::fromUtf8(part.what), n, k + 1, part.address + k, done, total));
                break;
            }
            ++done;
            step();
        }
    }
    if (m_guard.isClosing() && !error.isEmpty())
        ui::errorBox(this, kProgram, error);
    if (!endOperation())
        return;
    if (!error.isEmpty())
        showError(error);
}

void Dialog::cmbDir_Click()
{
    ui::FileRequest request;
    request.title = QStringLiteral("Выберите файл!");
    request.filter = QStringLiteral("Файлы текстов для прибора (*.dat *.DAT)");
    request.defaultSuffix = QStringLiteral("dat");
    request.mayBeNew = true;
    const QString current = resolvePath(FileName->text());
    if (current.isEmpty()) {
        request.folder = instrument::programFolder();
    } else {
        const QFileInfo info(current);
        request.folder = info.absolutePath();
        request.fileName = info.fileName();
    }
    const QString chosen = ui::chooseFile(this, request);
    if (!chosen.isEmpty())
        FileName->setText(QDir::toNativeSeparators(chosen));
}

void Dialog::WriteF_Click()
{
    if (!addressesUsable())
        return;
    const QString path = resolvePath(FileName->text());
    if (path.trimmed().isEmpty()) {
        showError(QStringLiteral("не задано имя файла текстов"));
        return;
    }

    const int total = kChannels * (kWriteFUnit + kWriteFText);
    beginOperation(total);
    QList<ChannelTexts> channels;
    QString error;
    int done = 0;
    for (int n = 1; n <= kChannels && error.isEmpty() && !m_guard.isClosing(); ++n) {
        ChannelTexts ch;
        const struct {
            QString* value;
            int address;
            int count;
            const char* what;
        } parts[] = {{&ch.unit, unitAddress(n), kWriteFUnit, "единицы"},
                     {&ch.text, textAddress(n), kWriteFText, "текст"}};
        for (const auto& part : parts) {
            for (int k = 0; error.isEmpty() && k < part.count && !m_guard.isClosing(); ++k) {
                QChar c;
                QString r;
                if (!readChar(part.address + k, &c, &r)) {
                    error = QStringLiteral("%1\nНе прочитан %2. Файл не изменён.")
                                .arg(r, stoppedAt(QString::fromUtf8(part.what), n, k + 1, part.address + k, done,
                                                  total));
                    break;
                }
                *part.value += c;
                ++done;
                step();
            }
        }
        channels << ch;
    }
    // The file is replaced only once every channel has been read.
    if (error.isEmpty() && !m_guard.isClosing())
        writeTextFile(m_dev, path, channels, &error);
    if (!endOperation())
        return;
    if (!error.isEmpty())
        showError(error);
}

void Dialog::ReadF_Click()
{
    if (!addressesUsable())
        return;
    const QString path = resolvePath(FileName->text());
    QList<ChannelTexts> channels;
    QString problem;
    // The file is checked whole before the first character goes out.
    if (!readTextFile(m_dev, path, kReadFText, kWriteFUnit, &channels, &problem)) {
        showError(problem);
        return;
    }
    QList<QList<quint8>> texts, units;
    for (const ChannelTexts& ch : channels) {
        QList<quint8> t, u;
        QString bad;
        displayCodes(m_table, ch.text, kReadFText, &t, &bad);
        displayCodes(m_table, ch.unit, kReadFUnit, &u, &bad);
        texts << t;
        units << u;
    }

    const int total = kChannels * (kReadFText + kReadFUnit);
    beginOperation(total);
    QString error;
    int done = 0;
    for (int n = 1; n <= kChannels && error.isEmpty(); ++n) {
        const struct {
            const QList<quint8>* codes;
            int address;
            const char* what;
        } parts[] = {{&texts[n - 1], textAddress(n), "текст"}, {&units[n - 1], unitAddress(n), "единицы"}};
        for (const auto& part : parts) {
            for (int k = 0; error.isEmpty() && k < part.codes->size(); ++k) {
                if (m_guard.isClosing()) {
                    error = QStringLiteral("окно закрыто во время записи.\nНе записан %1. Тексты прибора записаны "
                                           "не полностью.")
                                .arg(stoppedAt(QString::fromUtf8(part.what), n, k + 1, part.address + k, done,
                                               total));
                    break;
                }
                const QString r = writeCode(part.address + k, part.codes->at(k));
                if (r != QLatin1String("OK")) {
                    error = QStringLiteral("%1\nНе записан %2. Тексты прибора записаны не полностью.")
                                .arg(r, stoppedAt(QString::fromUtf8(part.what), n, k + 1, part.address + k, done,
                                                  total));
                    break;
                }
                ++done;
                step();
            }
        }
    }
    if (m_guard.isClosing() && !error.isEmpty()) {
        // The display is half-written: say so before the window goes.
        ui::errorBox(this, kProgram, error);
    }
    if (!endOperation())
        return;
    if (!error.isEmpty())
        showError(error);
}

} // namespace text
