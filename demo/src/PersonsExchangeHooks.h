// Plugs the persons' import and export into the frame's "&File" menu.
#ifndef DEMO_PERSONSEXCHANGEHOOKS_H
#define DEMO_PERSONSEXCHANGEHOOKS_H

#include "FrameHooks.h"

namespace demo {

// Sets hooks.importPersons and hooks.exportPersons. The commands (and their
// worker thread) are made on first use and end with the frame, before the
// database it was given.
void addPersonsExchange(FrameHooks& hooks);

}  // namespace demo

#endif
