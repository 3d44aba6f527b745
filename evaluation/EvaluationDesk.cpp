#include "evaluation/EvaluationDesk.h"
