// Updateattachements: adds one file to the list of files attached to every
// mail. The file is picked with "..." (the name field itself is read-only);
// "OK" adds the entry, also a blank one and also a file listed before;
// "Cancel" adds nothing. Only adding is possible: asked to change or delete
// an entry, the form says so and closes without accepting input.
#ifndef DEMO_UPDATEATTACHEMENTSFORM_H
#define DEMO_UPDATEATTACHEMENTSFORM_H

#include <QDialog>

#include "FormRequest.h"
#include "demo/data/ContactDatabase.h"
#include "quillnet/hostservices.h"

class QLineEdit;
class QPushButton;

namespace demo {

class UpdateAttachementsForm : public QDialog {
    Q_OBJECT

public:
    UpdateAttachementsForm(FormRequest request, const demo::data::ContactDatabase& database,
                           quillnet::HostServices& host, QWidget* parent = nullptr);

    // Runs the form modally for an insert; true when an entry was added.
    static bool insert(QWidget* parent, const demo::data::ContactDatabase& database,
                       quillnet::HostServices& host);

    // A request other than an insert is refused here, before the form shows.
    int exec() override;
    void open() override;

    // The file dialog of "...".
    void chooseFile();

    QLineEdit* fileName() const { return fileName_; }
    QPushButton* chooseButton() const { return choose_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    bool refuse();
    void store();

    FormRequest request_;
    const demo::data::ContactDatabase& database_;
    quillnet::HostServices& host_;
    QLineEdit* fileName_;
    QPushButton* choose_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace demo

#endif
