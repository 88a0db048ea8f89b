#pragma once

#include <QFileDevice>
#include <QString>

namespace veq {

// What went wrong with a file, in French, for the operator: the system's own text is in English.
QString fileErrorText(const QFileDevice& file);

}  // namespace veq
