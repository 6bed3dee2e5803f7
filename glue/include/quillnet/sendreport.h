// The report a send window gives once SENDIT has returned.
#ifndef QUILLNET_SENDREPORT_H
#define QUILLNET_SENDREPORT_H

#include <cstdint>
#include <string>

#include "quillnet/hostservices.h"
#include "quillnet/wrenpostclass.h"

namespace quillnet {

inline constexpr const char* kSendReportCaption = "Internet Mail";

// "Mail Send OK!" for 0, else "Error sending E-Mail!|" and the error text.
std::string sendReportText(const WRENPOSTCLASS& mail, int32_t result);

// The report box: the text above, caption "Internet Mail", information
// icon, one OK button.
void showSendReport(HostServices& host, const WRENPOSTCLASS& mail, int32_t result);

}  // namespace quillnet

#endif
