#include "lists.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

namespace ui {

QStringList numbers(int from, int to)
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << QString::number(i);
    return out;
}

void fill(QComboBox* box, const QStringList& items, int select)
{
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(select);
    if (box->isEditable() && select < 0)
        box->setEditText(QString());
}

void selectSilently(QComboBox* box, int index)
{
    const QSignalBlocker block(box);
    selectItem(box, index);
}

int selectedIndex(const QComboBox* box)
{
    const int current = box->currentIndex();
    if (!box->isEditable())
        return current;
    const QString shown = box->currentText();
    if (current >= 0 && box->itemText(current) == shown)
        return current;
    return box->findText(shown, Qt::MatchExactly);
}

void selectItem(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    if (box->isEditable())
        box->setEditText(index >= 0 ? box->itemText(index) : QString());
}

void showInEditField(QComboBox* box, const QString& text)
{
    box->setCurrentIndex(-1);
    box->setEditText(text);
    // From its start: a long message must not show only its end.
    if (box->lineEdit())
        box->lineEdit()->setCursorPosition(0);
}

} // namespace ui
