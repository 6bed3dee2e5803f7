#include "BeepingSpinBox.h"

namespace benchform {

QValidator::State BeepingSpinBox::validate(QString& input, int& pos) const
{
    const QValidator::State state = QSpinBox::validate(input, pos);
    if (state == QValidator::Invalid) emit inputRejected();
    return state;
}

}  // namespace benchform
