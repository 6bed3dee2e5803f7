#include "FieldRecall.h"

#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>
#include <QWidget>

namespace demo {

FieldRecall::FieldRecall(QWidget* form, QHash<QString, QString>& memory) : QObject(form), form_(form), memory_(memory)
{
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+'")), form);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this] { recallFocusedField(); });
}

void FieldRecall::rememberFields()
{
    for (auto* edit : form_->findChildren<QLineEdit*>())
        if (!edit->objectName().isEmpty() && !edit->isReadOnly()) memory_[edit->objectName()] = edit->text();
    for (auto* box : form_->findChildren<QComboBox*>())
        if (!box->objectName().isEmpty()) memory_[box->objectName()] = box->currentData().toString();
}

bool FieldRecall::recallFocusedField()
{
    QWidget* focused = form_->focusWidget();
    // A combo box's editor or view may hold the focus rather than the box.
    while (focused && focused != form_ && focused->objectName().isEmpty()) focused = focused->parentWidget();
    if (!focused || !memory_.contains(focused->objectName())) return false;
    const QString value = memory_.value(focused->objectName());
    if (auto* edit = qobject_cast<QLineEdit*>(focused)) {
        if (edit->isReadOnly()) return false;
        edit->setText(value);
        return true;
    }
    if (auto* box = qobject_cast<QComboBox*>(focused)) {
        // Our drop-down lists carry record numbers as their item data.
        const int index = box->findData(value.toInt());
        if (index < 0) return false;
        box->setCurrentIndex(index);
        return true;
    }
    return false;
}

}  // namespace demo
