// Stub until the header list lands.
#include "MailUtil.h"

#include "SMTPError.h"

CMailUtil::~CMailUtil() {}
void CMailUtil::Fail(int code)
{
    m_nError = code;
    throw CSMTPError{code};
}
