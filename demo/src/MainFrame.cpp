#include "MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QStatusBar>
#include <QTime>
#include <QToolBar>
#include <QToolButton>

#include "AnimationOption.h"
#include "DefaultsForm.h"
#include "InfoScreen.h"
#include "MailPicture.h"
#include "NavigationButtons.h"
#include "demo/data/DisplayName.h"
#include "demo/data/SettingsTable.h"

namespace demo {

const char* const MainFrame::kTitle = "Larkwire Demo (C5 - 32bit)";

namespace {

QAction* addTippedAction(QWidget* where, const QString& text, const QString& tip)
{
    auto* action = new QAction(text, where);
    action->setStatusTip(tip);
    action->setToolTip(tip);
    where->addAction(action);
    return action;
}

QString displayNameTip()
{
    demo::data::Person sample;
    sample.firstName = QStringLiteral("Jan");
    sample.infix = QStringLiteral("van");
    sample.lastName = QStringLiteral("Dijk");
    return demo::data::displayName(sample, false) + " / " + demo::data::displayName(sample, true);
}

}  // namespace

MainFrame::MainFrame(const demo::data::ContactDatabase& database, const ErrorManager& errors,
                     ProgramState& state, FrameHooks hooks, std::string animationIniPath, QWidget* parent)
    : QMainWindow(parent),
      database_(database),
      errors_(errors),
      state_(state),
      hooks_(std::move(hooks)),
      animationIniPath_(std::move(animationIniPath)),
      animated_(readAnimationOption(animationIniPath_)),
      openUrl_([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QString::fromLatin1(kTitle));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("quillnet"), glyphIcon(QStringLiteral("\u2709"))));

    workArea_ = new QMdiArea(this);
    QLinearGradient background(0, 0, 0, 800);
    background.setColorAt(0, QColor(0x3b, 0x5f, 0x8a));
    background.setColorAt(1, QColor(0x1d, 0x2f, 0x47));
    workArea_->setBackground(background);
    workArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    workArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(workArea_);

    buildMenus();
    buildToolBar();
    buildStatusBar();

    picture_ = new MailPicture(this);
    picture_->setAnimated(animated_);
    picture_->raise();
    toolBar_->installEventFilter(this);
    toolBar_->widgetForAction(closeAction_)->installEventFilter(this);
    placePicture();

    // The mail window and the frame start from the first Settings record; a
    // broken file shows itself now rather than in the middle of a mail.
    demo::data::SettingsTable settings(database_);
    settings.first();
    errors_.show(settings.error());

    connect(&clock_, &QTimer::timeout, this, &MainFrame::refreshClock);
    clock_.start(1000);
    refreshClock();
    resize(900, 600);
}

MainFrame::~MainFrame()
{
    // The children go after this body: no placing of a picture that is gone.
    toolBar_->widgetForAction(closeAction_)->removeEventFilter(this);
    toolBar_->removeEventFilter(this);
}

