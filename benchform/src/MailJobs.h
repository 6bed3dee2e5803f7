// How each of the form's two sends fills its WRENPOSTCLASS object from the
// form's values, in the order the object's setters are called.
#ifndef BENCHFORM_MAILJOBS_H
#define BENCHFORM_MAILJOBS_H

#include "BenchValues.h"
#include "quillnet/wrenpostclass.h"

namespace benchform {

// The send with progress: every value of the form. Reply To is set after
// Return Path and so replaces it, also when it is empty.
void fillExtensionMail(quillnet::WRENPOSTCLASS& mail, const BenchValues& values);

// The plain send: Sender Name alone as the sender, Reply To as the return
// path, message type always 6 (plain text); priority, debug file and the
// form's Message Type are not used.
void fillCodeMail(quillnet::WRENPOSTCLASS& mail, const BenchValues& values);

}  // namespace benchform

#endif
