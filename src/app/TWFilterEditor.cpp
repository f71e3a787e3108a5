#include "app/TWFilterEditor.h"

#include "app/TWFilterEditorRow.h"

#include "store/TWBusiness.h"
#include "store/TWTransactionSearch.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QPropertyAnimation>
#include <QTimer>

namespace
{

int fadeDuration = 100;

} // namespace

void TWFilterEditor::setFadeDuration(int milliseconds)
{
    fadeDuration = std::max(0, milliseconds);
}

TWFilterEditor::TWFilterEditor(QWidget *parent) : QWidget(parent)
{
    // Watches the Alt key for the whole application, as the key may change
    // while another widget has the focus.
    qApp->installEventFilter(this);
}

TWFilterEditor::~TWFilterEditor()
{
    qApp->removeEventFilter(this);
}

QSize TWFilterEditor::sizeHint() const
{
    return QSize(500, preferredHeight());
}

void TWFilterEditor::buildFlatCriterion(const TWFilterCriteriaPtr &criterion, qint64 depth,
                                        int guard)
{
    if (!criterion || guard > TWFilterCriteria::kMaxDepth || m_flatCriterion.contains(criterion))
        return;
    criterion->setDepth(depth);
    m_flatCriterion.append(criterion);
    for (const TWFilterCriteriaPtr &child : criterion->childCriteria())
        buildFlatCriterion(child, depth + 1, guard + 1);
}

TWFilterEditorRow *TWFilterEditor::makeRow(const TWFilterCriteriaPtr &criterion)
{
    auto *row = new TWFilterEditorRow(criterion, m_business, this);
    row->setGeometry(0, 0, width(), kRowHeight);
    row->update();
    row->show();
    return row;
}

void TWFilterEditor::update()
{
    m_flatCriterion.clear();
    if (m_criteria)
        buildFlatCriterion(m_criteria, 0, 0);
    for (TWFilterEditorRow *row : std::as_const(m_rows))
        delete row;
    m_rows.clear();
    for (const TWFilterCriteriaPtr &criterion : std::as_const(m_flatCriterion))
        m_rows.append(makeRow(criterion));
    layoutRows();
    updateRowButtons();
    updateGeometry();
    QWidget::update();
}

void TWFilterEditor::layoutRows()
{
    for (int i = 0; i < m_rows.size(); ++i)
        m_rows.at(i)->setGeometry(0, i * kRowHeight, width(), kRowHeight);
}

void TWFilterEditor::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutRows();
}

void TWFilterEditor::updateRowButtons()
{
    int simple = 0;
    for (const TWFilterCriteriaPtr &criterion : std::as_const(m_flatCriterion))
        if (!criterion->isCompound())
            ++simple;
    for (int i = 0; i < m_rows.size(); ++i)
        m_rows.at(i)->updateButtons(i > 0 && simple > 1, this);
}

qsizetype TWFilterEditor::indexOf(const TWFilterCriteriaPtr &criterion) const
{
    for (qsizetype i = 0; i < m_flatCriterion.size(); ++i)
        if (m_flatCriterion.at(i) == criterion)
            return i;
    return -1;
}

TWFilterCriteriaPtr TWFilterEditor::parentCriteria(const TWFilterCriteriaPtr &compound,
                                                   const TWFilterCriteriaPtr &child)
{
    if (!compound)
        return nullptr;
    // Depth-first in child order, without recursion so that a deep or
    // damaged tree cannot exhaust the stack.
    TWFilterCriteriaList pending{compound};
    QList<const TWFilterCriteria *> seen;
    while (!pending.isEmpty()) {
        const TWFilterCriteriaPtr node = pending.takeLast();
        if (seen.contains(node.get()))
            continue;
        seen.append(node.get());
        const TWFilterCriteriaList &children = node->childCriteria();
        for (const TWFilterCriteriaPtr &candidate : children)
            if (candidate == child)
                return node;
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            pending.append(*it);
    }
    return nullptr;
}

TWFilterCriteriaPtr TWFilterEditor::createCompoundCriteria() const
{
    return TWFilterCriteria::filterCriteriaCompound();
}

