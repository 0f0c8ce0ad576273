#include "support/repaintpacer.h"

#include "tests/common/printers.h"
#include "tests/common/wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class PaintCounter : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

struct PacedWindow : ::testing::Test {
    QWidget window;
    PaintCounter *counter = new PaintCounter;

    PacedWindow()
    {
        (new QVBoxLayout(&window))->addWidget(counter);
        new RepaintPacer(&window);
        window.resize(200, 100);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(3 * RepaintPacer::FrameMs);
    }

    // Changes the widget and yields, as a loop over rows does, for about this long.
    int burst(int ms, bool immediate)
    {
        QElapsedTimer clock;
        clock.start();
        int changes = 0;
        while (clock.elapsed() < ms) {
            immediate ? counter->repaint() : counter->update();
            ++changes;
            QCoreApplication::processEvents();
        }
        return changes;
    }
};

TEST_F(PacedWindow, ABurstOfChangesPaintsAboutOnceAFrameAndTheLastChangeIsPainted)
{
    for (const bool immediate : {false, true}) {
        SCOPED_TRACE(immediate ? "repaint()" : "update()");
        counter->paints = 0;
        QElapsedTimer clock;
        clock.start();
        const int changes = burst(200, immediate);
        const qint64 frames = clock.elapsed() / RepaintPacer::FrameMs;
        ASSERT_GT(changes, 4 * frames) << "too slow a machine to tell pacing from painting";
        EXPECT_LE(counter->paints, frames + 2);
        EXPECT_GE(counter->paints, 3) << "the window goes on painting during the burst";

        // The burst is over: what it changed last still reaches the screen.
        const int before = counter->paints;
        counter->update();
        EXPECT_TRUE(WaitUntil([&] { return counter->paints > before; }, 1000));
    }
}

} // namespace
