#include "FPersonGroup.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "FieldRecall.h"
#include "RecordMessages.h"
#include "demo/data/DataError.h"
#include "demo/data/DisplayName.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"

namespace demo {

namespace {
QHash<QString, QString>& lastSaved()
{
    static QHash<QString, QString> memory;
    return memory;
}
constexpr int PersonWidth = 100;
}  // namespace

FPersonGroup::FPersonGroup(const PersonsContext& context, FormRequest request, const data::Membership& record,
                           QWidget* parent)
    : RecordForm(lastSaved(), parent), context_(context), request_(request), asRead_(record)
{
    setWindowTitle(recordFormTitle(request == FormRequest::Insert));
    person_ = new QLineEdit;
    person_->setReadOnly(true);
    person_->setEnabled(false);
    person_->setMinimumWidth(320);
    if (const auto person = data::PersonsTable(context.database).fetch(record.personNumber))
        person_->setText(data::displayName(*person, context.displayLastNameFirst()).left(PersonWidth));

    group_ = new QComboBox;
    group_->setObjectName(QStringLiteral("group"));
    group_->setAccessibleName(QStringLiteral("Groupname"));
    group_->setToolTip(QStringLiteral("Groupname"));
    for (const data::Group& group : data::GroupTable(context.database).all(true))
        group_->addItem(group.name, int(group.number));
    group_->setCurrentIndex(group_->findData(int(record.groupNumber)));

    auto* page = new QWidget;
    auto* fields = new QFormLayout(page);
    fields->addRow(QStringLiteral("Person:"), person_);
    fields->addRow(QStringLiteral("Group:"), group_);
    auto* tabs = new QTabWidget;
    tabs->addTab(page, QStringLiteral("Tab 1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(closingRow());
}

void FPersonGroup::accept()
{
    data::Membership changed = asRead_;
    changed.groupNumber = static_cast<qint16>(group_->currentData().toInt());
    data::GroupPersonTable memberships(context_.database);
    if (const data::DataError error = memberships.validateGroupNumber(changed.groupNumber)) {
        group_->setFocus();
        return showDataError(context_.host, error);
    }
    const data::DataError error = request_ == FormRequest::Insert ? memberships.insert(changed)
                                                                  : memberships.update(asRead_, changed);
    if (error) return showDataError(context_.host, error);
    recall()->rememberFields();
    asRead_ = changed;
    QDialog::accept();
}

FormOutcome FPersonGroup::run(const PersonsContext& context, FormRequest request, data::Membership& record,
                              QWidget* parent,
                          std::optional<NavigationButton>* leftWith)
{
    if (leftWith) leftWith->reset();
    if (request == FormRequest::Delete)
        return confirmAndDelete(context.host, [&] { return data::GroupPersonTable(context.database).remove(record); });
    FPersonGroup form(context, request, record, parent);
    const FormOutcome outcome = runModal(context, form, leftWith);
    if (outcome == FormOutcome::Completed) record = form.record();
    return outcome;
}

}  // namespace demo
