// Main: the program's frame. Child windows (the defaults form, the browse of
// persons) open side by side in its work area; the mail window runs modally
// over it. Menu, toolbar and status bar are the program's; the thirteen
// record-navigation buttons of the toolbar are handed to the active child
// window (NavigationTarget.h).
//
// Opening reads the animation option from "mailig.ini" and the first Settings
// record; closing writes the option back.
#ifndef DEMO_MAINFRAME_H
#define DEMO_MAINFRAME_H

#include <QMainWindow>
#include <QPrinter>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <map>
#include <string>

#include "ErrorManager.h"
#include "FrameHooks.h"
#include "NavigationTarget.h"
#include "ProgramState.h"
#include "demo/data/ContactDatabase.h"

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QToolBar;

namespace demo {

class DefaultsForm;
class InfoScreen;
class MailPicture;

class MainFrame : public QMainWindow {
    Q_OBJECT

public:
    static const char* const kTitle;

    // `animationIniPath` is the full path of "mailig.ini".
    MainFrame(const demo::data::ContactDatabase& database, const ErrorManager& errors, ProgramState& state,
              FrameHooks hooks, std::string animationIniPath, QWidget* parent = nullptr);
    ~MainFrame() override;

    QMdiArea* workArea() const { return workArea_; }
    const demo::data::ContactDatabase& database() const { return database_; }
    quillnet::HostServices& host() const { return errors_.host(); }
    const ErrorManager& errors() const { return errors_; }
    ProgramState& state() const { return state_; }

    // The defaults form as a child window, or nullptr when its record could
    // not be read (the failure has been shown).
    DefaultsForm* openDefaults();
    // Puts `window` into the work area and shows it. The window closes
    // itself with closeChildWindow() (ChildWindow.h).
    QMdiSubWindow* addChildWindow(QWidget* window);
    // The information window, a window of its own over the frame.
    InfoScreen* openInfoScreen();

    bool isAnimated() const { return animated_; }
    void setAnimated(bool animated);

    // Menu and toolbar, for the windows that add to them and for tests.
    QAction* navigationAction(NavigationButton button) const { return navigation_.at(button); }
    QAction* closeAction() const { return closeAction_; }
    QToolBar* toolBar() const { return toolBar_; }
    MailPicture* picture() const { return picture_; }
    // The right edge of the toolbar's "Close" button, in frame coordinates.
    int closeButtonRight() const;

    // Where the help pages are: the installed copy, else the one in the
    // source tree (a program run from its build folder).
    static QString helpIndexFile();
    // Web addresses and help pages go to `opener` (the desktop's by default).
    void setUrlOpener(std::function<void(const QUrl&)> opener) { openUrl_ = std::move(opener); }

signals:
    // The frame has accepted its close and written its option.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    QAction* addHookAction(QWidget* where, const QString& text, const QString& tip,
                           const std::function<void(MainFrame&)>& hook);
    void handToActiveChild(NavigationButton button);
    void onFocusedControl(const char* slot);
    void arrangeIcons();
    void printSetup();
    void openHelp(const QString& anchor);
    void refreshClock();
    void placePicture();

    const demo::data::ContactDatabase& database_;
    const ErrorManager& errors_;
    ProgramState& state_;
    FrameHooks hooks_;
    std::string animationIniPath_;
    bool animated_;
    std::function<void(const QUrl&)> openUrl_;

    QMdiArea* workArea_;
    QToolBar* toolBar_ = nullptr;
    std::map<NavigationButton, QAction*> navigation_;
    QAction* closeAction_ = nullptr;
    QAction* animationAction_ = nullptr;
    MailPicture* picture_;
    QLabel* dateZone_ = nullptr;
    QLabel* timeZone_ = nullptr;
    QTimer clock_;
    QPrinter printer_;
};

}  // namespace demo

#endif
