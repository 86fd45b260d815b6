#include "values/Sources.h"

ValueSources g_ValueSources;
