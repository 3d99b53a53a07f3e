// The scan's progress line: speed and time left appear only once enough time
// has passed to measure them, never from the first tick.
#include <gtest/gtest.h>

#include "cli/Cli.h"

namespace vx::cli {
namespace {

TEST(ScanProgress, SpeedOnlyOnceMeasurable) {
    struct Case {
        uint64_t done;
        double seconds;
        std::string text;
    } cases[] = {
        {3, 0.000001, "Scanning img   0.7%"},   // the first tick: no absurd speed
        {3, 1.0, "Scanning img   0.7%"},
        {0, 5.0, "Scanning img   0.0%"},
        {200, 4.0, "Scanning img  50.0%  26.2 MB/s  0:04 left"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScanProgressText("Scanning img", c.done, 400, 1u << 19, c.seconds), c.text) << c.seconds;
}

}  // namespace
}  // namespace vx::cli
