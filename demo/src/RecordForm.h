// What the four record forms of the contacts window share: "OK" and
// "Cancel", Ctrl+' and "Previous value" for the last saved values, and a row
// of record-navigation buttons. Leaving the form with one of those saves the
// record as "OK" would (a refused save keeps the form open); the caller then
// moves to another row and opens the form again there.
#ifndef DEMO_RECORDFORM_H
#define DEMO_RECORDFORM_H

#include <QDialog>
#include <QHash>
#include <map>
#include <optional>

#include "FormRequest.h"
#include "NavigationTarget.h"

class QDialogButtonBox;
class QHBoxLayout;
class QToolButton;

namespace demo {

class FieldRecall;
struct PersonsContext;

class RecordForm : public QDialog {
    Q_OBJECT
public:
    // The moves a form can be left with, in toolbar order.
    static constexpr NavigationButton kMoves[] = {NavigationButton::FirstPage,  NavigationButton::PriorPage,
                                                  NavigationButton::PriorRecord, NavigationButton::NextRecord,
                                                  NavigationButton::NextPage,   NavigationButton::LastPage};

    FieldRecall* recall() const { return recall_; }
    // One of kMoves or PreviousValue.
    QToolButton* navigationButton(NavigationButton button) const;
    // The move the form was left with; none after "OK" or "Cancel".
    std::optional<NavigationButton> leftWith() const { return leftWith_; }

    // A navigation button pressed here or on the frame's toolbar: a move
    // saves and leaves, "Previous value" recalls the focused field. False
    // for the buttons a form has no use for.
    bool navigate(NavigationButton button);

    // Runs `form` modally; `leftWith` (if given) receives the move that
    // closed it.
    static FormOutcome runModal(const PersonsContext& context, RecordForm& form,
                                std::optional<NavigationButton>* leftWith);

protected:
    // `memory` is the form type's store of last saved values (FieldRecall.h).
    RecordForm(QHash<QString, QString>& memory, QWidget* parent);
    // The navigation buttons, then "OK" and "Cancel" wired to accept() and
    // reject(): the last row of every form.
    QHBoxLayout* closingRow();

private:
    void leaveWith(NavigationButton button);

    FieldRecall* recall_;
    std::map<NavigationButton, QToolButton*> buttons_;
    std::optional<NavigationButton> leftWith_;
};

}  // namespace demo

#endif
