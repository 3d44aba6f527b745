#include "dialogs/ListLines.h"
