#include "text_window.h"

#include "controls.h"
#include "dialogs.h"
#include "lists.h"
#include "boxes.h"
#include "netaddress.h"
#include "numbers.h"
#include "programfolder.h"
#include "protocol.h"

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

// A display byte is written with 5 first, then 13, each read back, and
// read with 14.
using namespace instrument::cmd;

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

Dialog::Dialog(QWidget* parent) : ui::ProgramWindow(kProgram, parent)
{
    setObjectName(QStringLiteral("Dialog"));
    setWindowTitle(ui::caption(kTitle, version()));
    ui::applyWindowFont(this);
    ui::setFixedClientSize(this, 4935, 3975);
    createControls();
    connectHandlers();
}

Dialog::~Dialog() = default;

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
    guard().setControls({cbNetAdrr, Command1, ChNum, Text, UofM, ReadS, WriteS, FileName, cmbDir, WriteF, ReadF});
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

    if (!loadLink())
        return false;
    // Every address a channel uses must lie in the 16-bit range.
    m_textBase = ui::readBaseAddress(*dev(), QStringLiteral("CPU"), QStringLiteral("TEXT"), QStringLiteral("&H190"), 0,
                                     20 * (kChannels - 1) + kWriteSText - 1, kConsequence);
    m_unitBase = ui::readBaseAddress(*dev(), QStringLiteral("CPU"), QStringLiteral("UNIT"), QStringLiteral("&H8FC"), 0,
                                     8 * (kChannels - 1) + kWriteSUnit - 1, kConsequence);
    ui::fillNetAddresses(cbNetAdrr, *dev(), 1);

    QStringList problems;
    for (const ui::BaseAddress* a : {&m_textBase, &m_unitBase})
        if (!a->valid)
            problems << a->problem;
    reportStartProblems(problems);
    return true;
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

bool Dialog::writeParts(ui::Operation& op, const QList<WritePart>& parts, const QString& tail)
{
    int total = 0;
    QStringList plan;
    for (const WritePart& p : parts) {
        total += p.codes.size();
        plan << QStringLiteral("%1 канала %2").arg(p.what).arg(p.channel);
    }
    op.plan(plan);
    op.showProgress(ProgressBar, total);
    int done = 0;
    for (const WritePart& p : parts) {
        const QString item = QStringLiteral("%1 канала %2").arg(p.what).arg(p.channel);
        for (int k = 0; k < p.codes.size(); ++k) {
            const int address = p.address + k;
            const auto failText = [&](const QString& answer) {
                return QStringLiteral("%1\nНе записан %2%3")
                    .arg(answer, stoppedAt(p.what, p.channel, k + 1, address, done, total), tail);
            };
            if (!op.writeVerifiedPair(WriteIntegerFlash, WriteInteger, hexAddress(address),
                                      instrument::hexText(p.codes.at(k)), failText))
                return false;
            ++done;
            op.advance();
            // How far the part has got, for the report of a close.
            if (k + 1 < p.codes.size())
                op.donePart(item, QStringLiteral("%1 (символы 1–%2)").arg(item).arg(k + 1),
                            QStringLiteral("%1 (символы %2–%3)").arg(item).arg(k + 2).arg(p.codes.size()));
        }
        op.done(item);
    }
    return true;
}

std::optional<QChar> Dialog::readChar(ui::Operation& op, int address, QString* error)
{
    const std::optional<QString> answer = op.call(
        [&](instrument::Dev& d) { return d.sCOMPort(ReadInteger, hexAddress(address), QStringLiteral("0")); });
    if (!answer)
        return std::nullopt;
    qint64 v = 0;
    if (!instrument::toWholeNumber(*answer, dev()->sFloatingPointSeparator, -32768, 65535, &v)) {
        *error = *answer;
        return std::nullopt;
    }
    if (v < 0 || v > 255) {
        *error = QStringLiteral("по адресу %1 прибор хранит %2, а код символа бывает от 0 до 255; "
                                "чтение остановлено")
                     .arg(hexAddress(address), answer->trimmed());
        return std::nullopt;
    }
    return displayChar(m_table, quint8(v));
}

// ---- handlers ------------------------------------------------------------------------

