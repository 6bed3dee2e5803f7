// A membership seen from a group: the member is chosen from the persons in
// last-name order (persons without a last name are not offered); the two
// number fields may also be typed and are checked against the persons and
// groups as soon as they are left.
#ifndef DEMO_FGROUPPERSON_H
#define DEMO_FGROUPPERSON_H

#include <optional>

#include "FormRequest.h"
#include "PersonsContext.h"
#include "RecordForm.h"
#include "demo/data/Records.h"

class QComboBox;
class QLineEdit;

namespace demo {

class FGroupPerson : public RecordForm {
    Q_OBJECT
public:
    // `record.groupNumber` is the group; for a change `record.personNumber`
    // the member shown at the start.
    FGroupPerson(const PersonsContext& context, FormRequest request, const data::Membership& record,
                 QWidget* parent = nullptr);

    static FormOutcome run(const PersonsContext& context, FormRequest request, data::Membership& record,
                           QWidget* parent = nullptr,
                           std::optional<NavigationButton>* leftWith = nullptr);

    QComboBox* personBox() const { return person_; }
    QLineEdit* emailEdit() const { return email_; }
    QLineEdit* personNumberEdit() const { return personNumber_; }
    QLineEdit* groupNumberEdit() const { return groupNumber_; }
    const data::Membership& record() const { return asRead_; }

public slots:
    void accept() override;

private:
    void showPerson(qint16 number);
    // Checks one number field; on a refusal the focus goes back to it.
    bool validatePersonField();
    bool validateGroupField();

    const PersonsContext& context_;
    FormRequest request_;
    data::Membership asRead_;
    QComboBox* person_;
    QLineEdit* email_;
    QLineEdit* personNumber_;
    QLineEdit* groupNumber_;
};

}  // namespace demo

#endif
