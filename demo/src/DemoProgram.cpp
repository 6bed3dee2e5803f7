#include "DemoProgram.h"

#include <QEventLoop>
#include <QTimer>
#include <optional>

#include "AnimationOption.h"
#include "ErrorManager.h"
#include "IniManager.h"
#include "KeychainPasswordStore.h"
#include "MailLogin.h"
#include "MainFrame.h"
#include "ProgramState.h"
#include "demo/data/ContactDatabase.h"
#include "quillnet/qt/ConfigFolder.h"

namespace demo {

DemoProgram::DemoProgram(quillnet::HostServices& host, FrameHooks hooks, Trace trace)
    : host_(host), hooks_(std::move(hooks)), trace_(std::move(trace))
{
}

void DemoProgram::step(const QString& done) const
{
    if (trace_) trace_(done);
}

int DemoProgram::run()
{
    int status = 0;
    {
        ErrorManager errors(host_);
        step(QStringLiteral("error manager started"));
        IniManager ini(quillnet::qt::configFilePath(kProgramIniFileName));
        step(QStringLiteral("demo.INI opened"));
        {
            std::optional<demo::data::ContactDatabase> database;
            database.emplace(demo::data::DatabaseLocation::fromEnvironment());
            std::vector<demo::data::DataError> notices;
            const demo::data::DataError failure = database->open(&notices);
            for (const demo::data::DataError& notice : notices) errors.show(notice);
            if (failure) {
                // Without its data the program can do nothing: every failure
                // to open them ends it, not only the two the data call fatal.
                errors.show(failure);
                step(QStringLiteral("data failed"));
                status = 1;
            } else {
                step(QStringLiteral("data opened"));
                ProgramState state;
                KeychainPasswordStore keyring;
                MailLogin login(keyring, host_);
                state.setMailLogin(&login);
                MainFrame frame(*database, errors, state, hooks_,
                                quillnet::qt::configFilePath(kAnimationIniFileName));
                QEventLoop untilClosed;
                QObject::connect(&frame, &MainFrame::closed, &untilClosed, &QEventLoop::quit,
                                 Qt::QueuedConnection);
                frame.show();
                step(QStringLiteral("frame opened"));
                if (greet_) QTimer::singleShot(0, &frame, [&frame] { frame.openInfoScreen(); });
                untilClosed.exec();
                step(QStringLiteral("frame closed"));
            }
            if (!ini.close()) {
                host_.messageBox("The file " + ini.path() + " could not be written.", "",
                                 quillnet::MessageIcon::Exclamation, quillnet::MessageButtons::Ok);
            }
            step(QStringLiteral("demo.INI written"));
            database.reset();
            step(QStringLiteral("data closed"));
        }
    }
    step(QStringLiteral("error manager stopped"));
    return status;
}

}  // namespace demo
