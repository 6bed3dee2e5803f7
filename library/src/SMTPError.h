#pragma once

#include <cstdint>

#include "quillnet/wrenpost.h"

// The failure raised inside a mail session. CMailUtil::Fail stores the code
// in the session's m_nError before it raises.
struct CSMTPError {
    int nCode;
};

// A failure caught on the way out of a session or of the message writer.
struct CaughtFailure {
    int32_t nResult;  // the result code it stands for
    bool bRaised;     // a CSMTPError, as opposed to something unforeseen
};

// The one place that decides what a raised failure means; call it inside a
// catch block only. A CSMTPError carries its own code, memory running out is
// RESULT_OUT_OF_MEMORY, and anything else means the message could not be
// composed (RESULT_TEMP_FILE), so it is never reported as delivered.
CaughtFailure CurrentFailure();
