#include "evaluation/EvaluationDialog.h"
