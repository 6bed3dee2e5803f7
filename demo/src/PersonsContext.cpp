#include "PersonsContext.h"

#include <QDialog>

namespace demo {

int PersonsContext::run(QDialog& form) const { return runForm ? runForm(form) : form.exec(); }

}  // namespace demo
