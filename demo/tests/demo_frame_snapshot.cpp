// Saves pictures of the frame, the information window, the defaults form and
// the attachment form, for a look at their layout without a desktop: run it
// under xvfb-run and open the PNG files. Not a test; the data live in a
// temporary folder.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTest>

#include "DefaultsForm.h"
#include "DemoTestFolders.h"
#include "InfoScreen.h"
#include "MainFrame.h"
#include "RecordingHostServices.h"
#include "UpdateAttachementsForm.h"
#include "demo/data/SettingsTable.h"

namespace {

void save(QWidget& widget, const QString& folder, const char* name)
{
    QTest::qWait(300);
    widget.grab().save(folder + "/" + name + ".png");
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    DemoTestFolders folders;
    quillnet::RecordingHostServices host;
    demo::ErrorManager errors(host);
    demo::ProgramState state;
    std::unique_ptr<demo::data::ContactDatabase> database = folders.openDatabase();
    if (!database) return 1;

    demo::data::SettingsTable settings(*database);
    settings.insertBlank();
    demo::data::Settings values = settings.first().value_or(demo::data::Settings{});
    const demo::data::Settings asRead = values;
    values.mailHost = "mail.example.org";
    values.mailer = "quillnet demo";
    values.senderName = "Anna de Vries";
    values.senderEmail = "anna@example.org";
    values.standardSubject = "News from the club";
    values.footer = "Kind regards,\nAnna de Vries\nSecretary";
    settings.update(asRead, values);

    demo::MainFrame frame(*database, errors, state, {}, folders.configFile("mailig.ini"));
    frame.resize(1000, 640);
    frame.show();
    demo::DefaultsForm* form = frame.openDefaults();
    form->parentWidget()->move(20, 20);
    form->parentWidget()->resize(520, 460);
    save(frame, folder, "frame");
    save(*form, folder, "defaults");

    demo::InfoScreen* info = frame.openInfoScreen();
    save(*info, folder, "infoscreen");
    QTest::qWait(300);
    frame.screen()->grabWindow(0).save(folder + "/screen.png");
    info->close();

    frame.setAnimated(false);
    frame.resize(420, 300);
    save(frame, folder, "frame-narrow");

    host.answerNextFileDialog("/home/anna/Documents/programme 2026.pdf");
    demo::UpdateAttachementsForm attachments(demo::FormRequest::Insert, *database, host);
    attachments.show();
    attachments.chooseFile();
    save(attachments, folder, "attachments");
    return 0;
}
