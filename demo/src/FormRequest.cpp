#include "FormRequest.h"

namespace demo {

void showInvalidRequest(quillnet::HostServices& host, FormRequest request)
{
    const char* text = "This form cannot be used to insert a record";
    if (request == FormRequest::Change) text = "This form cannot be used to update a record";
    if (request == FormRequest::Delete) text = "This form cannot be used to delete a record";
    host.messageBox(text, "Invalid Request", quillnet::MessageIcon::Exclamation,
                    quillnet::MessageButtons::Ok);
}

}  // namespace demo
