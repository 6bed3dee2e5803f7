#include "FGroup.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "FieldRecall.h"
#include "RecordMessages.h"
#include "demo/data/DataError.h"
#include "demo/data/GroupTable.h"

namespace demo {

namespace {
QHash<QString, QString>& lastSaved()
{
    static QHash<QString, QString> memory;
    return memory;
}
}  // namespace

FGroup::FGroup(const PersonsContext& context, FormRequest request, const data::Group& record, QWidget* parent)
    : RecordForm(lastSaved(), parent), context_(context), request_(request), asRead_(record)
{
    const bool inserting = request == FormRequest::Insert;
    setWindowTitle(recordFormTitle(inserting, record.name.left(data::width::GroupName)));
    name_ = new QLineEdit(record.name);
    name_->setObjectName(QStringLiteral("name"));
    name_->setMaxLength(data::width::GroupName);
    name_->setMinimumWidth(320);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Name :"), name_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(closingRow());
}

void FGroup::accept()
{
    data::Group changed = asRead_;
    changed.name = name_->text();
    data::GroupTable groups(context_.database);
    if (request_ == FormRequest::Insert) {
        if (const data::DataError error = groups.insert(changed)) return showDataError(context_.host, error);
    } else {
        data::Group stored;
        if (const data::DataError error = groups.update(asRead_, changed, &stored)) {
            if (error.kind != data::ErrorKind::ChangedByOther) return showDataError(context_.host, error);
            showChangedInForm(context_.host);
            recall()->rememberFields();  // the user's own typing, for Ctrl+'
            asRead_ = stored;
            name_->setText(stored.name);
            return;
        }
    }
    recall()->rememberFields();
    asRead_ = changed;
    QDialog::accept();
}

FormOutcome FGroup::run(const PersonsContext& context, FormRequest request, data::Group& record, QWidget* parent,
                          std::optional<NavigationButton>* leftWith)
{
    if (leftWith) leftWith->reset();
    if (request == FormRequest::Delete)
        return confirmAndDelete(context.host, [&] { return data::GroupTable(context.database).remove(record.number); });
    FGroup form(context, request, record, parent);
    const FormOutcome outcome = runModal(context, form, leftWith);
    if (outcome == FormOutcome::Completed) record = form.record();
    return outcome;
}

}  // namespace demo
