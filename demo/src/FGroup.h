// The group form: one name. Insert gives the group the next free number;
// change saves only when no other station changed the group meanwhile;
// delete asks first and is refused while the group has members.
#ifndef DEMO_FGROUP_H
#define DEMO_FGROUP_H

#include <optional>

#include "FormRequest.h"
#include "PersonsContext.h"
#include "RecordForm.h"
#include "demo/data/Records.h"

class QLineEdit;

namespace demo {

class FGroup : public RecordForm {
    Q_OBJECT
public:
    FGroup(const PersonsContext& context, FormRequest request, const data::Group& record, QWidget* parent = nullptr);

    // Runs the form (for a delete only the confirmation); `record` holds the
    // group as saved when the outcome is Completed.
    static FormOutcome run(const PersonsContext& context, FormRequest request, data::Group& record,
                           QWidget* parent = nullptr,
                           std::optional<NavigationButton>* leftWith = nullptr);

    QLineEdit* nameEdit() const { return name_; }
    const data::Group& record() const { return asRead_; }

public slots:
    void accept() override;

private:
    const PersonsContext& context_;
    FormRequest request_;
    data::Group asRead_;
    QLineEdit* name_;
};

}  // namespace demo

#endif
