#include "dialogs/TeacherEditing.h"
