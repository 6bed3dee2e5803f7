// The look of the record-navigation buttons, shared by the frame's toolbar
// and the record forms' own rows of buttons so that both read the same.
#ifndef DEMO_NAVIGATIONBUTTONS_H
#define DEMO_NAVIGATIONBUTTONS_H

#include <QIcon>
#include <QString>

#include "NavigationTarget.h"

namespace demo {

// "Go to the First Page", ..., "Get Help".
QString navigationTip(NavigationButton button);
QIcon navigationIcon(NavigationButton button);
// A picture drawn from one or two characters, in the toolbar's colours.
QIcon glyphIcon(const QString& glyph);

}  // namespace demo

#endif
