#include "PersonsExchangeCommands.h"

#include <QDir>
#include <QFileInfo>

#include "ExportPersonsDialog.h"
#include "ImportPersonsDialog.h"
#include "demo/exchange/PersonsExport.h"

namespace demo {

QString importResultText(const exchange::ImportResult& result)
{
    if (result.cancelled) return QObject::tr("The import was cancelled. Nothing was imported.");
    if (result.error) {
        return QObject::tr("Nothing was imported.|%1: %2").arg(result.error.title, result.error.text);
    }
    return QObject::tr(
               "%1 person(s) added, %2 updated, %3 skipped.|%4 group(s) created, %5 membership(s) added.")
        .arg(result.added)
        .arg(result.updated)
        .arg(result.skipped)
        .arg(result.groupsCreated)
        .arg(result.membershipsAdded);
}

PersonsExchangeCommands::PersonsExchangeCommands(const data::ContactDatabase& db,
                                                 quillnet::HostServices& host, QWidget* parent)
    : db_(db),
      host_(host),
      parent_(parent),
      worker_([&db] { db.releaseThreadConnection(); }),
      lastFolder_(QDir::homePath())
{
    askImport = [this](const exchange::ImportPlan& plan,
                       const QString& path) -> std::optional<exchange::DuplicateChoice> {
        ImportPersonsDialog dialog(plan, path, parent_);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.duplicateChoice();
    };
    askFormat = [this] { return ExportPersonsDialog::ask(parent_); };
}

void PersonsExchangeCommands::tell(const QString& text, const char* caption, bool problem)
{
    host_.messageBox(text.toStdString(), caption,
                     problem ? quillnet::MessageIcon::Exclamation : quillnet::MessageIcon::Information,
                     quillnet::MessageButtons::Ok);
}

void PersonsExchangeCommands::importPersons()
{
    if (worker_.isBusy()) return host_.beep();
    quillnet::FileDialogRequest request;
    request.title = importCaption;
    request.filters = "CSV files|*.csv|vCard files|*.vcf|All Files|*.*";
    request.startDirectory = lastFolder_.toStdString();
    const std::optional<std::string> chosen = host_.chooseFile(request);
    if (!chosen) return;
    const QString path = QString::fromStdString(*chosen);
    lastFolder_ = QFileInfo(path).absolutePath();

    std::optional<exchange::ImportPlan> plan;
    data::DataError readError;
    worker_.run(parent_, QObject::tr("Reading %1...").arg(QFileInfo(path).fileName()), false,
                [&](JobProgress&) {
                    plan = exchange::ImportPlan::prepare(exchange::readPersonsFile(path), db_, &readError);
                });
    if (readError)
        return tell(QObject::tr("Nothing was imported.|%1: %2").arg(readError.title, readError.text),
                    importCaption, true);
    if (!plan->parsed().fileError.isEmpty())
        return tell(QObject::tr("Nothing was imported.|%1").arg(plan->parsed().fileError), importCaption,
                    true);
    if (plan->parsed().rows.empty() && plan->parsed().unusable.empty())
        return tell(QObject::tr("The file holds no persons."), importCaption, true);

    const std::optional<exchange::DuplicateChoice> choice = askImport(*plan, path);
    if (!choice) return;

    exchange::ImportResult result;
    worker_.run(parent_, QObject::tr("Importing persons..."), true, [&](JobProgress& progress) {
        result = plan->apply(db_, *choice, [&progress](int done, int total) {
            progress.report(done, total);
            return !progress.stopRequested();
        });
    });
    tell(importResultText(result), importCaption, result.error || result.cancelled);
}

void PersonsExchangeCommands::exportPersons()
{
    if (worker_.isBusy()) return host_.beep();
    const std::optional<exchange::FileFormat> format = askFormat();
    if (!format) return;
    quillnet::FileDialogRequest request;
    request.title = exportCaption;
    request.filters = exchange::fileFilter(*format).toStdString();
    request.startDirectory = lastFolder_.toStdString();
    request.proposedName = ("persons." + exchange::fileExtension(*format)).toStdString();
    request.forSaving = true;
    const std::optional<std::string> chosen = host_.chooseFile(request);
    if (!chosen) return;
    QString path = QString::fromStdString(*chosen);
    if (QFileInfo(path).suffix().isEmpty()) path += QLatin1Char('.') + exchange::fileExtension(*format);
    lastFolder_ = QFileInfo(path).absolutePath();

    QString failure;
    int written = 0;
    worker_.run(parent_, QObject::tr("Writing %1...").arg(QFileInfo(path).fileName()), false,
                [&](JobProgress&) {
                    data::DataError error;
                    const std::vector<exchange::PersonRow> rows = exchange::collectPersons(db_, &error);
                    if (error) {
                        failure = QStringLiteral("%1: %2").arg(error.title, error.text);
                        return;
                    }
                    failure = exchange::writePersonsFile(path, rows, *format);
                    written = static_cast<int>(rows.size());
                });
    if (!failure.isEmpty())
        return tell(QObject::tr("Nothing was exported.|%1").arg(failure), exportCaption, true);
    tell(QObject::tr("%1 person(s) written to %2.").arg(written).arg(QDir::toNativeSeparators(path)),
         exportCaption, false);
}

}  // namespace demo
