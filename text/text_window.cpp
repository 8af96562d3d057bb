#include "text_window.h"

#include "controls.h"
#include "dialogs.h"
#include "lists.h"
#include "boxes.h"
#include "netaddress.h"
#include "numbers.h"
#include "programfolder.h"
#include "displaytext.h"

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
namespace map = instrument::map;

QString hexAddress(int address)
{
    return instrument::hexText16(qint16(address));
}

// The reads of the first count characters of p, one call each; a count
// beyond the map's read length goes on at the following addresses.
const QString kText = QStringLiteral("текст");
const QString kUnit = QStringLiteral("единицы измерения");

// The noun phrase of a part with its verb in agreement: "Не записан текст",
// "Не записаны единицы измерения".
QString notDone(const QString& verb, const QString& what)
{
    const bool plural = what.startsWith(kUnit);
    return QStringLiteral("Не %1%2 %3").arg(verb, plural ? QStringLiteral("ы") : QString(), what);
}

// value as the display shows it, and the characters it shows as others
// ("«°» как «Ю»"). The display shares the code of a Latin letter with the
// Cyrillic letter that looks the same, and has one sign for both cases of
// some letters ("ь" comes back as "Ь"): those count as shown.
QString asDisplayed(const QString& value, QStringList* others)
{
    QString shown;
    for (QChar ch : value) {
        quint8 b = 0;
        QChar back = ch;
        if (map::cp1251Byte(ch.unicode(), &b) && b >= 128)
            back = map::displayChar(map::encodeDisplay(b));
        if (back.toUpper() != ch.toUpper()) {
            const QString pair = QStringLiteral("«%1» как «%2»").arg(ch).arg(back);
            if (!others->contains(pair))
                *others << pair;
        }
        shown += back;
    }
    return shown;
}

QList<map::Call> charReads(const map::Param& p, int count)
{
    QList<map::Call> calls = map::readCalls(p);
    while (calls.size() < count) {
        map::Call next = calls.last();
        next.address = hexAddress(p.address() + int(calls.size()));
        calls << next;
    }
    return calls.mid(0, count);
}

// Where an operation stopped, for its message.
QString stoppedAt(const QString& what, int n, int k, const QString& address, int done, int total)
{
    return QStringLiteral("%1 канала %2, символ %3 (адрес %4); перенесено символов: %5 из %6")
        .arg(what)
        .arg(n)
        .arg(k)
        .arg(address)
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
    ui::setFixedClientSize(this, 4935, 4230);
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
    Text = ui::textBox(this, QStringLiteral("Text"), Twips{120, 1290, 2175, 315}, QString(),
                       textParam(1).readLength);
    Label4 = ui::label(this, QStringLiteral("Label4"), QStringLiteral("Единицы измерения"),
                       Twips{2400, 1020, 2415, 255});
    UofM = ui::textBox(this, QStringLiteral("UofM"), Twips{2400, 1290, 1095, 315}, QString(),
                       unitParam(1).readLength);
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
    // Which way each file button moves the texts, over the button.
    ToFile = ui::label(this, QStringLiteral("ToFile"), QStringLiteral("Прибор → файл"), Twips{120, 3075, 1500, 255});
    ToFile->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    ToInstrument = ui::label(this, QStringLiteral("ToInstrument"), QStringLiteral("Файл → прибор"),
                             Twips{1740, 3075, 1500, 255});
    ToInstrument->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    WriteF = ui::button(this, QStringLiteral("WriteF"), QStringLiteral("Прочитать"), Twips{120, 3345, 1500, 375},
                        QStringLiteral("Прочитать все каналы из прибора в файл"));
    ReadF = ui::button(this, QStringLiteral("ReadF"), QStringLiteral("Записать"), Twips{1740, 3345, 1500, 375},
                       QStringLiteral("Записать все каналы из файла в прибор"));
    ProgressBar = ui::progressBar(this, QStringLiteral("ProgressBar"), Twips{120, 3840, 4695, 255});

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
    QStringList channels;
    for (int n = 1; n <= kChannels; ++n)
        channels << QStringLiteral("Канал №%1").arg(n);
    ui::fill(ChNum, channels, 0);

    if (!loadLink())
        return false;
    ui::fillNetAddresses(cbNetAdrr, *dev(), 1);

    // The base addresses of the texts and units (every channel's from the same key).
    QStringList problems;
    for (const map::Param* p : {&textParam(1), &unitParam(1)})
        if (!p->base.valid)
            problems << p->base.problem;
    reportStartProblems(problems);
    return true;
}

