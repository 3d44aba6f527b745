#include "evaluation/ResultLines.h"
