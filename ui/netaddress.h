#pragma once
// The network-address list of every program ("0" to "255"; the list index is
// the address). The address shown goes to the link when the focus leaves the
// list, and also as soon as the selection changes: the mouse wheel changes a
// list without moving the focus, and the engineer must never talk to an
// instrument other than the one shown.

#include <functional>

class QComboBox;
class QObject;

namespace instrument {
class Dev;
}

namespace ui {

// Fills box with "0" to "255" (no handler runs), selects address and sets the
// link's bNetAdrr to it.
void fillNetAddresses(QComboBox* box, instrument::Dev& dev, int address = 1);

// Runs handler (the window's cbNetAdrr_LostFocus) when the focus moves from
// box to another control of the window, and whenever its selection changes.
void connectNetAddress(QComboBox* box, QObject* context, std::function<void()> handler);

// The link's bNetAdrr = the item the list stands on; nothing changes while no
// item is selected.
void takeNetAddress(const QComboBox* box, instrument::Dev& dev);

// Runs handler when the focus moves from widget to another control of its
// window; not when it goes to the widget's own drop-down, nor when the window
// as a whole loses the focus (it may be closing or being destroyed).
void onFocusLost(QObject* widget, std::function<void()> handler);

} // namespace ui
