#include "windowrig.h"

namespace testsupport {

void printOnFailure(const QString& heading, const QStringList& lines)
{
    if (!QTest::currentTestFailed())
        return;
    qInfo("%s (%d):", qPrintable(heading), int(lines.size()));
    for (const QString& l : lines)
        qInfo("  %s", qPrintable(QString(l).replace(QLatin1String("\r"), QLatin1String("\\r"))
                                     .replace(QLatin1String("\n"), QLatin1String("\\n"))));
}

void typeInto(QComboBox* box, const QString& text)
{
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), text);
}

void typeInto(QLineEdit* box, const QString& text)
{
    box->selectAll();
    QTest::keyClicks(box, text);
}

} // namespace testsupport
