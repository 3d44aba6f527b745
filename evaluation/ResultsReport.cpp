#include "evaluation/ResultsReport.h"