// ---- helpers ------------------------------------------------------------------------

int Dialog::channel() const
{
    const int index = ui::selectedIndex(ChNum);
    return index < 0 ? 1 : index + 1;
}

const map::Param& Dialog::textParam(int n) const
{
    return *instrumentMap().find(QStringLiteral("ch%1.TEXT").arg(n));
}

const map::Param& Dialog::unitParam(int n) const
{
    return *instrumentMap().find(QStringLiteral("ch%1.UofM").arg(n));
}

bool Dialog::addressesUsable()
{
    for (const map::Param* p : {&textParam(1), &unitParam(1)}) {
        if (!p->base.valid) {
            showError(p->base.refusal());
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
        total += p.count;
        plan << QStringLiteral("%1 канала %2").arg(p.what).arg(p.param->channel);
    }
    op.plan(plan);
    op.showProgress(ProgressBar, total);
    int done = 0;
    for (const WritePart& p : parts) {
        const int n = p.param->channel;
        const QString item = QStringLiteral("%1 канала %2").arg(p.what).arg(n);
        // The map writes each character with a verified pair.
        const QList<map::Call> calls = map::writeCalls(*p.param, p.value);
        for (int k = 0; k < p.count; ++k) {
            const int address = p.param->addressForWrite() + k;
            for (const map::Call& call : calls.mid(2 * k, 2)) {
                const std::optional<QString> answer = op.perform(call);
                if (!answer)
                    return false;
                if (*answer != QLatin1String("OK")) {
                    op.fail(QStringLiteral("%1\n%2%3")
                                .arg(*answer,
                                     notDone(QStringLiteral("записан"), stoppedAt(p.what, n, k + 1, hexAddress(address),
                                                                                  done, total)),
                                     tail));
                    return false;
                }
            }
            ++done;
            op.advance();
            // How far the part has got, for the report of a close.
            if (k + 1 < p.count)
                op.donePart(item, QStringLiteral("%1 (символы 1–%2)").arg(item).arg(k + 1),
                            QStringLiteral("%1 (символы %2–%3)").arg(item).arg(k + 2).arg(p.count));
        }
        op.done(item);
    }
    return true;
}

bool Dialog::displayShowsThem(const QList<WritePart>& parts)
{
    QStringList others;
    QStringList lines;
    for (const WritePart& p : parts) {
        const QString value = p.value.left(p.count);
        QStringList mine;
        const QString shown = asDisplayed(value, &mine);
        if (mine.isEmpty())
            continue;
        lines << QStringLiteral("%1: «%2» будет показано как «%3»").arg(p.where, value.trimmed(), shown.trimmed());
        for (const QString& o : mine)
            if (!others.contains(o))
                others << o;
    }
    if (lines.isEmpty())
        return true;
    return ask(QStringLiteral("На индикаторе прибора нет некоторых символов, он покажет вместо них другие (%1).\n%2\n"
                              "Записать всё равно?")
                   .arg(others.join(QStringLiteral(", ")), lines.join(QLatin1Char('\n'))));
}

std::optional<QChar> Dialog::readChar(ui::Operation& op, const map::Call& call, QString* error)
{
    const std::optional<QString> answer = op.perform(call);
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
                     .arg(call.address, answer->trimmed());
        return std::nullopt;
    }
    return map::displayChar(quint8(v));
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
    const struct {
        QLineEdit* box;
        const map::Param& param;
    } parts[] = {{UofM, unitParam(n)}, {Text, textParam(n)}};
    ui::Operation op(this, ui::Operation::Read);
    op.showProgress(ProgressBar, parts[0].param.readLength + parts[1].param.readLength);

    for (const auto& part : parts) {
        QString s;
        for (const map::Call& call : map::readCalls(part.param)) {
            QString error;
            const std::optional<QChar> c = readChar(op, call, &error);
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
    for (const auto& [label, box] : {std::pair{Label3, Text}, std::pair{Label4, UofM}}) {
        const QString bad = map::unencodable(box->text());
        if (!bad.isEmpty()) {
            refuse(label->text(), QStringLiteral("символ %1 не может быть записан в прибор").arg(bad));
            return;
        }
    }
    const QList<WritePart> parts{
        {&textParam(n), Text->text(), textParam(n).writeLength, kText, Label3->text()},
        {&unitParam(n), UofM->text(), unitParam(n).writeLength, kUnit, Label4->text()}};
    if (!displayShowsThem(parts))
        return;
    ui::Operation op(this, ui::Operation::Write);
    (void)writeParts(op, parts, QString());
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
    // A file that cannot be written is found before anything is read.
    QString problem;
    if (!checkWritable(path, &problem)) {
        showError(problem + QStringLiteral("; из прибора ничего не прочитано"));
        return;
    }

    // Each channel's unit as far as the instrument writes it, then its text
    // as far as the display shows it.
    const auto unitCount = [this](int n) { return unitParam(n).writeLength; };
    const auto textCount = [this](int n) { return textParam(n).readLength; };
    int total = 0;
    for (int n = 1; n <= kChannels; ++n)
        total += unitCount(n) + textCount(n);
    ui::Operation op(this, ui::Operation::Read);
    op.showProgress(ProgressBar, total);
    QList<ChannelTexts> channels;
    int done = 0;
    for (int n = 1; n <= kChannels; ++n) {
        ChannelTexts ch;
        const struct {
            QString* value;
            QList<map::Call> calls;
            QString what;
        } parts[] = {{&ch.unit, charReads(unitParam(n), unitCount(n)), kUnit},
                     {&ch.text, charReads(textParam(n), textCount(n)), kText}};
        for (const auto& part : parts) {
            for (int k = 0; k < part.calls.size(); ++k) {
                QString error;
                const std::optional<QChar> c = readChar(op, part.calls.at(k), &error);
                if (!c) {
                    if (!error.isEmpty())
                        op.fail(QStringLiteral("%1\n%2. Файл не изменён.")
                                    .arg(error, notDone(QStringLiteral("прочитан"),
                                                        stoppedAt(part.what, n, k + 1, part.calls.at(k).address,
                                                                  done, total))));
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
    // The file is checked whole before the first character goes out: a text
    // as long as the display shows, a unit as long as the instrument writes
    // (the characters the display shows of it are sent).
    if (!readTextFile(*dev(), path, textParam(1).readLength, unitParam(1).writeLength, &channels, &problem)) {
        showError(problem);
        return;
    }
    QList<WritePart> parts;
    for (int n = 1; n <= kChannels; ++n)
        parts << WritePart{&textParam(n), channels.at(n - 1).text, textParam(n).readLength, kText,
                           QStringLiteral("канал %1, %2").arg(n).arg(kText)}
              << WritePart{&unitParam(n), channels.at(n - 1).unit, unitParam(n).readLength, kUnit,
                           QStringLiteral("канал %1, %2").arg(n).arg(kUnit)};
    if (!displayShowsThem(parts))
        return;
    ui::Operation op(this, ui::Operation::Write);
    (void)writeParts(op, parts, QStringLiteral(". Тексты прибора записаны не полностью."));
}

} // namespace text
