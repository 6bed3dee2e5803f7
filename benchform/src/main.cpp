// benchform: a test bench for the mail library. One form with every value a
// mail can carry, kept between runs, and two ways to send it.
#include <QApplication>

#include "BenchIni.h"
#include "MainForm.h"
#include "quillnet/qt/QtHostServices.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("benchform"));
    QApplication::setApplicationDisplayName(QStringLiteral("benchform"));

    // The form refuses to close while a send runs, so the program ends only
    // once every send window has gone.
    quillnet::qt::QtHostServices host;
    benchform::MainForm form(host, benchform::benchIniPath());
    form.show();
    return QApplication::exec();
}
