#include "evaluation/DroppedMails.h"
