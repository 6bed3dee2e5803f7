#include "RecordMessages.h"

#include "demo/data/DataError.h"
#include "quillnet/hostservices.h"

namespace demo {

void showDataError(quillnet::HostServices& host, const data::DataError& error)
{
    host.messageBox(error.text.toStdString(), error.title.toStdString(), quillnet::MessageIcon::Exclamation,
                    quillnet::MessageButtons::Ok);
}

void showChangedInForm(quillnet::HostServices& host)
{
    host.messageBox("This record was changed by another station. Those changes will now be displayed. Use the Ditto "
                    "Button or Ctrl+' to recall your changes.",
                    "Record Was Not Updated", quillnet::MessageIcon::Exclamation, quillnet::MessageButtons::Ok);
}

bool confirmDelete(quillnet::HostServices& host)
{
    return host.messageBox("Are you sure you want to delete the highlighted record?", "Confirm Delete",
                           quillnet::MessageIcon::Question,
                           quillnet::MessageButtons::YesNo) == quillnet::MessageAnswer::Yes;
}

FormOutcome confirmAndDelete(quillnet::HostServices& host, const std::function<data::DataError()>& remove)
{
    if (!confirmDelete(host)) return FormOutcome::Cancelled;
    if (const data::DataError error = remove()) {
        showDataError(host, error);
        return FormOutcome::Cancelled;
    }
    return FormOutcome::Completed;
}

QString recordFormTitle(bool inserting)
{
    return inserting ? QStringLiteral("Record will be Added") : QStringLiteral("Record will be Changed");
}

QString recordFormTitle(bool inserting, const QString& subject)
{
    return recordFormTitle(inserting) + QStringLiteral("  (") + (inserting ? QStringLiteral("New") : subject) +
           QLatin1Char(')');
}

}  // namespace demo
