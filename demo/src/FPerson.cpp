#include "FPerson.h"

#include <QFormLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "FieldRecall.h"
#include "RecordMessages.h"
#include "demo/data/DataError.h"
#include "demo/data/DisplayName.h"
#include "demo/data/PersonsTable.h"

namespace demo {

namespace {

QHash<QString, QString>& lastSaved()
{
    static QHash<QString, QString> memory;
    return memory;
}

QLineEdit* entry(const QString& name, int width, const QString& statusTip, const QString& toolTip)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setMaxLength(width);
    edit->setStatusTip(statusTip);
    edit->setToolTip(toolTip);
    edit->setMinimumWidth(qMin(width, 60) * 6);
    return edit;
}

}  // namespace

FPerson::FPerson(const PersonsContext& context, FormRequest request, const data::Person& record, QWidget* parent)
    : RecordForm(lastSaved(), parent), context_(context), request_(request), asRead_(record)
{
    const bool inserting = request == FormRequest::Insert;
    setWindowTitle(recordFormTitle(inserting, data::displayName(record, context.displayLastNameFirst())));

    number_ = new QLineEdit;
    number_->setObjectName(QStringLiteral("number"));
    number_->setMaxLength(6);
    number_->setValidator(new QIntValidator(-32768, 32767, number_));
    number_->setMaximumWidth(80);
    // The number is handed out when the person is added.
    number_->setReadOnly(inserting);
    initials_ = entry(QStringLiteral("initials"), data::width::Initials, QStringLiteral("Initialsn"),
                      QStringLiteral("Initials"));
    firstName_ = entry(QStringLiteral("firstName"), data::width::FirstName, QStringLiteral("First name"),
                       QStringLiteral("First name"));
    infix_ = entry(QStringLiteral("infix"), data::width::Infix, QStringLiteral("Infix"), QStringLiteral("Infix"));
    lastName_ = entry(QStringLiteral("lastName"), data::width::LastName, QStringLiteral("Last name"),
                      QStringLiteral("Last name"));
    email_ = entry(QStringLiteral("emailAddress"), data::width::EmailAddress, QStringLiteral("Email address"),
                   QStringLiteral("Email address"));

    auto* page = new QWidget;
    auto* fields = new QFormLayout(page);
    fields->addRow(QStringLiteral("&Number:"), number_);
    fields->addRow(QStringLiteral("&Initials:"), initials_);
    fields->addRow(QStringLiteral(" &First name:"), firstName_);
    fields->addRow(QStringLiteral("&Infix:"), infix_);
    fields->addRow(QStringLiteral("&Last name:"), lastName_);
    fields->addRow(QStringLiteral("&Emailaddress:"), email_);
    auto* tabs = new QTabWidget;
    tabs->addTab(page, QStringLiteral("Tab 1"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(closingRow());
    showPerson(record);
}

void FPerson::showPerson(const data::Person& person)
{
    number_->setText(person.number ? QString::number(person.number) : QString());
    initials_->setText(person.initials);
    firstName_->setText(person.firstName);
    infix_->setText(person.infix);
    lastName_->setText(person.lastName);
    email_->setText(person.emailAddress);
}

data::Person FPerson::entered() const
{
    data::Person person = asRead_;
    if (request_ != FormRequest::Insert) person.number = static_cast<qint16>(number_->text().toInt());
    person.initials = initials_->text();
    person.firstName = firstName_->text();
    person.infix = infix_->text();
    person.lastName = lastName_->text();
    person.emailAddress = email_->text();
    return person;
}

void FPerson::accept()
{
    data::Person changed = entered();
    data::PersonsTable persons(context_.database);
    if (request_ == FormRequest::Insert) {
        if (const data::DataError error = persons.insert(changed)) return showDataError(context_.host, error);
    } else {
        data::Person stored;
        if (const data::DataError error = persons.update(asRead_, changed, &stored)) {
            if (error.kind != data::ErrorKind::ChangedByOther) return showDataError(context_.host, error);
            showChangedInForm(context_.host);
            recall()->rememberFields();
            asRead_ = stored;
            showPerson(stored);
            return;
        }
    }
    recall()->rememberFields();
    asRead_ = changed;
    QDialog::accept();
}

FormOutcome FPerson::run(const PersonsContext& context, FormRequest request, data::Person& record, QWidget* parent,
                          std::optional<NavigationButton>* leftWith)
{
    if (leftWith) leftWith->reset();
    if (request == FormRequest::Delete)
        return confirmAndDelete(context.host, [&] { return data::PersonsTable(context.database).remove(record.number); });
    FPerson form(context, request, record, parent);
    const FormOutcome outcome = runModal(context, form, leftWith);
    if (outcome == FormOutcome::Completed) record = form.record();
    return outcome;
}

}  // namespace demo
