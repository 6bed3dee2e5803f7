// A spin box that tells when it refuses what was typed, so the form can beep
// while the focus stays in the field.
#ifndef BENCHFORM_BEEPINGSPINBOX_H
#define BENCHFORM_BEEPINGSPINBOX_H

#include <QSpinBox>

namespace benchform {

class BeepingSpinBox : public QSpinBox {
    Q_OBJECT

public:
    using QSpinBox::QSpinBox;

signals:
    void inputRejected() const;

protected:
    QValidator::State validate(QString& input, int& pos) const override;
};

}  // namespace benchform

#endif
