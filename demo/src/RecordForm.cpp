#include "RecordForm.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>

#include "FieldRecall.h"
#include "NavigationButtons.h"
#include "PersonsContext.h"

namespace demo {

RecordForm::RecordForm(QHash<QString, QString>& memory, QWidget* parent)
    : QDialog(parent), recall_(new FieldRecall(this, memory))
{
}

QHBoxLayout* RecordForm::closingRow()
{
    auto* row = new QHBoxLayout;
    auto addButton = [&](NavigationButton button) {
        auto* toolButton = new QToolButton;
        toolButton->setIcon(navigationIcon(button));
        toolButton->setIconSize(QSize(20, 20));
        toolButton->setToolTip(navigationTip(button));
        toolButton->setStatusTip(navigationTip(button));
        toolButton->setAccessibleName(navigationTip(button));
        toolButton->setAutoRaise(true);
        // The focus stays in the field, so "Previous value" knows which one.
        toolButton->setFocusPolicy(Qt::NoFocus);
        connect(toolButton, &QToolButton::clicked, this, [this, button] { navigate(button); });
        buttons_[button] = toolButton;
        row->addWidget(toolButton);
    };
    for (NavigationButton move : kMoves) addButton(move);
    row->addSpacing(8);
    addButton(NavigationButton::PreviousValue);
    row->addStretch();
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(box, &QDialogButtonBox::accepted, this, &RecordForm::accept);
    connect(box, &QDialogButtonBox::rejected, this, &RecordForm::reject);
    row->addWidget(box);
    return row;
}

QToolButton* RecordForm::navigationButton(NavigationButton button) const
{
    const auto found = buttons_.find(button);
    return found == buttons_.end() ? nullptr : found->second;
}

bool RecordForm::navigate(NavigationButton button)
{
    if (button == NavigationButton::PreviousValue) {
        recall_->recallFocusedField();
        return true;
    }
    for (NavigationButton move : kMoves)
        if (move == button) {
            leaveWith(button);
            return true;
        }
    return false;
}

void RecordForm::leaveWith(NavigationButton button)
{
    // accept() closes the form only when the record was saved; a refusal
    // has been shown and the form stays as it was.
    setResult(QDialog::Rejected);
    leftWith_ = button;
    accept();
    if (result() != QDialog::Accepted) leftWith_.reset();
}

FormOutcome RecordForm::runModal(const PersonsContext& context, RecordForm& form,
                                 std::optional<NavigationButton>* leftWith)
{
    const bool accepted = context.run(form) == QDialog::Accepted;
    if (leftWith) *leftWith = accepted ? form.leftWith() : std::nullopt;
    return accepted ? FormOutcome::Completed : FormOutcome::Cancelled;
}

}  // namespace demo
