#include "SendCheck.h"

namespace benchform {

std::optional<SendCheckFailure> checkBeforeSend(const BenchValues& values)
{
    const struct {
        const std::string& value;
        const char* message;
        CheckedField field;
    } checks[] = {
        {values.MAILHOST, "No Host", CheckedField::MailHost},
        {values.SENDERNAME, "No sender", CheckedField::SenderName},
        {values.SUBJECT, "No subject", CheckedField::Subject},
        {values.RECIPIENTADDRESS, "No receiver", CheckedField::RecipientAddress},
        {values.MESSAGETEXT, "No message", CheckedField::MessageText},
    };
    for (const auto& check : checks) {
        if (isBlank(check.value)) return SendCheckFailure{check.message, check.field};
    }
    return std::nullopt;
}

}  // namespace benchform
