#include "ProgramState.h"

namespace demo {

void ProgramState::setLastNameFirst(bool on)
{
    if (lastNameFirst_.exchange(on) != on) emit lastNameFirstChanged(on);
}

}  // namespace demo
