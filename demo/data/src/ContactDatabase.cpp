#include "demo/data/ContactDatabase.h"
