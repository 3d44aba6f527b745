#include "evaluation/Browser.h"
