// The commands the link knows: one row each, read by the frame builders, the
// answer judges and the verified write.

#include "protocol.h"

#include <algorithm>
#include <array>

namespace instrument::protocol {

namespace {

using AF = AddressFields;
using CF = CommandFields;
using A = Answer;

// clang-format off
constexpr std::array<Command, 37> kCommands{{
    //  no   address path                            command path                 read-back
    {   1, AF::Address,            A::Confirmed,     CF::Refused,     A::Uninterpreted, 0 },
    {   2, AF::Address,            A::Integer,       CF::Refused,     A::Uninterpreted, 0 },
    {   5, AF::AddressValue,       A::Confirmed,     CF::BothParams,  A::Confirmed,     6 },
    {   6, AF::Address,            A::Integer,       CF::FirstParam,  A::Number,        0 },
    {   9, AF::AddressValue,       A::Confirmed,     CF::Refused,     A::Uninterpreted, 0 },
    {  10, AF::Address,            A::Real,          CF::Refused,     A::Uninterpreted, 0 },
    {  11, AF::AddressValue,       A::Confirmed,     CF::Refused,     A::Uninterpreted, 12 },
    {  12, AF::Address,            A::Real,          CF::FirstParam,  A::Number,        0 },
    {  13, AF::AddressValue,       A::Confirmed,     CF::BothParams,  A::Confirmed,     14 },
    {  14, AF::Address,            A::Integer,       CF::FirstParam,  A::Number,        0 },
    {  15, AF::AddressValue,       A::Confirmed,     CF::BothParams,  A::Confirmed,     16 },
    {  16, AF::Address,            A::Real,          CF::FirstParam,  A::Number,        0 },
    {  17, AF::ModuleAddressValue, A::Confirmed,     CF::BothParams,  A::Confirmed,     18 },
    {  18, AF::ModuleAddress,      A::Integer,       CF::Refused,     A::Uninterpreted, 0 },
    {  19, AF::ModuleAddressValue, A::Confirmed,     CF::Refused,     A::Uninterpreted, 20 },
    {  20, AF::ModuleAddress,      A::Integer,       CF::Refused,     A::Uninterpreted, 0 },
    {  21, AF::AddressValue,       A::Confirmed,     CF::Refused,     A::Uninterpreted, 0 },
    {  22, AF::Address,            A::Real,          CF::Refused,     A::Uninterpreted, 0 },
    {  23, AF::None,               A::Block48,       CF::Refused,     A::Uninterpreted, 0 },
    {  24, AF::Address,            A::Real,          CF::Refused,     A::Uninterpreted, 0 },
    {  25, AF::ModuleAddressValue, A::Confirmed,     CF::Refused,     A::Uninterpreted, 26 },
    {  26, AF::ModuleAddress,      A::Real,          CF::Refused,     A::Uninterpreted, 0 },
    {  27, AF::ModuleAddressValue, A::Confirmed,     CF::Refused,     A::Uninterpreted, 28 },
    {  28, AF::ModuleAddress,      A::Real,          CF::Refused,     A::Uninterpreted, 0 },
    {  29, AF::AddressValue,       A::Confirmed,     CF::BothParams,  A::Confirmed,     30 },
    {  30, AF::Address,            A::Integer,       CF::FirstParam,  A::Number,        0 },
    {  31, AF::AddressValue,       A::Confirmed,     CF::BothParams,  A::Confirmed,     32 },
    {  32, AF::Address,            A::Integer,       CF::FirstParam,  A::Number,        0 },
    {  33, AF::Address,            A::Uninterpreted, CF::FirstParam,  A::Confirmed,     0 },
    {  34, AF::Address,            A::Uninterpreted, CF::None,        A::Clock,         0 },
    {  35, AF::ValueOnly,          A::Confirmed,     CF::Refused,     A::Uninterpreted, 0 },
    {  36, AF::ValueOnly,          A::Block49,       CF::Refused,     A::Uninterpreted, 0 },
    { 101, AF::AddressValue,       A::Uninterpreted, CF::Refused,     A::Uninterpreted, 0 },
    { 123, AF::None,               A::Block42,       CF::Refused,     A::Uninterpreted, 0 },
    { 124, AF::Address,            A::Uninterpreted, CF::FirstParam,  A::Uninterpreted, 0 },
    { 323, AF::Address,            A::Uninterpreted, CF::BothParams,  A::Frame,         0 },
    { 423, AF::Address,            A::Uninterpreted, CF::SecondParam, A::Readings,      0 },
}};
// clang-format on

constexpr Command kUnknown{-1, AF::Address, A::Uninterpreted, CF::Refused, A::Uninterpreted, 0};

constexpr bool sortedByNumber()
{
    for (std::size_t i = 1; i < kCommands.size(); ++i)
        if (kCommands[i - 1].number >= kCommands[i].number)
            return false;
    return true;
}
static_assert(sortedByNumber(), "the command table is looked up by halves");

} // namespace

// Answer messages of both paths.
const QString kMsgDeviceError = QStringLiteral("Прибор выдает ошибку");
const QString kMsgNoAnswer = QStringLiteral("Прибор не отвечает");
const QString kMsgBadForm = QStringLiteral("Получен ответ неправильного формата");
const QString kMsgNotWritten = QStringLiteral("Не удалось записать в прибор");
const QString kMsgNaN = QStringLiteral("В памяти прибора по данному адресу находится чило в неверном формате");
const QString kMsgBadNumber = QStringLiteral("Из прибора пришло число в неправильном формате");
const QString kMsgBadReadings = QStringLiteral("Из прибора пришел ответ неправильного формата");
const QString kMsgBadReadingsField = QStringLiteral("Пришел ответ неправильного формата");
const QString kMsgBadBlock = QStringLiteral("Непавильный формат ответа прибора");
const QString kMsgNoCommand = QStringLiteral("Нет такой команды");

// What the system says when an answer cannot even be taken apart.
const QString kDescOverflow = QStringLiteral("Переполнение");
const QString kDescBadCall = QStringLiteral("Недопустимый вызов процедуры или недопустимый аргумент");
const QString kDescMissingField = QStringLiteral("Индекс выходит за пределы допустимого диапазона");

// Where the answer's terminator is looked for: after the CR and LF that the
// received text starts with. Those are the tail of an earlier answer (its LF
// still on the line when the port was opened again), not this answer's end.
// Any other line in front of the answer, an echoed frame say, still ends it.
int terminatorSearchStart(const QString& answer)
{
    int i = 0;
    while (i < answer.size() && (answer.at(i) == QLatin1Char('\r') || answer.at(i) == QLatin1Char('\n')))
        ++i;
    return i;
}

// Keeps the text up to and including the first LF of the answer, then up to
// and including its first CR.
QString cutAnswer(QString answer)
{
    const int from = terminatorSearchStart(answer);
    const int lf = answer.indexOf(QLatin1Char('\n'), from);
    if (lf >= 0)
        answer.truncate(lf + 1);
    const int cr = answer.indexOf(QLatin1Char('\r'), from);
    if (cr >= 0)
        answer.truncate(cr + 1);
    return answer;
}

QString replaceFirst(QString text, const QString& what, const QString& with)
{
    const int at = text.indexOf(what);
    if (at >= 0 && !what.isEmpty())
        text.replace(at, what.size(), with);
    return text;
}

// The ";"-terminated fields at the start of text; the rest after the last
// ";" (a field without its terminator) is not one.
QStringList terminatedFields(const QString& text)
{
    QStringList fields = text.split(QLatin1Char(';'));
    fields.removeLast();
    return fields;
}

bool hasMarkers(const QString& answer)
{
    return answer.contains(QLatin1Char(';')) && answer.contains(QLatin1Char('!'));
}

QString unmarkedMessage(const QString& answer)
{
    if (answer.contains(QLatin1String("ERR")))
        return kMsgDeviceError;
    if (answer.isEmpty())
        return kMsgNoAnswer;
    return kMsgBadForm;
}

const Command& command(int number)
{
    const auto it = std::lower_bound(kCommands.begin(), kCommands.end(), number,
                                     [](const Command& c, int n) { return c.number < n; });
    return it != kCommands.end() && it->number == number ? *it : kUnknown;
}

bool readsBackInteger(int number)
{
    const int back = command(number).readBack;
    return back != 0 && command(back).addressAnswer == Answer::Integer;
}

bool readsBackReal(int number)
{
    const int back = command(number).readBack;
    return back != 0 && command(back).addressAnswer == Answer::Real;
}

} // namespace instrument::protocol
