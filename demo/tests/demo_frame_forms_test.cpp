// The defaults form and the attachment form against a fresh database.
#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include "DefaultsForm.h"
#include "DemoTestFolders.h"
#include "MainFrame.h"
#include "RecordingHostServices.h"
#include "UpdateAttachementsForm.h"
#include "demo/data/AttachmentsTable.h"
#include "demo/data/SettingsTable.h"

using demo::DefaultsForm;
using demo::FormRequest;
using demo::UpdateAttachementsForm;
using demo::data::Settings;
using demo::data::SettingsTable;

namespace {

struct FormFixture {
    DemoTestFolders folders;
    quillnet::RecordingHostServices host;
    demo::ErrorManager errors{host};
    std::unique_ptr<demo::data::ContactDatabase> database = folders.openDatabase();

    int settingsRecords() const { return rows("settings"); }
    int attachmentRecords() const { return rows("attachments"); }
    int rows(const char* table) const
    {
        QSqlQuery query(database->connection());
        if (!query.exec(QStringLiteral("SELECT count(*) FROM %1").arg(table)) || !query.next()) return -1;
        return query.value(0).toInt();
    }
};

}  // namespace

class FormsTest : public QObject {
    Q_OBJECT

private slots:
    void defaultsOnAnEmptyFileKeepsItsBlankRecordOnCancel()
    {
        FormFixture fixture;
        QVERIFY(fixture.database);
        QCOMPARE(fixture.settingsRecords(), 0);
        DefaultsForm form(*fixture.database, fixture.errors);
        QVERIFY(form.isUsable());
        QCOMPARE(form.windowTitle(), QStringLiteral("Standaard instellingen"));
        QCOMPARE(fixture.settingsRecords(), 1);
        form.mailHost()->setText("typed but not kept");
        form.cancelButton()->click();
        QCOMPARE(fixture.settingsRecords(), 1);
        const std::optional<Settings> stored = SettingsTable(*fixture.database).first();
        QVERIFY(stored);
        QCOMPARE(*stored, Settings{});
        QVERIFY(fixture.host.boxes().empty());
    }

    void okStoresTheValuesCutToTheirWidths()
    {
        FormFixture fixture;
        QVERIFY(fixture.database);
        {
            DefaultsForm form(*fixture.database, fixture.errors);
            form.mailHost()->setText(QString(300, 'h'));
            form.mailer()->setText("quillnet demo");
            form.senderName()->setText(QString(130, 'n'));
            form.senderEmail()->setText(QString(250, 'e'));
            form.standardSubject()->setText("News   ");
            form.footer()->setPlainText(QString(1500, 'f'));
            form.recipientsPerMessage()->setValue(25);
            form.messagesPerMinute()->setValue(12);
            form.okButton()->click();
        }
        QCOMPARE(fixture.settingsRecords(), 1);
        const Settings stored = SettingsTable(*fixture.database).first().value_or(Settings{});
        QCOMPARE(stored.mailHost, QString(120, 'h'));
        QCOMPARE(stored.mailer, QStringLiteral("quillnet demo"));
        QCOMPARE(stored.senderName, QString(120, 'n'));
        QCOMPARE(stored.senderEmail, QString(200, 'e'));
        QCOMPARE(stored.standardSubject, QStringLiteral("News"));
        QCOMPARE(stored.footer, QString(1000, 'f'));
        QCOMPARE(stored.recipientsPerMessage, 25);
        QCOMPARE(stored.messagesPerMinute, 12);

        // A second form shows what was stored, and leaves the record single.
        DefaultsForm again(*fixture.database, fixture.errors);
        QCOMPARE(again.mailHost()->text(), QString(120, 'h'));
        QCOMPARE(again.recipientsPerMessage()->value(), 25);
        again.okButton()->click();
        QCOMPARE(fixture.settingsRecords(), 1);
    }

    void previousValueRecallsTheLastSavedValueOfTheFocusedField()
    {
        FormFixture fixture;
        QVERIFY(fixture.database);
        {
            DefaultsForm form(*fixture.database, fixture.errors);
            form.mailHost()->setText("first.example.org");
            form.mailer()->setText("first mailer");
            form.okButton()->click();
        }
        DefaultsForm form(*fixture.database, fixture.errors);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.mailHost()->setText("second.example.org");
        form.mailer()->setText("second mailer");
        form.mailHost()->setFocus();
        QTRY_VERIFY(form.mailHost()->hasFocus());
        QTest::keyClick(form.mailHost(), Qt::Key_Apostrophe, Qt::ControlModifier);
        QCOMPARE(form.mailHost()->text(), QStringLiteral("first.example.org"));
        QCOMPARE(form.mailer()->text(), QStringLiteral("second mailer"));  // not focused: untouched

        form.mailer()->setFocus();
        QTRY_VERIFY(form.mailer()->hasFocus());
        form.navigate(demo::NavigationButton::PreviousValue);  // the frame's "Previous value" button
        QCOMPARE(form.mailer()->text(), QStringLiteral("first mailer"));
    }

