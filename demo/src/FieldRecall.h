// Ctrl+' on a record form: the focused field gets back the value it had in
// the last record this form saved (or the values the user typed before a
// save was refused because another station had changed the record). The
// memory belongs to the form type, so it outlives one opening of the form.
#ifndef DEMO_FIELDRECALL_H
#define DEMO_FIELDRECALL_H

#include <QHash>
#include <QObject>
#include <QString>

class QWidget;

namespace demo {

class FieldRecall : public QObject {
    Q_OBJECT
public:
    // `memory` maps a field's object name to its remembered text; it must
    // outlive the form (a static of the form class).
    FieldRecall(QWidget* form, QHash<QString, QString>& memory);

    // Stores every named line edit and combo box of the form.
    void rememberFields();
    // Puts the remembered value back into the focused field; false when
    // there is nothing to recall for it.
    bool recallFocusedField();

private:
    QWidget* form_;
    QHash<QString, QString>& memory_;
};

}  // namespace demo

#endif
