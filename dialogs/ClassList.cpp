#include "dialogs/ClassList.h"
