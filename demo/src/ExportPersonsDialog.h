// Asks which format the persons are to be written in.
#ifndef DEMO_EXPORTPERSONSDIALOG_H
#define DEMO_EXPORTPERSONSDIALOG_H

#include <QDialog>
#include <optional>

#include "demo/exchange/PersonsFile.h"

class QRadioButton;

namespace demo {

class ExportPersonsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExportPersonsDialog(QWidget* parent = nullptr);
    exchange::FileFormat format() const;

    // Shows the dialog; no value when the user cancelled.
    static std::optional<exchange::FileFormat> ask(QWidget* parent);

private:
    QRadioButton* csv_;
    QRadioButton* vcard3_;
    QRadioButton* vcard4_;
};

}  // namespace demo

#endif
