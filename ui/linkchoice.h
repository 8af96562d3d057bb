#pragma once
// The link's choice a program shows over its work: the port, the speed and
// the network number, each a drop-down list with its caption above it. The
// lists are filled from "dev.dat" (the port PROGS/NumberIndex, the speeds of
// the PROGS list) and what they show goes to the link when the focus leaves
// a list and as soon as its choice changes (the wheel changes a list without
// moving the focus).

#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QWidget;

namespace instrument {
class Dev;
}

namespace ui {

struct LinkChoice {
    QLabel* lPort = nullptr;
    QComboBox* cmbPort = nullptr;
    QLabel* lSpeed = nullptr;
    QComboBox* cmbSpeed = nullptr;
    QLabel* lNetAdrr = nullptr;
    QComboBox* cmbNetAdrr = nullptr;
};

// The six controls in parent's top left corner: captions at 120, 1455 and
// 2790 twips from the left, 90 from the top (1215 × 255, the network
// number's 1455 wide), the lists under them at 360 (1215 × 315).
LinkChoice createLinkChoice(QWidget* parent);

// Fills the lists from "dev.dat" and gives the link what they show: a value
// the lists cannot take is replaced by the list's default (the speed item
// defaultSpeed) and named in *problems; the network number is 1.
void loadLinkChoice(const LinkChoice& c, instrument::Dev& dev, int defaultSpeed, QStringList* problems);

// Gives the link the port, speed and network number shown whenever they
// change; context owns the connections.
void connectLinkChoice(const LinkChoice& c, QWidget* context, instrument::Dev& dev);

// A value of "dev.dat" not taken, in the words of the kit's own reports:
// what it is, the value, section/key, why, and what is used instead.
QString notTaken(const QString& what, const QString& value, const QString& section, const QString& key,
                 const QString& why, const QString& instead);

} // namespace ui
