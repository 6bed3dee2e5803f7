// Saves pictures of the form's three tabs and of both send windows, for a
// look at the layout without a desktop: run it under xvfb-run and open the
// PNG files. Not a test; nothing is sent (the library is stood in for).
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTest>
#include <atomic>

#include "MainForm.h"
#include "RecordingHostServices.h"
#include "SendCodeWindow.h"
#include "SendExtensionWindow.h"

namespace {

std::atomic<bool> gRelease{false};

// Stops in the middle of a 10240-byte transfer until released.
int32_t halfwaySend(WRENPOSTDATA* job)
{
    *job->BYTESTOTAL = 10240;
    for (int32_t sent : {0, 1024, 2048, 3072, 4096}) {
        *job->BYTESPROCESSED = sent;
        if (job->WRENPOSTCALLBACK != nullptr) job->WRENPOSTCALLBACK();
        QThread::msleep(300);
    }
    while (!gRelease) QThread::msleep(10);
    return 0;
}

void save(QWidget& widget, const QString& folder, const char* name)
{
    QTest::qWait(200);
    widget.grab().save(folder + "/" + name + ".png");
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    quillnet::RecordingHostServices host;
    benchform::MainForm form(host, (folder + "/BENCHFORM.ini").toStdString());
    form.show();
    auto* tabs = form.findChild<QTabWidget*>();
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        save(form, folder, qPrintable(QStringLiteral("form-tab%1").arg(tab + 1)));
    }

    benchform::BenchValues values = form.values();
    values.RECIPIENTADDRESS = "bob@example.org";
    benchform::SendExtensionWindow extension(values, host);
    extension.sendThread().setLibraryEntry(&halfwaySend);
    benchform::SendCodeWindow plain(values, host);
    plain.sendThread().setLibraryEntry(&halfwaySend);
    extension.show();
    plain.show();
    QTest::qWait(1700);
    save(extension, folder, "send-extension");
    save(plain, folder, "send-code");
    gRelease = true;
    extension.sendThread().wait();
    plain.sendThread().wait();
    return 0;
}
