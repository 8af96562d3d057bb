#pragma once
// The wire and the suite's files speak Windows-1251; the windows speak QString.
// These two functions are the only place where one becomes the other.

#include <QByteArray>
#include <QString>

namespace instrument {

QString fromCp1251(const QByteArray& bytes);
// Characters that Windows-1251 cannot hold become "?".
QByteArray toCp1251(const QString& text);

} // namespace instrument
