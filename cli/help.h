#pragma once
// The program's help texts.

#include <QString>

namespace cli {

QString programHelp();
// The help of a command ("read"); empty for an unknown one.
QString commandHelp(const QString& command);

} // namespace cli
