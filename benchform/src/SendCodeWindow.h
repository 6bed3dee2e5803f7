// SENDCODE: the window "Larkwire Code Template" that sends one mail with part
// of the form's values and shows only whom it goes to.
#ifndef BENCHFORM_SENDCODEWINDOW_H
#define BENCHFORM_SENDCODEWINDOW_H

#include "SendWindow.h"

namespace benchform {

class SendCodeWindow : public SendWindow {
    Q_OBJECT

public:
    SendCodeWindow(const BenchValues& values, quillnet::HostServices& host, QWidget* parent = nullptr);
};

}  // namespace benchform

#endif
