#include "quillnet/sendreport.h"

namespace quillnet {

std::string sendReportText(const WRENPOSTCLASS& mail, int32_t result)
{
    if (result == RESULT_OK) return "Mail Send OK!";
    return "Error sending E-Mail!|" + mail.GETMAILERROR(static_cast<uint32_t>(result));
}

void showSendReport(HostServices& host, const WRENPOSTCLASS& mail, int32_t result)
{
    host.messageBox(sendReportText(mail, result), kSendReportCaption, MessageIcon::Information,
                    MessageButtons::Ok);
}

}  // namespace quillnet
