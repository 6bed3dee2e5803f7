// What a record form was asked to do, and the box a form shows for a request
// it cannot serve (it then closes without accepting input).
#ifndef DEMO_FORMREQUEST_H
#define DEMO_FORMREQUEST_H

#include "quillnet/hostservices.h"

namespace demo {

enum class FormRequest { Insert, Change, Delete };

// "Invalid Request" / "This form cannot be used to insert (update, delete) a record".
void showInvalidRequest(quillnet::HostServices& host, FormRequest request);

}  // namespace demo

#endif
