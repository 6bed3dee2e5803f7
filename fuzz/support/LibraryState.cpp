#include "support/LibraryState.h"

#include <cstdlib>

#include "Diagnostics.h"
#include "Globals.h"

namespace fuzzsupport {

void ResetLibraryWithQuietLog()
{
    static const bool bOpened = OpenDebugFile("/dev/null");
    if (!bOpened) std::abort();
    ResetLibraryStateForTesting();
    g_bVerbose = 1;
}

}  // namespace fuzzsupport
