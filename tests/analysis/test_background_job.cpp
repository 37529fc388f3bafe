// The panel's background job: its posts come in order on the window's
// thread, and a lengthy job's threads (and the runner's workers they start)
// run below the window's priority. Cancelling is the map's test.
#include "analysis/work/background_job.h"
#include "core/batch/chunk_runner.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

int nice_here() { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())); }

}  // namespace

TEST(BackgroundJob, PostsInOrderAndALengthyJobRunsBelowTheWindow) {
    const int window = nice_here();
    for (const bool lengthy : {false, true}) {
        SCOPED_TRACE(lengthy ? "lengthy" : "short");
        BackgroundJob job;
        std::vector<int> taken, nices;
        std::string ended = "not yet";
        job.start(
            [&](BackgroundJob::Context& context) {
                const int mine = nice_here();
                run_in_order<int>(
                    40, 2, [](int, std::uint64_t, int& out) { out = nice_here(); },
                    [&](std::uint64_t c, const int& nice) {
                        context.post([&taken, &nices, c, nice, mine] {
                            taken.push_back(static_cast<int>(c));
                            nices.push_back(nice);
                            nices.push_back(mine);
                        });
                    },
                    context.stop());
            },
            lengthy, [&](const std::string& failure) { ended = failure; });
        QElapsedTimer clock;
        clock.start();
        while (job.running() && clock.elapsed() < 10000) QTest::qWait(1);
        EXPECT_EQ("", ended);
        ASSERT_EQ(40u, taken.size());
        for (int c = 0; c < 40; ++c) EXPECT_EQ(c, taken[static_cast<std::size_t>(c)]);
        for (const int nice : nices) EXPECT_EQ(lengthy ? std::min(19, window + 10) : window, nice);
        EXPECT_EQ(window, nice_here());
    }
}
