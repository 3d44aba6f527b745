#include "dialogs/OpeningChecks.h"
