// Times a mass send from the compose window, from pressing "Send" to the
// report: PERSONS persons (in batches of the recipients-per-message setting)
// to the mail server at HOST:PORT. Runs offscreen, answers every question
// Yes, and watches the window thread with a 10 ms timer to show that it kept
// handling events (and so repainting) throughout.
//
// Usage: demo_send HOST:PORT [PERSONS [PER_MESSAGE]]
// Prints "seconds <s> batches <n> sent <k> longest_gap_ms <g>".
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "EmailWindow.h"
#include "SendReportWindow.h"
#include "demo/data/PersonsTable.h"
#include "demo/data/SettingsTable.h"

namespace {

class YesHost : public quillnet::HostServices {
public:
    quillnet::MessageAnswer messageBox(const std::string& text, const std::string&, quillnet::MessageIcon,
                                       quillnet::MessageButtons buttons) override
    {
        if (buttons == quillnet::MessageButtons::YesNo) return quillnet::MessageAnswer::Yes;
        std::fprintf(stderr, "%s\n", text.c_str());
        return quillnet::MessageAnswer::Ok;
    }
    std::optional<std::string> chooseFile(const quillnet::FileDialogRequest&) override { return std::nullopt; }
    void beep() override {}
};

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s HOST:PORT [PERSONS [PER_MESSAGE]]\n", argv[0]);
        return 2;
    }
    const int persons = argc > 2 ? std::atoi(argv[2]) : 32767;
    const int perMessage = argc > 3 ? std::atoi(argv[3]) : 100;

    QTemporaryDir dir;
    demo::data::DatabaseLocation where;
    where.sqliteFile = dir.filePath("contacts.sqlite");
    demo::data::ContactDatabase db(where);
    if (db.open()) return 1;
    const demo::data::DataError filled = db.inTransaction([&]() -> demo::data::DataError {
        demo::data::PersonsTable table(db);
        for (int n = 1; n <= persons; ++n) {
            demo::data::Person p;
            p.firstName = QStringLiteral("Person");
            p.lastName = QString::number(n);
            p.emailAddress = QStringLiteral("p%1@example.org").arg(n);
            if (demo::data::DataError e = table.insert(p)) return e;
        }
        return {};
    });
    if (filled) return 1;
    demo::data::SettingsTable settings(db);
    settings.insertBlank();
    const demo::data::Settings blank = *settings.first();
    demo::data::Settings s = blank;
    s.mailHost = QString::fromLocal8Bit(argv[1]);
    s.senderName = QStringLiteral("Ann");
    s.senderEmail = QStringLiteral("ann@example.org");
    s.standardSubject = QStringLiteral("Figures");
    s.footer = QStringLiteral("Hello,\nthis is a short message for the figures.");
    s.recipientsPerMessage = perMessage;
    if (settings.update(blank, s)) return 1;

    YesHost host;
    demo::EmailWindow window({db, host, [] { return false; }, {}});
    window.show();

    QElapsedTimer beat;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, beat.restart());
        window.update();
    });
    QElapsedTimer clock;
    QTimer::singleShot(0, [&] {
        beat.start();
        ticker.start(10);
        clock.start();
        window.send();
        const double seconds = clock.nsecsElapsed() / 1e9;
        ticker.stop();
        const demo::SendOutcome& outcome = window.reportWindow() ? window.reportWindow()->outcome() : demo::SendOutcome{};
        std::printf("seconds %.3f batches %d sent %d longest_gap_ms %lld\n", seconds, outcome.batchCount,
                    outcome.sentCount, static_cast<long long>(longestGap));
        app.quit();
    });
    return app.exec();
}
