#include "demo/data/SettingsTable.h"
