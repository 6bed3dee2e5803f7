// The person form: number, names and e-mail address on one tab. Insert
// numbers the person itself; a number changed on a change carries the
// person's memberships with it; delete asks first and takes the memberships
// along.
#ifndef DEMO_FPERSON_H
#define DEMO_FPERSON_H

#include <optional>

#include "FormRequest.h"
#include "PersonsContext.h"
#include "RecordForm.h"
#include "demo/data/Records.h"

class QLineEdit;

namespace demo {

class FPerson : public RecordForm {
    Q_OBJECT
public:
    FPerson(const PersonsContext& context, FormRequest request, const data::Person& record,
            QWidget* parent = nullptr);

    static FormOutcome run(const PersonsContext& context, FormRequest request, data::Person& record,
                           QWidget* parent = nullptr,
                           std::optional<NavigationButton>* leftWith = nullptr);

    QLineEdit* numberEdit() const { return number_; }
    QLineEdit* initialsEdit() const { return initials_; }
    QLineEdit* firstNameEdit() const { return firstName_; }
    QLineEdit* infixEdit() const { return infix_; }
    QLineEdit* lastNameEdit() const { return lastName_; }
    QLineEdit* emailEdit() const { return email_; }
    const data::Person& record() const { return asRead_; }

public slots:
    void accept() override;

private:
    void showPerson(const data::Person& person);
    data::Person entered() const;

    const PersonsContext& context_;
    FormRequest request_;
    data::Person asRead_;
    QLineEdit* number_;
    QLineEdit* initials_;
    QLineEdit* firstName_;
    QLineEdit* infix_;
    QLineEdit* lastName_;
    QLineEdit* email_;
};

}  // namespace demo

#endif
