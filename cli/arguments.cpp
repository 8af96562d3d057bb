#include "arguments.h"

#include <QRegularExpression>

namespace cli {

bool parseArguments(const QStringList& args, const QList<OptionSpec>& specs, Arguments* out, QString* error)
{
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (optionsEnded || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            out->positional << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name;
        QString value;
        bool inlineValue = false;
        if (a.startsWith(QLatin1String("--"))) {
            name = a.mid(2);
            const int eq = int(name.indexOf(QLatin1Char('=')));
            if (eq >= 0) {
                value = name.mid(eq + 1);
                name = name.left(eq);
                inlineValue = true;
            }
        } else {
            name = a.mid(1);
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec& s : specs)
            if (s.name == name || (!s.shortName.isEmpty() && s.shortName == name && !a.startsWith(QLatin1String("--"))))
                option = &s;
        if (!option) {
            *error = QStringLiteral("неизвестный параметр «%1»").arg(a);
            return false;
        }
        if (option->takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("после %1 нужно значение").arg(a);
                return false;
            }
            value = args.at(++i);
        } else if (!option->takesValue && inlineValue) {
            *error = QStringLiteral("параметр --%1 пишется без значения").arg(option->name);
            return false;
        }
        out->values.insert(option->name, value);
    }
    return true;
}

bool wholeNumber(const QString& text, qint64 lo, qint64 hi, qint64* value)
{
    static const QRegularExpression digits(QStringLiteral("^[+-]?\\d{1,12}$"));
    if (!digits.match(text.trimmed()).hasMatch())
        return false;
    const qint64 v = text.trimmed().toLongLong();
    if (v < lo || v > hi)
        return false;
    *value = v;
    return true;
}

} // namespace cli
