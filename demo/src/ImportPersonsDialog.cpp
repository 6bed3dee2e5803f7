#include "ImportPersonsDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace demo {

ImportPersonsDialog::ImportPersonsDialog(const exchange::ImportPlan& plan, const QString& fileName,
                                         QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Import persons"));
    const exchange::ImportCounts& counts = plan.counts();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("File: %1").arg(QFileInfo(fileName).fileName())));

    auto* figures = new QFormLayout;
    auto figure = [&](const QString& label, int value) {
        auto* shown = new QLabel(QString::number(value));
        shown->setObjectName(label);
        figures->addRow(label, shown);
    };
    figure(tr("New persons:"), counts.newPersons);
    figure(tr("Already stored (same e-mail address):"), counts.duplicatesInDatabase);
    figure(tr("Twice in the file (same e-mail address):"), counts.duplicatesInFile);
    figure(tr("Rows that cannot be used:"), counts.unusable);
    figure(tr("New groups:"), counts.newGroups);
    layout->addLayout(figures);

    auto* choice = new QGroupBox(tr("Duplicates"));
    auto* choiceLayout = new QVBoxLayout(choice);
    skip_ = new QRadioButton(tr("&Skip them (the stored person stays as it is)"));
    update_ = new QRadioButton(
        tr("&Update them (blank fields in the file keep the stored value; groups are added)"));
    skip_->setChecked(true);
    choiceLayout->addWidget(skip_);
    choiceLayout->addWidget(update_);
    choice->setEnabled(counts.duplicatesInDatabase + counts.duplicatesInFile > 0);
    layout->addWidget(choice);

    notes_ = new QTreeWidget;
    notes_->setHeaderLabels({tr("Line"), tr("Left out or changed")});
    notes_->setRootIsDecorated(false);
    for (const exchange::RowNote& note : plan.parsed().unusable)
        notes_->addTopLevelItem(
            new QTreeWidgetItem({QString::number(note.line), tr("Not used: %1").arg(note.text)}));
    for (const exchange::RowNote& note : plan.parsed().warnings)
        notes_->addTopLevelItem(new QTreeWidgetItem({QString::number(note.line), note.text}));
    notes_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    notes_->setVisible(notes_->topLevelItemCount() > 0);
    layout->addWidget(notes_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    import_ = buttons->addButton(tr("&Import"), QDialogButtonBox::AcceptRole);
    import_->setEnabled(!plan.parsed().rows.empty());
    import_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, notes_->isVisible() ? 460 : 260);
}

exchange::DuplicateChoice ImportPersonsDialog::duplicateChoice() const
{
    return update_->isChecked() ? exchange::DuplicateChoice::Update : exchange::DuplicateChoice::Skip;
}

void ImportPersonsDialog::setDuplicateChoice(exchange::DuplicateChoice choice)
{
    (choice == exchange::DuplicateChoice::Update ? update_ : skip_)->setChecked(true);
}

}  // namespace demo
