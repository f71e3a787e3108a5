#pragma once
// Edits one tree of filter criteria as a list of 25-pixel rule rows, one per
// node in pre-order, each indented by its depth. The editor changes the given
// tree in place: adding or deleting a row adds or removes the node. After
// every add and delete it emits `action`, on which the owner resizes it to
// rows x 25 + 1 pixels. Holding Alt turns the add buttons into compound adds.

#include "model/TWFilterCriteria.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class TWBusiness;
class TWFilterEditorRow;

class TWFilterEditor final : public QWidget
{
    Q_OBJECT
public:
    explicit TWFilterEditor(QWidget *parent = nullptr);
    ~TWFilterEditor() override;

    TWBusiness *business() const { return m_business; }
    void setBusiness(TWBusiness *business) { m_business = business; }
    const TWFilterCriteriaPtr &criteria() const { return m_criteria; }
    void setCriteria(const TWFilterCriteriaPtr &criteria) { m_criteria = criteria; }
    const QList<TWFilterEditorRow *> &rows() const { return m_rows; }
    const TWFilterCriteriaList &flatCriterion() const { return m_flatCriterion; }

    // Rebuilds the rows from the tree.
    void update();
    int numberOfRows() const { return int(m_rows.size()); }
    static constexpr int kRowHeight = 25;
    // The height the owner gives the editor.
    int preferredHeight() const { return numberOfRows() * kRowHeight + 1; }

    // The add of a row: with `compound` (Alt held) a new compound goes in
    // first, holding the new rule.
    void doAdd(const TWFilterCriteriaPtr &criterion);
    void doAdd(const TWFilterCriteriaPtr &criterion, bool compound);
    void doDelete(const TWFilterCriteriaPtr &criterion);
    void updateRowButtons();

    // The compound holding `child` in the tree below `compound`; null when none.
    static TWFilterCriteriaPtr parentCriteria(const TWFilterCriteriaPtr &compound,
                                              const TWFilterCriteriaPtr &child);
    TWFilterCriteriaPtr createCompoundCriteria() const;
    // A rule on the field used least so far (the first by name among equals).
    TWFilterCriteriaPtr createSimpleCriteria() const;

    bool showingCompoundAdd() const { return m_showingCompoundAdd; }
    // The fade of added and removed rows, in milliseconds (cosmetic; tests
    // use 0).
    static void setFadeDuration(int milliseconds);

    QSize sizeHint() const override;

signals:
    void action(TWFilterEditor *editor);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildFlatCriterion(const TWFilterCriteriaPtr &criterion, qint64 depth, int guard);
    TWFilterEditorRow *makeRow(const TWFilterCriteriaPtr &criterion);
    void layoutRows();
    void fadeIn(const QList<TWFilterEditorRow *> &rows);
    void fadeOut(const QList<TWFilterEditorRow *> &rows);
    qsizetype indexOf(const TWFilterCriteriaPtr &criterion) const;

    TWBusiness *m_business = nullptr;
    TWFilterCriteriaPtr m_criteria;
    TWFilterCriteriaList m_flatCriterion;
    QList<TWFilterEditorRow *> m_rows;
    bool m_showingCompoundAdd = false;
};

// Gives the editor the height of its rows and grows or shrinks the window
// holding `view` by the same amount, its top edge kept where it is (a sheet
// or popover that fits its content follows once its layouts are redone).
void twFitFilterEditor(TWFilterEditor &editor, QWidget &view);
