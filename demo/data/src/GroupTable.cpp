#include "demo/data/GroupTable.h"
