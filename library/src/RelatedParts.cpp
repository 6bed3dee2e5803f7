// Stub: the HTML text stays as it is until the scanner lands.
#include "MailPart.h"

void CMailPart::GetRelatedParts() {}