void MainFrame::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    connect(addTippedAction(file, QStringLiteral("&Print Setup ..."), QStringLiteral("Setup printer")),
            &QAction::triggered, this, &MainFrame::printSetup);
    file->addSeparator();
    addHookAction(file, QStringLiteral("Import persons..."), QStringLiteral("Read persons from a file"),
                  hooks_.importPersons);
    addHookAction(file, QStringLiteral("Export persons..."), QStringLiteral("Write the persons to a file"),
                  hooks_.exportPersons);
    file->addSeparator();
    connect(addTippedAction(file, QStringLiteral("E&xit"), QStringLiteral("Exit this application")),
            &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    connect(addTippedAction(edit, QStringLiteral("Cu&t"), QStringLiteral("Remove item to Windows Clipboard")),
            &QAction::triggered, this, [this] { onFocusedControl("cut"); });
    connect(addTippedAction(edit, QStringLiteral("&Copy"), QStringLiteral("Copy item to Windows Clipboard")),
            &QAction::triggered, this, [this] { onFocusedControl("copy"); });
    connect(addTippedAction(edit, QStringLiteral("&Paste"),
                            QStringLiteral("Paste contents of Windows Clipboard")),
            &QAction::triggered, this, [this] { onFocusedControl("paste"); });

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    connect(addTippedAction(options, QStringLiteral("&Defaults"), QStringLiteral("&Default values")),
            &QAction::triggered, this, &MainFrame::openDefaults);
    animationAction_ =
        addTippedAction(options, QStringLiteral("Animation"), QStringLiteral("Animated OR static"));
    animationAction_->setCheckable(true);
    animationAction_->setChecked(animated_);
    connect(animationAction_, &QAction::toggled, this, &MainFrame::setAnimated);
    QAction* displayName = addTippedAction(options, QStringLiteral("Display name"), displayNameTip());
    displayName->setCheckable(true);
    displayName->setChecked(state_.lastNameFirst());
    connect(displayName, &QAction::toggled, &state_, &ProgramState::setLastNameFirst);

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    connect(addTippedAction(window, QStringLiteral("T&ile"), QStringLiteral("Make all open windows visible")),
            &QAction::triggered, workArea_, &QMdiArea::tileSubWindows);
    connect(addTippedAction(window, QStringLiteral("&Cascade"), QStringLiteral("Stack all open windows")),
            &QAction::triggered, workArea_, &QMdiArea::cascadeSubWindows);
    connect(
        addTippedAction(window, QStringLiteral("&Arrange Icons"), QStringLiteral("Align all window icons")),
        &QAction::triggered, this, &MainFrame::arrangeIcons);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    connect(addTippedAction(help, QStringLiteral("&Contents"),
                            QStringLiteral("View the contents of the help file")),
            &QAction::triggered, this, [this] { openHelp(QString()); });
    connect(addTippedAction(help, QStringLiteral("&Search for Help On..."),
                            QStringLiteral("Search for help on a subject")),
            &QAction::triggered, this, [this] { openHelp(QStringLiteral("subjects")); });
    connect(
        addTippedAction(help, QStringLiteral("&How to Use Help"), QStringLiteral("How to use Windows Help")),
        &QAction::triggered, this, [this] { openHelp(QStringLiteral("using-help")); });
    help->addSeparator();
    connect(
        addTippedAction(help, QStringLiteral("&About..."), QStringLiteral("Information about the program")),
        &QAction::triggered, this, &MainFrame::openInfoScreen);

    for (QMenu* menu : {file, edit, options, window, help}) menu->setToolTipsVisible(true);
}

void MainFrame::buildToolBar()
{
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("Toolbar"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(24, 24));
    for (int i = 0; i <= int(NavigationButton::Help); ++i) {
        const auto button = NavigationButton(i);
        QAction* action = addTippedAction(toolBar_, QString(), navigationTip(button));
        action->setIcon(navigationIcon(button));
        action->setText(navigationTip(button));
        connect(action, &QAction::triggered, this, [this, button] { handToActiveChild(button); });
        navigation_[button] = action;
    }
    toolBar_->addSeparator();
    connect(addTippedAction(toolBar_, QStringLiteral("Default values"), QStringLiteral("Default values")),
            &QAction::triggered, this, &MainFrame::openDefaults);
    addHookAction(toolBar_, QStringLiteral("Persons"), QStringLiteral("Persons and groups"), hooks_.persons);
    addHookAction(toolBar_, QStringLiteral("Email"), QStringLiteral("Write and send a mail"), hooks_.email);
    closeAction_ = addTippedAction(toolBar_, QStringLiteral("Close"), QStringLiteral("Close the program"));
    connect(closeAction_, &QAction::triggered, this, &QWidget::close);
}

void MainFrame::buildStatusBar()
{
    // Zones 1 and 2 carry the tips; 3 and 4 the date and the time.
    dateZone_ = new QLabel(this);
    timeZone_ = new QLabel(this);
    dateZone_->setObjectName(QStringLiteral("date"));
    timeZone_->setObjectName(QStringLiteral("time"));
    statusBar()->addWidget(new QLabel(this), 1);
    statusBar()->addPermanentWidget(dateZone_);
    statusBar()->addPermanentWidget(timeZone_);
}

