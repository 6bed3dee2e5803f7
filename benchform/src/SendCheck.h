// The five checks the form makes before it starts a send.
#ifndef BENCHFORM_SENDCHECK_H
#define BENCHFORM_SENDCHECK_H

#include <optional>
#include <string>

#include "BenchValues.h"

namespace benchform {

enum class CheckedField { MailHost, SenderName, Subject, RecipientAddress, MessageText };

struct SendCheckFailure {
    std::string message;  // shown with caption "Message" and the question icon
    CheckedField field;   // where the focus goes
};

// The first failing check in the form's order (Mail Host, Sender Name,
// Subject, recipient address, Message Text), or nothing when all hold.
std::optional<SendCheckFailure> checkBeforeSend(const BenchValues& values);

}  // namespace benchform

#endif
