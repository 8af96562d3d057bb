#pragma once
// List helpers: fill and select without running the list's handlers, and the
// item an editable combo box stands on.

#include <QStringList>

class QComboBox;

namespace ui {

// "from" .. "to" as decimal texts.
QStringList numbers(int from, int to);

// Replaces the items without running the box's handlers; then selects item
// select (-1: none), also without handlers.
void fill(QComboBox* box, const QStringList& items, int select = -1);
// Selects item index (-1: none) without running the box's handlers.
void selectSilently(QComboBox* box, int index);

// The item the combo box stands on: for a box with an edit field, the item
// whose text the field shows, -1 when it shows anything else.
int selectedIndex(const QComboBox* box);
// Selects item index (-1: none), an edit field showing its text.
void selectItem(QComboBox* box, int index);
// No item selected, the edit field showing text.
void showInEditField(QComboBox* box, const QString& text);

} // namespace ui
