#pragma once
#include "demo/data/Records.h"

namespace demo::data {

// "first infix last", or with lastNameFirst "last, first infix"; blank parts left out; at most
// 255 characters.
QString displayName(const Person& person, bool lastNameFirst);

}  // namespace demo::data
