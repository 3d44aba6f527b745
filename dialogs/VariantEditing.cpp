#include "dialogs/VariantEditing.h"
