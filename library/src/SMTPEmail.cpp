// Session life cycle; the dialogue itself is still to come.
#include "SMTPEmail.h"

#include "Globals.h"
#include "SMTPError.h"

CSMTPEmail::CSMTPEmail()
{
    ++g_nSessions;
}

CSMTPEmail::~CSMTPEmail()
{
    --g_nSessions;
    g_bWinsockStarted = 0;
}

int CSMTPEmail::Send()
{
    try {
        _SendIt();
        return 0;
    } catch (const CSMTPError&) {
        return m_nError;
    }
}

void CSMTPEmail::_SendIt()
{
    Fail(6);
}
