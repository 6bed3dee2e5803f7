#include "demo/data/PersonsTable.h"
