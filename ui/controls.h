#pragma once
// Control factories for the suite's windows. Every control is placed by its
// rectangle in twips (left, top, width, height; 15 twips to the pixel) and
// carries its name as objectName. The window sets the one window font
// (applyWindowFont); the controls inherit it.

#include <QList>
#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QWidget;

namespace ui {

// A rectangle in twips.
struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Gives the window the suite's window font and a fixed client size in twips.
void applyWindowFont(QWidget* window);
void setFixedClientSize(QWidget* window, int widthTwips, int heightTwips);

// Places any control by its twips rectangle.
void place(QWidget* control, const Twips& r);

QLabel* label(QWidget* parent, const QString& name, const QString& text, const Twips& r);
// A label for where a run is and how it ended: the text wrapped from its
// top left, selectable to be copied.
QLabel* statusLabel(QWidget* parent, const QString& name, const Twips& r);
QPushButton* button(QWidget* parent, const QString& name, const QString& text, const Twips& r,
                    const QString& tip = QString());
// A button whose caption wraps onto as many lines as its width needs, centred,
// in the window's font; text() stays the caption as given.
QPushButton* wrapButton(QWidget* parent, const QString& name, const QString& text, const Twips& r,
                        const QString& tip = QString());
// A one-line text box; maxLength 0 = no limit.
QLineEdit* textBox(QWidget* parent, const QString& name, const Twips& r, const QString& tip = QString(),
                   int maxLength = 0);
// A drop-down list: only its items can be chosen.
QComboBox* dropDownList(QWidget* parent, const QString& name, const Twips& r, const QString& tip = QString());
// A drop-down combo box with an edit field: typed text is never added to the
// list and never completed.
QComboBox* editableCombo(QWidget* parent, const QString& name, const Twips& r, const QString& tip = QString());
QCheckBox* checkBox(QWidget* parent, const QString& name, const QString& text, const Twips& r,
                    const QString& tip = QString());
// A horizontal sunken line at top, from left over width (twips).
QFrame* line(QWidget* parent, const QString& name, int left, int top, int width);
// A vertical sunken line at left, from top to bottom (twips).
QFrame* vline(QWidget* parent, const QString& name, int left, int top, int bottom);
// A caption wider than its control is drawn in a smaller size of the
// window's font, down to 8 pixels, rather than cut.
void fitCaption(QWidget* control);
// A progress bar without a percentage text, value 0.
QProgressBar* progressBar(QWidget* parent, const QString& name, const Twips& r, const QString& tip = QString());
QGroupBox* group(QWidget* parent, const QString& name, const QString& title, const Twips& r);
QTabWidget* tabControl(QWidget* parent, const QString& name, const Twips& r);
// A page added to the tab control; its children are placed relative to it.
QWidget* tabPage(QTabWidget* tabs, const QString& name, const QString& title);

// A grid of rows x cols cells, each with an item: the first row and the first
// column drawn like header cells (fixedRows, fixedCols of them), the others
// white with black text. No headers of the view's own, no editing, no
// scroll bars unless asked for; row heights share the grid's height.
QTableWidget* grid(QWidget* parent, const QString& name, int rows, int cols, const Twips& r,
                   const QString& tip = QString(), int fixedRows = 1, int fixedCols = 1);
// A list of rows under column headings: whole rows selected, one at a
// time, never edited, the last column stretched to the list's width, rows
// as low as the font allows.
QTableWidget* listTable(QWidget* parent, const QString& name, const QStringList& headings, const Twips& r,
                        const QString& tip = QString());
// Column widths in twips; the pixel edges are rounded, not the widths, so the
// columns add up as they do in twips.
void setColumnWidths(QTableWidget* g, const QList<int>& widthsInTwips);

// The window caption: title, " v", version ("Настройка прибора v3.0.20").
QString caption(const QString& title, const QString& version);

} // namespace ui
