#include "evaluation/DroppedMailsDialog.h"
