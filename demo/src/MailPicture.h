// The frame's mail picture: an envelope in a box, drawn here. Animated it
// flies to and fro ("~email3l.gif"); still it rests ("~email3ln.gif").
#ifndef DEMO_MAILPICTURE_H
#define DEMO_MAILPICTURE_H

#include <QTimer>
#include <QWidget>

namespace demo {

class MailPicture : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFrames = 12;

    explicit MailPicture(QWidget* parent = nullptr);

    void setAnimated(bool animated);
    bool isAnimated() const { return timer_.isActive(); }
    // The name of the picture shown, as the program has always called it.
    QString pictureName() const;
    int frame() const { return frame_; }

    QSize sizeHint() const override { return {44, 30}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    int frame_ = 0;
};

// Where the picture goes: at the right end of the toolbar, but never over its
// buttons. `closeRight` is the right edge (x plus width) of the toolbar's
// last button.
int pictureX(int closeRight, int frameWidth, int pictureWidth);

}  // namespace demo

#endif
