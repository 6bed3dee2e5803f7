#include "ErrorManager.h"

namespace demo {

void ErrorManager::show(const demo::data::DataError& error) const
{
    if (!error) return;
    host_.messageBox(error.text.toStdString(), error.title.toStdString(), quillnet::MessageIcon::Exclamation,
                     quillnet::MessageButtons::Ok);
}

bool ErrorManager::isFatal(const demo::data::DataError& error)
{
    return error.kind == demo::data::ErrorKind::FileAccess || error.kind == demo::data::ErrorKind::FileCreation;
}

}  // namespace demo
