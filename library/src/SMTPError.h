#pragma once

// The failure raised inside a mail session. The code is also stored in the
// session's m_nError before the raise; only CSMTPEmail::Send and
// CMailUtil::WriteOutMessage catch it.
struct CSMTPError {
    int nCode;
};
