#include "demo/data/SendJournal.h"
