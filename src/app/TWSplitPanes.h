#pragma once
// The divider between two panes of lists, one above the other (the client,
// tasks, invoice and merchant views). Every list keeps its header and three
// rows in view: the divider goes where the document remembers it once the
// split has its real height, moves only as far as a pane needs, and is placed
// again whenever the split's height changes, so a window restored or reopened
// small never leaves a list a row or two.

#include <QList>
#include <QObject>

#include <functional>

class QAbstractItemView;
class QSplitter;
class QWidget;

namespace TWSplitPanes
{

// The rows every list shows at least.
inline constexpr int kListRows = 3;

// The heights of two panes sharing `total` pixels (the handle not counted).
struct Heights {
    int first = 0;
    int second = 0;
    bool operator==(const Heights &) const = default;
};

// The first pane would like `wanted`: it gets that, moved just far enough
// that each pane keeps its minimum. When `total` cannot hold both minimums,
// each pane gets the same part of its minimum (the first takes the rounding).
Heights share(int total, int wanted, int minimumFirst, int minimumSecond);

// The least height of `list` showing its header and `rows` rows, with its
// frame and a horizontal scroll bar's room.
int listHeight(const QAbstractItemView *list, int rows = kListRows);

} // namespace TWSplitPanes

// Keeps the divider of a vertical two-pane splitter by the rule above. The
// stored position is the height of one pane, read and written through
// `load` and `store`; it is written only when the user moves the divider, so
// a position the user chose survives a visit at a smaller window.
class TWSplitDivider final : public QObject
{
    Q_OBJECT
public:
    // The pane whose height the stored position is.
    enum class Measured { First, Second };

    TWSplitDivider(QSplitter *splitter, Measured measured, std::function<double()> load,
                   std::function<void(double)> store);

    // Lists inside the panes that keep their header and three rows; a pane
    // never gets less than its lists and what is laid out around them.
    void keepRows(const QList<QAbstractItemView *> &lists);
    // The least height of either pane whatever its lists need.
    void setFloor(int floor);

    // Places the divider now when the splitter has its real height, else as
    // soon as it is shown with one.
    void restore();
    bool isRestored() const { return m_restored; }

    // Each pane's least height as it is now.
    int minimumHeight(int pane) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateMinimums();
    void place();
    bool laidOut() const;

    QSplitter *m_splitter = nullptr;
    Measured m_measured = Measured::First;
    std::function<double()> m_load;
    std::function<void(double)> m_store;
    QList<QAbstractItemView *> m_lists;
    int m_floor = 0;
    bool m_restored = false;
    bool m_pending = false;
    bool m_placing = false;
};
