#include "ARoundButtonSliderCell.h"
#include <gtest/gtest.h>
TEST(CellPlaceholder, Builds) { SUCCEED(); }
