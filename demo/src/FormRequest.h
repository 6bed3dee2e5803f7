// What a record form is asked to do and how it ended: the caller reads the
// outcome after the form has closed, whatever the form showed in between.
#ifndef DEMO_FORMREQUEST_H
#define DEMO_FORMREQUEST_H

namespace demo {

enum class FormRequest { Insert, Change, Delete };
enum class FormOutcome { Completed, Cancelled };

}  // namespace demo

#endif
