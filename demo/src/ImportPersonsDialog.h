// The preview of an import: what the file would add, which rows are already
// stored or twice in the file, which rows cannot be used and why, and the
// choice what to do with the duplicates.
#ifndef DEMO_IMPORTPERSONSDIALOG_H
#define DEMO_IMPORTPERSONSDIALOG_H

#include <QDialog>

#include "demo/exchange/ImportPlan.h"

class QRadioButton;
class QTreeWidget;
class QPushButton;

namespace demo {

class ImportPersonsDialog : public QDialog {
    Q_OBJECT
public:
    ImportPersonsDialog(const exchange::ImportPlan& plan, const QString& fileName, QWidget* parent = nullptr);

    exchange::DuplicateChoice duplicateChoice() const;
    void setDuplicateChoice(exchange::DuplicateChoice choice);
    QTreeWidget* notesList() const { return notes_; }
    QPushButton* importButton() const { return import_; }

private:
    QRadioButton* skip_;
    QRadioButton* update_;
    QTreeWidget* notes_;
    QPushButton* import_;
};

}  // namespace demo

#endif
