#include "relayrecord.h"

#include "numbers.h"

namespace contacts {

int relayOfRow(int row)
{
    return row < 1 ? 0 : (row - 1) / kRowsPerRelay;
}

int eventRow(int relay, int e)
{
    return relay * kRowsPerRelay + 1 + e;
}

RelayRange relayRange(int row, int rowSel)
{
    const int a = relayOfRow(row);
    const int b = relayOfRow(rowSel);
    return a <= b ? RelayRange{a, b} : RelayRange{b, a};
}

QString packField(const std::array<bool, 6>& marks)
{
    quint32 v = 0;
    for (int b = 0; b < 6; ++b)
        if (marks[size_t(b)])
            v |= 1u << b;
    return instrument::hexText(v);
}

std::array<bool, 6> unpackField(quint32 value)
{
    std::array<bool, 6> marks{};
    for (int b = 0; b < 6; ++b)
        marks[size_t(b)] = (value >> b) & 1u;
    return marks;
}

QString recordText(int relay, const RelayMarks& marks)
{
    QString text = instrument::hexText(quint32(relay)) + QLatin1Char(';');
    for (const RowMarks& row : marks) {
        for (int t = 0; t < kFieldsPerRow; ++t) {
            std::array<bool, 6> six{};
            for (int b = 0; b < 6; ++b)
                six[size_t(b)] = row[size_t(6 * t + b)];
            text += packField(six) + QLatin1Char(';');
        }
    }
    for (int i = kEventRows * kFieldsPerRow; i < kRecordFields; ++i)
        text += QStringLiteral("0;");
    return text;
}

bool readRecord(const QString& answer, std::array<quint32, kRecordFields>* fields)
{
    const QStringList parts = answer.split(QLatin1Char(';'));
    // 49 fields, each ended by ";": at least 50 pieces (the last after the last ";").
    if (parts.size() < kRecordFields + 1 || !instrument::readsAsHex(parts.first()))
        return false;
    for (int i = 0; i < kRecordFields; ++i) {
        if (!instrument::readsAsHex(parts[i]))
            return false;
        bool ok = false;
        (*fields)[size_t(i)] = parts[i].toUInt(&ok, 16);
        if (!ok)
            return false;
    }
    return true;
}

bool isFlagAnswer(const QString& answer)
{
    if (instrument::readsAsHex(answer))
        return true;
    const QString digits = answer.startsWith(QLatin1Char('-')) ? answer.mid(1) : answer;
    if (digits.isEmpty() || digits.size() > 5)
        return false;
    for (QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace contacts
