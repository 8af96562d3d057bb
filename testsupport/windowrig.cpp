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

namespace {

// Key by key, as the user types; characters beyond Latin-1 (Cyrillic) go as
// key events that carry their text, which QTest::keyClicks does not take.
void typeKeys(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(w, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace

void typeInto(QComboBox* box, const QString& text)
{
    box->lineEdit()->selectAll();
    typeKeys(box->lineEdit(), text);
}

void typeInto(QLineEdit* box, const QString& text)
{
    box->selectAll();
    typeKeys(box, text);
}

QPushButton* buttonNamed(const QObject* window, const QString& name)
{
    auto* b = window ? window->findChild<QPushButton*>(name) : nullptr;
    if (!b)
        qWarning("no button %s", qPrintable(name));
    return b;
}

void click(const QObject* window, const QString& name)
{
    QPushButton* b = buttonNamed(window, name);
    if (!b)
        QFAIL(qPrintable(QStringLiteral("no button %1").arg(name)));
    QTest::mouseClick(b, Qt::LeftButton);
}

} // namespace testsupport
