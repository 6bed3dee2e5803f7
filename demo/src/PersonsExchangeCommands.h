// The "Import persons..." and "Export persons..." commands: file dialogs
// through the host services, the files read and written and the database
// changed on a worker thread behind a progress dialog, the outcome told in a
// message box.
#ifndef DEMO_PERSONSEXCHANGECOMMANDS_H
#define DEMO_PERSONSEXCHANGECOMMANDS_H

#include <QString>
#include <functional>
#include <optional>

#include "BackgroundWorker.h"
#include "demo/data/ContactDatabase.h"
#include "demo/exchange/ImportPlan.h"
#include "demo/exchange/PersonsFile.h"
#include "quillnet/hostservices.h"

class QWidget;

namespace demo {

class PersonsExchangeCommands {
public:
    PersonsExchangeCommands(const data::ContactDatabase& db, quillnet::HostServices& host, QWidget* parent);

    void importPersons();
    void exportPersons();

    // The questions asked on the way; by default the preview and the format
    // dialog. No value: the user cancelled.
    std::function<std::optional<exchange::DuplicateChoice>(const exchange::ImportPlan&, const QString& path)>
        askImport;
    std::function<std::optional<exchange::FileFormat>()> askFormat;

    static constexpr const char* importCaption = "Import persons";
    static constexpr const char* exportCaption = "Export persons";

private:
    void tell(const QString& text, const char* caption, bool problem);

    const data::ContactDatabase& db_;
    quillnet::HostServices& host_;
    QWidget* parent_;
    BackgroundWorker worker_;
    QString lastFolder_;
};

// The result of an import as the message box says it.
QString importResultText(const exchange::ImportResult& result);

}  // namespace demo

#endif
