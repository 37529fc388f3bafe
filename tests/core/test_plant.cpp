#include "core/engine/module.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> steps_from_rest(std::int16_t u, int count) {
    plant_reset();
    std::vector<int> out;
    for (int i = 0; i < count; ++i) out.push_back(plant_step(u));
    return out;
}

TEST(PlantStep, ResponsesFromRest) {
    struct Case {
        std::int16_t u;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {255, {25, 36, 41, 43, 43, 43, 42, 41, 41, 40, 39, 38}},
        {-255, {-25, -36, -41, -43, -43, -43, -42, -41, -41, -40, -39, -38}},
        {100, {10, 14, 16, 16, 17, 16}},
        {0, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.u);
        EXPECT_EQ(steps_from_rest(c.u, static_cast<int>(c.expected.size())), c.expected);
    }
}

TEST(PlantStep, IncrementsUseTheStateBeforeTheStep) {
    plant_reset();
    plant_step(255);
    EXPECT_DOUBLE_EQ(plant.speed, 25.5);
    EXPECT_DOUBLE_EQ(plant.integral, 0.0);  // dI was formed from the old speed 0
    plant_step(255);
    plant_step(255);
    EXPECT_NEAR(plant.speed, 41.4018, 1e-9);
    EXPECT_NEAR(plant.integral, 6.222, 1e-9);
}

TEST(PlantStep, HeldInputDecaysToRest) {
    plant_reset();
    int last = -1;
    for (int i = 0; i < 2000; ++i) last = plant_step(255);
    EXPECT_EQ(last, 0);
    EXPECT_NEAR(plant.integral, 255.0, 1e-6);
}

TEST(PlantReset, ReturnsTheModelToRest) {
    steps_from_rest(255, 50);
    plant_reset();
    EXPECT_EQ(plant_step(0), 0);
    EXPECT_EQ(plant.dt, 0.1);
    EXPECT_EQ(plant.damping, 5.6);
    EXPECT_EQ(plant.inputGain, 1.0);
}

}  // namespace