TWFilterCriteriaPtr TWFilterEditor::createSimpleCriteria() const
{
    if (!m_business)
        return nullptr;
    QList<qint32> fields;
    for (const TWFieldPtr &field : m_business->filterFields())
        if (TWFilterEditorRow::isOfferedField(field->identifier(), field->type()))
            fields.append(field->identifier());
    if (fields.isEmpty())
        return nullptr;
    QHash<qint32, int> uses;
    for (const TWFilterCriteriaPtr &criterion : std::as_const(m_flatCriterion))
        if (!criterion->isCompound())
            ++uses[criterion->fieldIdentifier()];
    qint32 chosen = fields.first();
    int fewest = std::numeric_limits<int>::max();
    for (qint32 field : std::as_const(fields)) {
        const int count = uses.value(field);
        if (count < fewest) {
            fewest = count;
            chosen = field;
        }
    }
    return twCriteriaForField(chosen, *m_business);
}

void TWFilterEditor::doAdd(const TWFilterCriteriaPtr &criterion)
{
    doAdd(criterion, QGuiApplication::keyboardModifiers() & Qt::AltModifier);
}

void TWFilterEditor::doAdd(const TWFilterCriteriaPtr &criterion, bool compound)
{
    qsizetype i = indexOf(criterion);
    if (i < 0)
        return;
    TWFilterCriteriaPtr c = criterion;
    TWFilterCriteriaPtr p = c->isCompound() ? c : parentCriteria(m_criteria, c);
    if (!p)
        return;
    const TWFilterCriteriaPtr simple = createSimpleCriteria();
    if (!simple)
        return;
    QList<TWFilterEditorRow *> added;
    // Puts a new node after `c` among its siblings, or first into `c` when
    // that is a compound, and its row right below c's.
    const auto insert = [&](const TWFilterCriteriaPtr &node) {
        node->setDepth(c->isCompound() ? c->depth() + 1 : c->depth());
        if (c->isCompound()) {
            c->addChildCriteria(node, 0);
        } else {
            const qsizetype position = p->childCriteria().indexOf(c);
            p->addChildCriteria(node, position + 1);
        }
        m_flatCriterion.insert(i + 1, node);
        TWFilterEditorRow *row = makeRow(node);
        row->updateAddButton(m_showingCompoundAdd);
        m_rows.insert(i + 1, row);
        added.append(row);
    };
    if (compound) {
        const TWFilterCriteriaPtr group = createCompoundCriteria();
        insert(group);
        c = group;
        p = group;
        ++i;
    }
    insert(simple);
    layoutRows();
    fadeIn(added);
    updateRowButtons();
    updateGeometry();
    QWidget::update();
    emit action(this);
}

void TWFilterEditor::doDelete(const TWFilterCriteriaPtr &criterion)
{
    const qsizetype i = indexOf(criterion);
    if (i <= 0)
        return;
    TWFilterCriteriaPtr p = parentCriteria(m_criteria, criterion);
    if (!p)
        return;
    // The last rule stays, as its row offers no delete button.
    int simple = 0;
    for (const TWFilterCriteriaPtr &node : std::as_const(m_flatCriterion))
        if (!node->isCompound())
            ++simple;
    if (!criterion->isCompound() && simple <= 1)
        return;
    QList<TWFilterEditorRow *> removed;
    if (!criterion->isCompound()) {
        p->removeChildCriteria(criterion);
        m_flatCriterion.removeAt(i);
        removed.append(m_rows.takeAt(i));
        // Compounds left empty go too; in pre-order each stands right above
        // the entry just removed.
        qsizetype j = i - 1;
        while (p && p != m_criteria && p->childCriteria().isEmpty() && j > 0) {
            const TWFilterCriteriaPtr g = parentCriteria(m_criteria, p);
            if (!g)
                break;
            g->removeChildCriteria(p);
            m_flatCriterion.removeAt(j);
            removed.append(m_rows.takeAt(j));
            --j;
            p = g;
        }
    } else {
        // The compound goes; its children take its place one level up.
        const qsizetype position = p->childCriteria().indexOf(criterion);
        const TWFilterCriteriaList children = criterion->childCriteria();
        const TWFilterCriteriaList subtree = TWFilterCriteria::preOrderCriteria(criterion);
        p->removeChildCriteria(criterion);
        m_flatCriterion.removeAt(i);
        removed.append(m_rows.takeAt(i));
        for (qsizetype k = 0; k < children.size(); ++k)
            p->addChildCriteria(children.at(k), position + k);
        criterion->setChildCriteria({});
        for (const TWFilterCriteriaPtr &node : subtree) {
            if (node == criterion)
                continue;
            node->setDepth(node->depth() - 1);
            const qsizetype at = indexOf(node);
            if (at >= 0)
                m_rows.at(at)->update();
        }
    }
    layoutRows();
    fadeOut(removed);
    updateRowButtons();
    updateGeometry();
    QWidget::update();
    emit action(this);
}

