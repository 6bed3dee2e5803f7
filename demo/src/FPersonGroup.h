// A membership seen from a person: the person is fixed (shown greyed), the
// group is chosen from all groups in name order.
#ifndef DEMO_FPERSONGROUP_H
#define DEMO_FPERSONGROUP_H

#include <optional>

#include "FormRequest.h"
#include "PersonsContext.h"
#include "RecordForm.h"
#include "demo/data/Records.h"

class QComboBox;
class QLineEdit;

namespace demo {

class FPersonGroup : public RecordForm {
    Q_OBJECT
public:
    // `record.personNumber` is the person the membership belongs to.
    FPersonGroup(const PersonsContext& context, FormRequest request, const data::Membership& record,
                 QWidget* parent = nullptr);

    static FormOutcome run(const PersonsContext& context, FormRequest request, data::Membership& record,
                           QWidget* parent = nullptr,
                           std::optional<NavigationButton>* leftWith = nullptr);

    QLineEdit* personEdit() const { return person_; }
    QComboBox* groupBox() const { return group_; }
    const data::Membership& record() const { return asRead_; }

public slots:
    void accept() override;

private:
    const PersonsContext& context_;
    FormRequest request_;
    data::Membership asRead_;
    QLineEdit* person_;
    QComboBox* group_;
};

}  // namespace demo

#endif
