#include "InfoScreen.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "MailPicture.h"

namespace demo {

const char* const InfoScreen::kWebAddress = "https://quillnet.example.org/";

InfoScreen::InfoScreen(QWidget* parent, std::function<void(const QUrl&)> openUrl)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint), openUrl_(std::move(openUrl))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("InfoScreen"));
    setWindowTitle(QStringLiteral("Demo Email"));
    if (!openUrl_) openUrl_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Raised);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(24, 18, 24, 14);
    layout->setSpacing(8);
    auto* picture = new MailPicture(frame);
    picture->setAnimated(true);
    layout->addWidget(picture, 0, Qt::AlignHCenter);

    auto* title = new QLabel(QStringLiteral("Demo Email"), frame);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    title->setFont(big);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addWidget(new QLabel(QStringLiteral("\u00a9 2026 The quillnet developers"), frame), 0,
                      Qt::AlignHCenter);
    layout->addWidget(new QLabel(QStringLiteral("Written by Robin Marsh"), frame), 0, Qt::AlignHCenter);

    auto* address = new QPushButton(QString::fromLatin1(kWebAddress), frame);
    address->setObjectName(QStringLiteral("webAddress"));
    address->setFlat(true);
    address->setCursor(Qt::PointingHandCursor);
    address->setStyleSheet(QStringLiteral("color: #1a4f9c; text-decoration: underline;"));
    connect(address, &QPushButton::clicked, this,
            [this] { openUrl_(QUrl(QString::fromLatin1(kWebAddress))); });
    layout->addWidget(address, 0, Qt::AlignHCenter);

    auto* close = new QPushButton(QStringLiteral("Close"), frame);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(close, 0, Qt::AlignHCenter);

    timer_.setSingleShot(true);
    timer_.setInterval(kShownMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &QWidget::close);
}

void InfoScreen::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (parentWidget() != nullptr) {
        adjustSize();
        const QRect over = parentWidget()->window()->geometry();
        move(over.center() - rect().center());
    }
    timer_.start();
    activateWindow();
}

void InfoScreen::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    // Only a focus it once had can be lost: the window may open before the
    // window system has made it active.
    if (isActiveWindow()) {
        wasActive_ = true;
    } else if (wasActive_) {
        close();
    }
}

}  // namespace demo
