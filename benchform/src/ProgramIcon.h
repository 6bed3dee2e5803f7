// The program's window icon: a closed envelope.
#ifndef BENCHFORM_PROGRAMICON_H
#define BENCHFORM_PROGRAMICON_H

#include <QIcon>

namespace benchform {

QIcon programIcon();

}  // namespace benchform

#endif
