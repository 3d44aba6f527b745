#include "evaluation/ResultsTable.h"
