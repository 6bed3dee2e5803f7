#include "quillnet/qt/QtHostServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QThread>

namespace quillnet::qt {
namespace {

template <typename Result, typename Call>
Result onWindowThread(Call call)
{
    if (QThread::currentThread() == qApp->thread()) return call();
    Result result{};
    QMetaObject::invokeMethod(
        qApp, [&] { result = call(); }, Qt::BlockingQueuedConnection);
    return result;
}

QMessageBox::Icon qtIcon(quillnet::MessageIcon icon)
{
    switch (icon) {
        case quillnet::MessageIcon::Information:
            return QMessageBox::Information;
        case quillnet::MessageIcon::Question:
            return QMessageBox::Question;
        case quillnet::MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case quillnet::MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QStringList qtNameFilters(const std::string& filters)
{
    const QStringList parts = QString::fromStdString(filters).split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // "*.htm;*.html" lists two patterns; Qt separates them by blanks.
        QString pattern = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
#ifndef Q_OS_WIN
        if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
#endif
        result << QStringLiteral("%1 (%2)").arg(parts[i], pattern);
    }
    return result;
}

quillnet::MessageAnswer QtHostServices::messageBox(const std::string& text, const std::string& caption,
                                                   quillnet::MessageIcon icon,
                                                   quillnet::MessageButtons buttons)
{
    return messageBoxWithDefault(text, caption, icon, buttons,
                                 buttons == quillnet::MessageButtons::YesNo ? quillnet::MessageAnswer::Yes
                                                                            : quillnet::MessageAnswer::Ok);
}

quillnet::MessageAnswer QtHostServices::messageBoxWithDefault(const std::string& text, const std::string& caption,
                                                              quillnet::MessageIcon icon,
                                                              quillnet::MessageButtons buttons,
                                                              quillnet::MessageAnswer defaultAnswer)
{
    return onWindowThread<quillnet::MessageAnswer>([&] {
        const bool question = buttons == quillnet::MessageButtons::YesNo;
        QMessageBox box(
            qtIcon(icon),
            caption.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(caption),
            QString::fromStdString(quillnet::messageBoxLines(text)),
            question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
            QApplication::activeWindow());
        if (question) {
            const auto safe = defaultAnswer == quillnet::MessageAnswer::No ? QMessageBox::No : QMessageBox::Yes;
            box.setDefaultButton(safe);
            box.setEscapeButton(QMessageBox::No);
        }
        const int pressed = box.exec();
        if (!question) return quillnet::MessageAnswer::Ok;
        return pressed == QMessageBox::Yes ? quillnet::MessageAnswer::Yes : quillnet::MessageAnswer::No;
    });
}

std::optional<std::string> QtHostServices::chooseFile(const quillnet::FileDialogRequest& request)
{
    return onWindowThread<std::optional<std::string>>([&]() -> std::optional<std::string> {
        QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title),
                           QString::fromStdString(request.startDirectory));
        if (request.forSaving) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
        } else {
            dialog.setFileMode(QFileDialog::ExistingFile);
        }
        dialog.setNameFilters(qtNameFilters(request.filters));
        if (!request.proposedName.empty()) dialog.selectFile(QString::fromStdString(request.proposedName));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().constFirst().toStdString();
    });
}

void QtHostServices::beep()
{
    onWindowThread<bool>([] {
        QApplication::beep();
        return true;
    });
}

std::optional<std::string> QtHostServices::askPassword(const std::string& prompt, const std::string& caption)
{
    return onWindowThread<std::optional<std::string>>([&]() -> std::optional<std::string> {
        bool accepted = false;
        const QString password = QInputDialog::getText(
            QApplication::activeWindow(),
            caption.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(caption),
            QString::fromStdString(quillnet::messageBoxLines(prompt)), QLineEdit::Password, QString(),
            &accepted);
        if (!accepted) return std::nullopt;
        return password.toStdString();
    });
}

}  // namespace quillnet::qt