void Dialog::cbNetAdrr_LostFocus()
{
    ui::takeNetAddress(cbNetAdrr, *dev());
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
    ui::Operation op(this, ui::Operation::Read);
    op.showProgress(ProgressBar, kReadSUnit + kReadSText);

    const struct {
        QLineEdit* box;
        int address;
        int count;
    } parts[] = {{UofM, unitAddress(n), kReadSUnit}, {Text, textAddress(n), kReadSText}};
    for (const auto& part : parts) {
        QString s;
        for (int k = 0; k < part.count; ++k) {
            QString error;
            const std::optional<QChar> c = readChar(op, part.address + k, &error);
            if (!c) {
                // A half-read text must not stay in the boxes to be written back later.
                Text->setText(oldText);
                UofM->setText(oldUnit);
                if (!error.isEmpty())
                    op.fail(error);
                return;
            }
            s += *c;
            ui::showValue(part.box, s);
            op.advance();
        }
    }
}

void Dialog::WriteS_Click()
{
    if (!addressesUsable())
        return;
    const int n = channel();
    QList<quint8> text, unit;
    QString bad;
    if (!displayCodes(m_table, Text->text(), kWriteSText, &text, &bad)) {
        refuse(Label3->text(), QStringLiteral("символ %1 не может быть записан в прибор").arg(bad));
        return;
    }
    if (!displayCodes(m_table, UofM->text(), kWriteSUnit, &unit, &bad)) {
        refuse(Label4->text(), QStringLiteral("символ %1 не может быть записан в прибор").arg(bad));
        return;
    }
    ui::Operation op(this, ui::Operation::Write);
    (void)writeParts(op, {{text, textAddress(n), n, QStringLiteral("текст")},
                          {unit, unitAddress(n), n, QStringLiteral("единицы")}},
                     QString());
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
    ui::Operation op(this, ui::Operation::Read);
    op.showProgress(ProgressBar, total);
    QList<ChannelTexts> channels;
    int done = 0;
    for (int n = 1; n <= kChannels; ++n) {
        ChannelTexts ch;
        const struct {
            QString* value;
            int address;
            int count;
            const char* what;
        } parts[] = {{&ch.unit, unitAddress(n), kWriteFUnit, "единицы"},
                     {&ch.text, textAddress(n), kWriteFText, "текст"}};
        for (const auto& part : parts) {
            for (int k = 0; k < part.count; ++k) {
                QString error;
                const std::optional<QChar> c = readChar(op, part.address + k, &error);
                if (!c) {
                    if (!error.isEmpty())
                        op.fail(QStringLiteral("%1\nНе прочитан %2. Файл не изменён.")
                                    .arg(error, stoppedAt(QString::fromUtf8(part.what), n, k + 1, part.address + k,
                                                          done, total)));
                    return;
                }
                *part.value += *c;
                ++done;
                op.advance();
            }
        }
        channels << ch;
    }
    // The file is replaced only once every channel has been read, and not
    // for a window closed meanwhile.
    QString error;
    if (op.ok() && !writeTextFile(*dev(), path, channels, &error))
        op.fail(error);
}

void Dialog::ReadF_Click()
{
    if (!addressesUsable())
        return;
    const QString path = resolvePath(FileName->text());
    QList<ChannelTexts> channels;
    QString problem;
    // The file is checked whole before the first character goes out.
    if (!readTextFile(*dev(), path, kReadFText, kWriteFUnit, &channels, &problem)) {
        showError(problem);
        return;
    }
    QList<WritePart> parts;
    for (int n = 1; n <= kChannels; ++n) {
        QList<quint8> t, u;
        QString bad;
        displayCodes(m_table, channels.at(n - 1).text, kReadFText, &t, &bad);
        displayCodes(m_table, channels.at(n - 1).unit, kReadFUnit, &u, &bad);
        parts << WritePart{t, textAddress(n), n, QStringLiteral("текст")}
              << WritePart{u, unitAddress(n), n, QStringLiteral("единицы")};
    }
    ui::Operation op(this, ui::Operation::Write);
    (void)writeParts(op, parts, QStringLiteral(". Тексты прибора записаны не полностью."));
}

} // namespace text
