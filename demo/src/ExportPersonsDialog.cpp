#include "ExportPersonsDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace demo {

ExportPersonsDialog::ExportPersonsDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Export persons"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Write every person with their groups as:")));
    csv_ = new QRadioButton(tr("&CSV file (for spreadsheets)"));
    vcard3_ = new QRadioButton(tr("vCard &3.0 file (for address books)"));
    vcard4_ = new QRadioButton(tr("vCard &4.0 file"));
    csv_->setChecked(true);
    for (QRadioButton* button : {csv_, vcard3_, vcard4_}) layout->addWidget(button);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    buttons->addButton(tr("&Export..."), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

exchange::FileFormat ExportPersonsDialog::format() const
{
    if (vcard3_->isChecked()) return exchange::FileFormat::VCard3;
    if (vcard4_->isChecked()) return exchange::FileFormat::VCard4;
    return exchange::FileFormat::Csv;
}

std::optional<exchange::FileFormat> ExportPersonsDialog::ask(QWidget* parent)
{
    ExportPersonsDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.format();
}

}  // namespace demo
