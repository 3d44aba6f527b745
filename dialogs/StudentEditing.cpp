#include "dialogs/StudentEditing.h"
