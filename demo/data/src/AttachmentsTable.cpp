#include "demo/data/AttachmentsTable.h"
