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
    QList<quint32> fields;
    for (const RowMarks& row : marks) {
        for (int t = 0; t < kFieldsPerRow; ++t) {
            quint32 v = 0;
            for (int b = 0; b < 6; ++b)
                if (row[size_t(6 * t + b)])
                    v |= 1u << b;
            fields << v;
        }
    }
    return instrument::map::relayRecord(relay, fields);
}

bool readRecord(const QString& answer, std::array<quint32, kEventFields>* fields)
{
    QList<quint32> values;
    if (!instrument::map::relayFields(answer, &values))
        return false;
    for (int i = 0; i < kEventFields; ++i)
        (*fields)[size_t(i)] = values.at(i);
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
