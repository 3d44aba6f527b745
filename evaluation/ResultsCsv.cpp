#include "evaluation/ResultsCsv.h"
