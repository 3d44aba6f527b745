#include "evaluation/VariantRetest.h"
