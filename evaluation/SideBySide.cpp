#include "evaluation/SideBySide.h"