QAction* MainFrame::addHookAction(QWidget* where, const QString& text, const QString& tip,
                                  const std::function<void(MainFrame&)>& hook)
{
    QAction* action = addTippedAction(where, text, tip);
    action->setEnabled(static_cast<bool>(hook));
    if (hook) connect(action, &QAction::triggered, this, [this, hook] { hook(*this); });
    return action;
}

void MainFrame::handToActiveChild(NavigationButton button)
{
    // currentSubWindow(), not activeSubWindow(): the child stays the one the
    // user works in while the frame itself is not the active window.
    QMdiSubWindow* child = workArea_->currentSubWindow();
    if (child == nullptr) return;
    if (auto* target = dynamic_cast<NavigationTarget*>(child->widget())) target->navigate(button);
}

void MainFrame::onFocusedControl(const char* slot)
{
    // Line edits and both text editors have these slots; other controls do
    // not take part in the clipboard.
    if (QWidget* focused = QApplication::focusWidget()) QMetaObject::invokeMethod(focused, slot);
}

void MainFrame::arrangeIcons()
{
    // Minimised child windows in a row along the bottom of the work area.
    int x = 0;
    for (QMdiSubWindow* child : workArea_->subWindowList()) {
        if (!child->isMinimized()) continue;
        child->move(x, workArea_->viewport()->height() - child->height());
        x += child->width();
    }
}

void MainFrame::printSetup()
{
    QPrintDialog dialog(&printer_, this);
    dialog.setWindowTitle(QStringLiteral("Print Setup"));
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.exec();
}

QString MainFrame::helpIndexFile()
{
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .absoluteFilePath(QStringLiteral("../" DEMO_INSTALLED_HELP "/index.html"));
    if (QFileInfo::exists(installed)) return QDir::cleanPath(installed);
    return QStringLiteral(DEMO_SOURCE_HELP "/index.html");
}

void MainFrame::openHelp(const QString& anchor)
{
    QUrl url = QUrl::fromLocalFile(helpIndexFile());
    if (!anchor.isEmpty()) url.setFragment(anchor);
    openUrl_(url);
}

DefaultsForm* MainFrame::openDefaults()
{
    auto* form = new DefaultsForm(database_, errors_, state_.mailLogin());
    if (!form->isUsable()) {
        delete form;
        return nullptr;
    }
    addChildWindow(form);
    return form;
}

QMdiSubWindow* MainFrame::addChildWindow(QWidget* window)
{
    QMdiSubWindow* child = workArea_->addSubWindow(window);
    window->show();
    return child;
}

InfoScreen* MainFrame::openInfoScreen()
{
    auto* info = new InfoScreen(this, openUrl_);
    info->show();
    return info;
}

void MainFrame::setAnimated(bool animated)
{
    animated_ = animated;
    if (animationAction_->isChecked() != animated) animationAction_->setChecked(animated);
    picture_->setAnimated(animated);
    placePicture();
}

int MainFrame::closeButtonRight() const
{
    const QWidget* button = toolBar_->widgetForAction(closeAction_);
    return button->mapTo(this, QPoint(button->width(), 0)).x();
}

void MainFrame::placePicture()
{
    const int y = toolBar_->geometry().top() + (toolBar_->height() - picture_->height()) / 2;
    picture_->move(pictureX(closeButtonRight(), width(), picture_->width()), std::max(0, y));
    picture_->raise();
}

void MainFrame::refreshClock()
{
    dateZone_->setText(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
    timeZone_->setText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
}

void MainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    placePicture();
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event)
{
    // The toolbar lays its buttons out after the frame's resize: follow it.
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
        event->type() == QEvent::LayoutRequest)
        placePicture();
    return QMainWindow::eventFilter(watched, event);
}

void MainFrame::closeEvent(QCloseEvent* event)
{
    workArea_->closeAllSubWindows();
    if (!workArea_->subWindowList().isEmpty()) {
        event->ignore();  // a child window refused to close
        return;
    }
    if (!writeAnimationOption(animationIniPath_, animated_)) {
        errors_.host().messageBox("The animation setting could not be saved in " + animationIniPath_, "",
                                  quillnet::MessageIcon::Exclamation, quillnet::MessageButtons::Ok);
    }
    clock_.stop();
    event->accept();
    emit closed();
}

}  // namespace demo