    void aRecordChangedByAnotherStationIsNotOverwritten()
    {
        FormFixture fixture;
        QVERIFY(fixture.database);
        DefaultsForm form(*fixture.database, fixture.errors);
        form.show();
        form.mailHost()->setText("mine.example.org");

        // Another station saves first.
        SettingsTable other(*fixture.database);
        const Settings asRead = other.first().value_or(Settings{});
        Settings theirs = asRead;
        theirs.mailHost = "theirs.example.org";
        QVERIFY(!other.update(asRead, theirs));

        form.okButton()->click();
        QCOMPARE(fixture.host.boxes().size(), size_t(1));
        QCOMPARE(QString::fromStdString(fixture.host.boxes()[0].caption),
                 QStringLiteral("Record Was Not Updated"));
        QVERIFY(form.isVisible());  // still open, showing their copy
        QCOMPARE(form.mailHost()->text(), QStringLiteral("theirs.example.org"));
        QCOMPARE(SettingsTable(*fixture.database).first()->mailHost, QStringLiteral("theirs.example.org"));

        // What was typed comes back with Ctrl+', and now saves over their copy.
        form.mailHost()->setFocus();
        form.recallPreviousValue();
        QCOMPARE(form.mailHost()->text(), QStringLiteral("mine.example.org"));
        form.okButton()->click();
        QCOMPARE(SettingsTable(*fixture.database).first()->mailHost, QStringLiteral("mine.example.org"));
    }

    void defaultsOpenAsAChildOfTheFrameAndGoOnOk()
    {
        FormFixture fixture;
        QVERIFY(fixture.database);
        demo::ProgramState state;
        demo::MainFrame frame(*fixture.database, fixture.errors, state, {},
                              fixture.folders.configFile("mailig.ini"));
        frame.show();
        DefaultsForm* form = frame.openDefaults();
        QVERIFY(form);
        QCOMPARE(frame.workArea()->subWindowList().size(), 1);
        form->okButton()->click();
        QTRY_COMPARE(frame.workArea()->subWindowList().size(), 0);
    }

    void attachmentIsAddedWithTheChosenFile()
    {
        FormFixture fixture;
        QVERIFY(fixture.database);
        fixture.host.answerNextFileDialog("/srv/files/price list.pdf");
        UpdateAttachementsForm form(FormRequest::Insert, *fixture.database, fixture.host);
        QCOMPARE(form.windowTitle(), QStringLiteral("Record will be Added"));
        QVERIFY(form.fileName()->isReadOnly());
        form.open();
        form.chooseButton()->click();
        QCOMPARE(form.fileName()->text(), QStringLiteral("/srv/files/price list.pdf"));
        const std::vector<quillnet::FileDialogRequest> requests = fixture.host.fileRequests();
        QCOMPARE(requests.size(), size_t(1));
        QCOMPARE(QString::fromStdString(requests[0].title), QStringLiteral("Select A File"));
        QCOMPARE(QString::fromStdString(requests[0].filters), QStringLiteral("All Files|*.*"));
        form.okButton()->click();
        QCOMPARE(form.result(), int(QDialog::Accepted));

        const std::vector<demo::data::Attachment> listed =
            demo::data::AttachmentsTable(*fixture.database).all();
        QCOMPARE(listed.size(), size_t(1));
        QCOMPARE(listed[0].fileName, QStringLiteral("/srv/files/price list.pdf"));
        QCOMPARE(int(listed[0].icon), 0);
    }

    void insertRunsModallyAndAddsBlankOrNothing_data()
    {
        QTest::addColumn<bool>("pressOk");
        QTest::addColumn<int>("added");
        QTest::newRow("OK without a file adds a blank entry") << true << 1;
        QTest::newRow("Cancel adds nothing") << false << 0;
    }

    void insertRunsModallyAndAddsBlankOrNothing()
    {
        QFETCH(bool, pressOk);
        QFETCH(int, added);
        FormFixture fixture;
        QVERIFY(fixture.database);
        QTimer::singleShot(0, this, [pressOk] {
            auto* form = qobject_cast<UpdateAttachementsForm*>(QApplication::activeModalWidget());
            QVERIFY(form);
            form->chooseButton()->click();  // the dialog is cancelled: no file
            (pressOk ? form->okButton() : form->cancelButton())->click();
        });
        QCOMPARE(UpdateAttachementsForm::insert(nullptr, *fixture.database, fixture.host), pressOk);
        QCOMPARE(fixture.attachmentRecords(), added);
    }

    void aChangeRequestIsRefusedAtOnce()
    {
        FormFixture fixture;
        QVERIFY(fixture.database);
        UpdateAttachementsForm form(FormRequest::Change, *fixture.database, fixture.host);
        QCOMPARE(form.exec(), int(QDialog::Rejected));  // returns without waiting for input
        QVERIFY(!form.isVisible());
        QCOMPARE(fixture.host.boxes().size(), size_t(1));
        QCOMPARE(QString::fromStdString(fixture.host.boxes()[0].caption), QStringLiteral("Invalid Request"));
        QCOMPARE(QString::fromStdString(fixture.host.boxes()[0].text),
                 QStringLiteral("This form cannot be used to update a record"));
        QCOMPARE(fixture.attachmentRecords(), 0);
    }
};

QTEST_MAIN(FormsTest)
#include "demo_frame_forms_test.moc"
