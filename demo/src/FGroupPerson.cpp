#include "FGroupPerson.h"

#include <QComboBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "FieldRecall.h"
#include "RecordMessages.h"
#include "demo/data/DataError.h"
#include "demo/data/DisplayName.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/PersonsTable.h"

namespace demo {

namespace {

QHash<QString, QString>& lastSaved()
{
    static QHash<QString, QString> memory;
    return memory;
}

constexpr int NameWidth = 50;
constexpr int PersonsPerRead = 1000;

QLineEdit* numberField(const QString& name)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setMaxLength(6);
    edit->setValidator(new QIntValidator(-32768, 32767, edit));
    edit->setMaximumWidth(80);
    return edit;
}

}  // namespace

FGroupPerson::FGroupPerson(const PersonsContext& context, FormRequest request, const data::Membership& record,
                           QWidget* parent)
    : RecordForm(lastSaved(), parent), context_(context), request_(request), asRead_(record)
{
    setWindowTitle(recordFormTitle(request == FormRequest::Insert));
    person_ = new QComboBox;
    person_->setObjectName(QStringLiteral("person"));
    person_->setAccessibleName(QStringLiteral("Name"));
    person_->setMinimumWidth(320);
    // The box lists every person: its width comes from the name width, not
    // from measuring 32,767 names, and the items are made before they enter
    // the model, so the model announces one insertion instead of one a name.
    person_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    person_->setMinimumContentsLength(NameWidth / 2);
    const bool lastFirst = context.displayLastNameFirst();
    data::PersonsTable persons(context.database);
    data::PersonCursor after;
    QList<QStandardItem*> names;
    for (;;) {
        const auto batch = persons.batch(data::PersonsTable::Order::LastName, after, PersonsPerRead);
        for (const data::Person& person : batch) {
            auto* item = new QStandardItem(data::displayName(person, lastFirst).left(NameWidth));
            item->setData(int(person.number), Qt::UserRole);
            names.append(item);
        }
        if (static_cast<int>(batch.size()) < PersonsPerRead) break;
        after = data::PersonsTable::cursorAfter(data::PersonsTable::Order::LastName, batch.back());
    }
    auto* nameModel = new QStandardItemModel(person_);
    nameModel->appendColumn(names);
    person_->setModel(nameModel);
    email_ = new QLineEdit;
    email_->setReadOnly(true);
    email_->setMaxLength(data::width::EmailAddress);
    personNumber_ = numberField(QStringLiteral("personNumber"));
    groupNumber_ = numberField(QStringLiteral("groupNumber"));
    groupNumber_->setText(QString::number(record.groupNumber));

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Name :"), person_);
    fields->addRow(QStringLiteral("Emailaddress :"), email_);
    fields->addRow(QStringLiteral("Person number:"), personNumber_);
    fields->addRow(QStringLiteral("Group number:"), groupNumber_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(closingRow());

    // An insert starts with no person chosen.
    person_->setCurrentIndex(-1);
    if (request != FormRequest::Insert) showPerson(record.personNumber);
    connect(person_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) showPerson(static_cast<qint16>(person_->itemData(index).toInt()));
    });
    connect(personNumber_, &QLineEdit::editingFinished, this, [this] {
        if (validatePersonField()) showPerson(static_cast<qint16>(personNumber_->text().toInt()));
    });
    connect(groupNumber_, &QLineEdit::editingFinished, this, &FGroupPerson::validateGroupField);
}

void FGroupPerson::showPerson(qint16 number)
{
    const auto person = data::PersonsTable(context_.database).fetch(number);
    personNumber_->setText(QString::number(number));
    email_->setText(person ? person->emailAddress : QString());
    const QSignalBlocker quiet(person_);
    person_->setCurrentIndex(person_->findData(int(number)));
}

bool FGroupPerson::validatePersonField()
{
    const data::DataError error = data::GroupPersonTable(context_.database)
                                      .validatePersonNumber(static_cast<qint16>(personNumber_->text().toInt()));
    if (!error) return true;
    showDataError(context_.host, error);
    personNumber_->setFocus();
    return false;
}

bool FGroupPerson::validateGroupField()
{
    const data::DataError error = data::GroupPersonTable(context_.database)
                                      .validateGroupNumber(static_cast<qint16>(groupNumber_->text().toInt()));
    if (!error) return true;
    showDataError(context_.host, error);
    groupNumber_->setFocus();
    return false;
}

void FGroupPerson::accept()
{
    if (!validatePersonField() || !validateGroupField()) return;
    data::Membership changed;
    changed.personNumber = static_cast<qint16>(personNumber_->text().toInt());
    changed.groupNumber = static_cast<qint16>(groupNumber_->text().toInt());
    data::GroupPersonTable memberships(context_.database);
    const data::DataError error = request_ == FormRequest::Insert ? memberships.insert(changed)
                                                                  : memberships.update(asRead_, changed);
    if (error) return showDataError(context_.host, error);
    recall()->rememberFields();
    asRead_ = changed;
    QDialog::accept();
}

FormOutcome FGroupPerson::run(const PersonsContext& context, FormRequest request, data::Membership& record,
                              QWidget* parent,
                          std::optional<NavigationButton>* leftWith)
{
    if (leftWith) leftWith->reset();
    if (request == FormRequest::Delete)
        return confirmAndDelete(context.host, [&] { return data::GroupPersonTable(context.database).remove(record); });
    FGroupPerson form(context, request, record, parent);
    const FormOutcome outcome = runModal(context, form, leftWith);
    if (outcome == FormOutcome::Completed) record = form.record();
    return outcome;
}

}  // namespace demo
