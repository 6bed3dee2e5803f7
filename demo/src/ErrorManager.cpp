#include "ErrorManager.h"

namespace demo {

void ErrorManager::show(const demo::data::DataError& error) const
{
    if (!error) return;
    host_.messageBox(error.text.toStdString(), error.title.toStdString(), quillnet::MessageIcon::Exclamation,
                     quillnet::MessageButtons::Ok);
}

}  // namespace demo
