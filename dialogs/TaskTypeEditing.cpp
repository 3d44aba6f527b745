#include "dialogs/TaskTypeEditing.h"
