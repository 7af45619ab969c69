#include "ARoundButtonSlider.h"
#include <gtest/gtest.h>
TEST(SliderPlaceholder, Builds) { SUCCEED(); }
