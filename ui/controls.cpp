#include "controls.h"

#include "windowstyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTabWidget>
#include <QTableWidget>

namespace ui {

using instrument::twips;

void applyWindowFont(QWidget* window)
{
    window->setFont(instrument::windowFont());
}

void setFixedClientSize(QWidget* window, int widthTwips, int heightTwips)
{
    window->setFixedSize(twips(widthTwips), twips(heightTwips));
}

void place(QWidget* control, const Twips& r)
{
    control->setGeometry(instrument::twipsRect(r.left, r.top, r.width, r.height));
}

namespace {

template <class W>
W* named(W* w, const QString& name, const Twips& r, const QString& tip)
{
    w->setObjectName(name);
    place(w, r);
    if (!tip.isEmpty())
        w->setToolTip(tip);
    return w;
}

class WrapButton : public QPushButton {
public:
    using QPushButton::QPushButton;

    // As wide as the button is when the caption wraps, as high as its lines need.
    QSize sizeHint() const override
    {
        const QSize natural = QPushButton::sizeHint();
        if (width() <= 0 || natural.width() <= width())
            return natural;
        QStyleOptionButton option;
        initStyleOption(&option);
        const QRect room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        const QRect lines = fontMetrics().boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, text());
        return QSize(width(), std::max(natural.height(), lines.height() + height() - room.height()));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter p(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        p.drawControl(QStyle::CE_PushButton, option);
        const QRect room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        style()->drawItemText(&p, room, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(), caption,
                              QPalette::ButtonText);
    }
};

} // namespace

QLabel* label(QWidget* parent, const QString& name, const QString& text, const Twips& r)
{
    auto* l = named(new QLabel(text, parent), name, r, QString());
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QLabel* statusLabel(QWidget* parent, const QString& name, const Twips& r)
{
    QLabel* l = label(parent, name, QString(), r);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text, const Twips& r, const QString& tip)
{
    auto* b = named(new QPushButton(text, parent), name, r, tip);
    // Enter in a text box must not press some button of the window.
    b->setAutoDefault(false);
    return b;
}

QPushButton* wrapButton(QWidget* parent, const QString& name, const QString& text, const Twips& r, const QString& tip)
{
    auto* b = named(new WrapButton(text, parent), name, r, tip);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* textBox(QWidget* parent, const QString& name, const Twips& r, const QString& tip, int maxLength)
{
    auto* e = named(new QLineEdit(parent), name, r, tip);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    return e;
}

QComboBox* dropDownList(QWidget* parent, const QString& name, const Twips& r, const QString& tip)
{
    auto* c = named(new QComboBox(parent), name, r, tip);
    c->setMaxVisibleItems(16);
    return c;
}

QComboBox* editableCombo(QWidget* parent, const QString& name, const Twips& r, const QString& tip)
{
    QComboBox* c = dropDownList(parent, name, r, tip);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);
    return c;
}

QCheckBox* checkBox(QWidget* parent, const QString& name, const QString& text, const Twips& r, const QString& tip)
{
    return named(new QCheckBox(text, parent), name, r, tip);
}

QFrame* line(QWidget* parent, const QString& name, int left, int top, int width)
{
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::HLine);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(twips(left), twips(top) - 1, twips(left + width) - twips(left), 2);
    return f;
}

QFrame* vline(QWidget* parent, const QString& name, int left, int top, int bottom)
{
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::VLine);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(twips(left) - 1, twips(top), 2, twips(bottom) - twips(top));
    return f;
}

void fitCaption(QWidget* control)
{
    QFont f = control->font();
    if (f.pixelSize() <= 0)
        f.setPixelSize(QFontInfo(f).pixelSize());
    while (control->sizeHint().width() > control->width() && f.pixelSize() > 8) {
        f.setPixelSize(f.pixelSize() - 1);
        control->setFont(f);
    }
}

QProgressBar* progressBar(QWidget* parent, const QString& name, const Twips& r, const QString& tip)
{
    auto* p = named(new QProgressBar(parent), name, r, tip);
    p->setTextVisible(false);
    p->setRange(0, 100);
    p->setValue(0);
    return p;
}

QGroupBox* group(QWidget* parent, const QString& name, const QString& title, const Twips& r)
{
    return named(new QGroupBox(title, parent), name, r, QString());
}

QTabWidget* tabControl(QWidget* parent, const QString& name, const Twips& r)
{
    return named(new QTabWidget(parent), name, r, QString());
}

QWidget* tabPage(QTabWidget* tabs, const QString& name, const QString& title)
{
    auto* page = new QWidget;
    page->setObjectName(name);
    tabs->addTab(page, title);
    return page;
}

QTableWidget* grid(QWidget* parent, const QString& name, int rows, int cols, const Twips& r, const QString& tip,
                   int fixedRows, int fixedCols)
{
    auto* g = named(new QTableWidget(rows, cols, parent), name, r, tip);
    g->horizontalHeader()->hide();
    g->verticalHeader()->hide();
    // Narrow columns and low rows are wanted: no minimum from the style.
    g->horizontalHeader()->setMinimumSectionSize(1);
    g->verticalHeader()->setMinimumSectionSize(1);
    g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setSelectionMode(QAbstractItemView::NoSelection);
    g->setFocusPolicy(Qt::NoFocus);
    g->setWordWrap(false);
    g->setCornerButtonEnabled(false);

    const QColor face = g->palette().color(QPalette::Button);
    const int inner = g->height() - 2 * g->frameWidth();
    for (int row = 0; row < rows; ++row) {
        g->setRowHeight(row, inner / rows);
        for (int col = 0; col < cols; ++col) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled);
            const bool fixed = row < fixedRows || col < fixedCols;
            item->setBackground(fixed ? face : QColor(Qt::white));
            item->setForeground(QColor(Qt::black));
            item->setTextAlignment(col < fixedCols ? Qt::AlignLeft | Qt::AlignVCenter
                                                   : Qt::Alignment(Qt::AlignCenter));
            g->setItem(row, col, item);
        }
    }
    return g;
}

QTableWidget* listTable(QWidget* parent, const QString& name, const QStringList& headings, const Twips& r,
                        const QString& tip)
{
    auto* t = named(new QTableWidget(0, int(headings.size()), parent), name, r, tip);
    t->setHorizontalHeaderLabels(headings);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setWordWrap(false);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void setColumnWidths(QTableWidget* g, const QList<int>& widthsInTwips)
{
    int left = 0;
    for (int c = 0; c < widthsInTwips.size(); ++c) {
        const int right = left + widthsInTwips[c];
        g->setColumnWidth(c, twips(right) - twips(left));
        left = right;
    }
}

QString caption(const QString& title, const QString& version)
{
    return title + QStringLiteral(" v") + version;
}

} // namespace ui
