#pragma once
// A push button whose caption wraps onto as many lines as its width needs,
// centred; text() stays the caption as given.

#include <QPushButton>

namespace inputs {

class WrapButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace inputs
