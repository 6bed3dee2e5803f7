#include "UpdateAttachementsForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ErrorManager.h"
#include "demo/data/AttachmentsTable.h"

namespace demo {

UpdateAttachementsForm::UpdateAttachementsForm(FormRequest request,
                                               const demo::data::ContactDatabase& database,
                                               quillnet::HostServices& host, QWidget* parent)
    : QDialog(parent), request_(request), database_(database), host_(host)
{
    setObjectName(QStringLiteral("Updateattachements"));
    setWindowTitle(QStringLiteral("Update Records..."));

    fileName_ = new QLineEdit;
    fileName_->setReadOnly(true);
    fileName_->setMaxLength(demo::data::width::FileName);
    fileName_->setFocusPolicy(Qt::NoFocus);
    QPalette grey = fileName_->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Disabled, QPalette::Window));
    grey.setColor(QPalette::Text, grey.color(QPalette::Disabled, QPalette::WindowText));
    fileName_->setPalette(grey);
    fileName_->setMinimumWidth(320);
    choose_ = new QPushButton(QStringLiteral("..."));
    choose_->setFixedWidth(choose_->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    ok_ = new QPushButton(QStringLiteral("OK"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"));
    connect(choose_, &QPushButton::clicked, this, &UpdateAttachementsForm::chooseFile);
    connect(ok_, &QPushButton::clicked, this, &UpdateAttachementsForm::store);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Attachement file")), 0, 0);
    layout->addWidget(fileName_, 0, 1);
    layout->addWidget(choose_, 0, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons, 1, 0, 1, 3);

    if (request_ == FormRequest::Insert) setWindowTitle(QStringLiteral("Record will be Added"));
}

bool UpdateAttachementsForm::insert(QWidget* parent, const demo::data::ContactDatabase& database,
                                    quillnet::HostServices& host)
{
    UpdateAttachementsForm form(FormRequest::Insert, database, host, parent);
    return form.exec() == QDialog::Accepted;
}

bool UpdateAttachementsForm::refuse()
{
    if (request_ == FormRequest::Insert) return false;
    showInvalidRequest(host_, request_);
    return true;
}

int UpdateAttachementsForm::exec()
{
    if (refuse()) {
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void UpdateAttachementsForm::open()
{
    if (refuse()) {
        setResult(QDialog::Rejected);
        emit rejected();
        emit finished(QDialog::Rejected);
        return;
    }
    QDialog::open();
}

void UpdateAttachementsForm::chooseFile()
{
    const std::optional<std::string> chosen = host_.chooseFile({"Select A File", "All Files|*.*", "", ""});
    if (chosen) fileName_->setText(QString::fromStdString(*chosen));
}

void UpdateAttachementsForm::store()
{
    demo::data::Attachment entry;
    entry.fileName = fileName_->text();
    const demo::data::DataError error = demo::data::AttachmentsTable(database_).insert(entry);
    if (error) {
        ErrorManager(host_).show(error);
        return;
    }
    accept();
}

}  // namespace demo
