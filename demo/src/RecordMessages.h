// The message boxes every record form and the contacts window share, shown
// through the host services so that no code path depends on a real dialog.
#ifndef DEMO_RECORDMESSAGES_H
#define DEMO_RECORDMESSAGES_H

#include <QString>
#include <functional>

#include "FormRequest.h"

namespace demo::data {
struct DataError;
}
namespace quillnet {
class HostServices;
}

namespace demo {

// Shows a data-layer error with its own caption and text.
void showDataError(quillnet::HostServices& host, const data::DataError& error);
// "Record Was Not Updated" with the longer text a form gives: the stored copy
// is now shown and the user's own values wait behind Ctrl+'.
void showChangedInForm(quillnet::HostServices& host);
// "Are you sure you want to delete the highlighted record?"; true for Yes.
bool confirmDelete(quillnet::HostServices& host);
// The delete of every record form: asks, then runs `remove`; a refusal
// (a group with members, say) is shown and counts as not done.
FormOutcome confirmAndDelete(quillnet::HostServices& host, const std::function<data::DataError()>& remove);
// The record forms' titles: "Record will be Added" / "Record will be Changed",
// and with a subject "Record will be Added  (New)" / "Record will be Changed  (<subject>)".
QString recordFormTitle(bool inserting);
QString recordFormTitle(bool inserting, const QString& subject);

}  // namespace demo

#endif
