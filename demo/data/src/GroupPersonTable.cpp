#include "demo/data/GroupPersonTable.h"
