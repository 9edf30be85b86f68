// Auto-play: the default move and the unattended move with its evaluator.
#include "autoplay/autoplay.h"

#include <gtest/gtest.h>

#include "input/play_table.h"
