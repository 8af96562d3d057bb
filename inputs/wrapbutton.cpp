#include "wrapbutton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace inputs {

void WrapButton::paintEvent(QPaintEvent*)
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

} // namespace inputs