void TWFilterEditor::fadeIn(const QList<TWFilterEditorRow *> &rows)
{
    if (fadeDuration == 0)
        return;
    for (TWFilterEditorRow *row : rows) {
        auto *effect = new QGraphicsOpacityEffect(row);
        effect->setOpacity(0.0);
        row->setGraphicsEffect(effect);
        auto *fade = new QPropertyAnimation(effect, "opacity", row);
        fade->setDuration(fadeDuration);
        fade->setEndValue(1.0);
        connect(fade, &QPropertyAnimation::finished, row,
                [row] { row->setGraphicsEffect(nullptr); });
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    }
}

void TWFilterEditor::fadeOut(const QList<TWFilterEditorRow *> &rows)
{
    // The tree and the row list changed already; the widgets linger only for
    // the fade, out of the way of the rows that stay.
    for (TWFilterEditorRow *row : rows) {
        row->hide();
        if (fadeDuration == 0)
            delete row;
        else
            QTimer::singleShot(fadeDuration, row, [row] { row->deleteLater(); });
    }
}

bool TWFilterEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<QKeyEvent *>(event);
        bool alt = key->modifiers() & Qt::AltModifier;
        if (key->key() == Qt::Key_Alt)
            alt = event->type() == QEvent::KeyPress;
        if (isVisible() && window()->isVisible() && alt != m_showingCompoundAdd) {
            for (TWFilterEditorRow *row : std::as_const(m_rows))
                row->updateAddButton(alt);
            m_showingCompoundAdd = alt;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TWFilterEditor::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    static const QColor background = QColor::fromRgbF(0.9f, 0.9f, 0.9f, 1.0f);
    static const QColor line = QColor::fromRgbF(0.7f, 0.7f, 0.7f, 1.0f);
    painter.fillRect(event->rect(), background);
    // The white line under each grey one stands in for the drawing's shadow.
    const auto stroke = [&](const QLineF &grey) {
        painter.setPen(QPen(Qt::white, 1.0));
        painter.drawLine(grey.translated(0, 1));
        painter.setPen(QPen(line, 1.0));
        painter.drawLine(grey);
    };
    painter.setPen(QPen(line, 1.0));
    painter.drawRect(QRectF(0.5, 0.5, width() - 1.0, height() - 1.0));
    for (int k = 0; k + 1 < m_rows.size(); ++k) {
        const qreal y = kRowHeight * (k + 1) - 0.5;
        stroke(QLineF(1.0, y, width() - 1.0, y));
    }
}

void twFitFilterEditor(TWFilterEditor &editor, QWidget &view)
{
    const int needed = editor.preferredHeight();
    const int delta = needed - editor.height();
    if (delta == 0)
        return;
    editor.setFixedHeight(needed);
    QWidget *window = view.window();
    if (window == &view) {
        view.resize(view.width(), view.height() + delta);
        return;
    }
    QRect frame = window->geometry();
    frame.setHeight(frame.height() + delta);
    if (QLayout *layout = view.layout())
        layout->activate();
    if (QLayout *layout = window->layout())
        layout->activate();
    if (window->geometry() != frame)
        window->setGeometry(frame);
}
