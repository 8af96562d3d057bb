#pragma once
// The message boxes every program shows.

#include <QString>

class QWidget;

namespace instrument {
class Dev;
}

namespace ui {

// "Ошибка: " + text, OK only, no icon, titled with the program's name.
void errorBox(QWidget* parent, const QString& program, const QString& text);
// A plain notice: text, OK only, no icon, titled with the program's name.
void noticeBox(QWidget* parent, const QString& program, const QString& text);

// A question with Yes and No, no icon, titled with the program's name; true
// for Yes.
bool questionBox(QWidget* parent, const QString& program, const QString& text);

// Brings up the link (its keys of "dev.dat" and the exchange log). When it
// cannot start, the reason (file, section, key and value, or the log's path
// and the system's reason) is shown in one box titled title, and the answer
// is false: the program does not go on.
bool loadLink(instrument::Dev& dev, QWidget* window, const QString& title);

} // namespace ui
