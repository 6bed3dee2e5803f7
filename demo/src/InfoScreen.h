// The information window that greets the user: the maker's notice, the
// program's picture and the web address. It goes by itself after seven
// seconds, as soon as it loses the focus (a click anywhere else), or by its
// "Close" button.
#ifndef DEMO_INFOSCREEN_H
#define DEMO_INFOSCREEN_H

#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>

namespace demo {

class InfoScreen : public QWidget {
    Q_OBJECT

public:
    static constexpr int kShownMilliseconds = 7000;
    static const char* const kWebAddress;

    // A window of its own over `parent`, deleted when it closes. Pressing the
    // web address hands it to `openUrl` (the desktop's browser by default).
    explicit InfoScreen(QWidget* parent = nullptr, std::function<void(const QUrl&)> openUrl = {});

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QTimer timer_;
    std::function<void(const QUrl&)> openUrl_;
    bool wasActive_ = false;
};

}  // namespace demo

#endif
