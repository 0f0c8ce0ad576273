#pragma once

#include <QElapsedTimer>
#include <QTreeWidget>

// The tree behind a results list. A tree view lays out all its rows again after any row is
// added, at its next turn of the event loop; a reading run adds a row per message and yields
// after each one, so a big folder's run would spend most of its time laying out the same rows.
// Layouts owed only to appended rows are paced to one a frame. Anything else (rows removed,
// sorted, reset) and every layout that painting or a geometry query needs happens at once.
class ResultsView : public QTreeWidget {
public:
    static constexpr int FrameMs = 16;

    explicit ResultsView(QWidget *parent = nullptr);

    void doItemsLayout() override;

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void noteRowsAppended(const QModelIndex &parent, int last);

    QElapsedTimer m_sinceLayout;
    bool m_onlyAppended = false; // since the last layout, rows were only added at the end
    bool m_inTimerEvent = false;
};
