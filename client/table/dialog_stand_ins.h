// The windows the table instructions open: the end-of-game dialog and the
// 叫头 prompt, the result and ranking windows, and the settlement's totals.
#pragma once

#include "rules/settlement.h"
#include "shell/dialogs.h"
#include "shell/result_windows.h"
