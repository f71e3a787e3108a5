#pragma once
// A bar or pie graph of a report described as data: labelled values grouped in
// data sets, the ticks of the vertical axis, and the image it was drawn into.
// Report builders fill these; a renderer draws them; writers read graphImage().

#include <QImage>
#include <QList>
#include <QMetaType>
#include <QSizeF>
#include <QString>

#include <memory>

// One bar, one pie slice or one axis tick.
class TWDataSetValue
{
public:
    TWDataSetValue() = default;
    TWDataSetValue(QString label, double value, QString formattedValue)
        : m_label(std::move(label)), m_value(value), m_formattedValue(std::move(formattedValue))
    {
    }
    static TWDataSetValue dataSetValueWithLabel(const QString &label, double value,
                                                const QString &formattedValue)
    {
        return TWDataSetValue(label, value, formattedValue);
    }

    const QString &label() const { return m_label; }
    void setLabel(const QString &v) { m_label = v; }
    double value() const { return m_value; }
    void setValue(double v) { m_value = v; }
    const QString &formattedValue() const { return m_formattedValue; }
    void setFormattedValue(const QString &v) { m_formattedValue = v; }
    // The value's share of its data set's sum (0 to 1); set when a pie is drawn.
    double percentOfTotal() const { return m_percentOfTotal; }
    void setPercentOfTotal(double v) { m_percentOfTotal = v; }

    // 1 when this value is greater, -1 when smaller, 0 when equal: sorting
    // with it is ascending.
    int compare(const TWDataSetValue &other) const
    {
        return m_value > other.m_value ? 1 : (m_value < other.m_value ? -1 : 0);
    }

private:
    QString m_label;
    double m_value = 0;
    QString m_formattedValue;
    double m_percentOfTotal = 0;
};

using TWDataSetValueList = QList<TWDataSetValue>;

// A bar series (its name is the legend title) or the slices of a pie.
class TWDataSet
{
public:
    TWDataSet() = default;
    TWDataSet(QString name, TWDataSetValueList values)
        : m_name(std::move(name)), m_values(std::move(values))
    {
    }
    static TWDataSet dataSetWithName(const QString &name, const TWDataSetValueList &values)
    {
        return TWDataSet(name, values);
    }

    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    const TWDataSetValueList &values() const { return m_values; }
    TWDataSetValueList &values() { return m_values; }
    void setValues(const TWDataSetValueList &v) { m_values = v; }

private:
    QString m_name;
    TWDataSetValueList m_values;
};

using TWDataSetList = QList<TWDataSet>;

enum TWGraphType : quint32 {
    TWGraphTypeBar = 0,
    TWGraphTypePie = 1,
};

class TWGraph
{
public:
    TWGraph() = default;
    TWGraph(QString name, TWDataSetList dataSets, TWDataSetValueList yAxisValues, quint32 type,
            QSizeF size, double scale)
        : m_name(std::move(name)), m_dataSets(std::move(dataSets)),
          m_yAxisValues(std::move(yAxisValues)), m_type(type), m_size(size), m_scale(scale)
    {
    }
    static std::shared_ptr<TWGraph> graphWithName(const QString &name,
                                                  const TWDataSetList &dataSets,
                                                  const TWDataSetValueList &yAxisValues,
                                                  quint32 type, const QSizeF &size, double scale)
    {
        return std::make_shared<TWGraph>(name, dataSets, yAxisValues, type, size, scale);
    }
    static std::shared_ptr<TWGraph> graphWithName(const QString &name,
                                                  const TWDataSetList &dataSets, quint32 type,
                                                  const QSizeF &size, double scale)
    {
        return graphWithName(name, dataSets, TWDataSetValueList(), type, size, scale);
    }

    // The title; null for none.
    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    // Bar graph: one data set per series; pie graph: the first is drawn.
    const TWDataSetList &dataSets() const { return m_dataSets; }
    TWDataSetList &dataSets() { return m_dataSets; }
    void setDataSets(const TWDataSetList &v) { m_dataSets = v; }
    // The labelled ticks of a bar graph's vertical axis.
    const TWDataSetValueList &yAxisValues() const { return m_yAxisValues; }
    void setYAxisValues(const TWDataSetValueList &v) { m_yAxisValues = v; }
    quint32 type() const { return m_type; }
    void setType(quint32 v) { m_type = v; }
    // In points.
    const QSizeF &size() const { return m_size; }
    void setSize(const QSizeF &v) { m_size = v; }
    // Device pixels per point of the image.
    double scale() const { return m_scale; }
    void setScale(double v) { m_scale = v; }
    // Null until a renderer has drawn the graph.
    const QImage &graphImage() const { return m_graphImage; }
    void setGraphImage(const QImage &v) { m_graphImage = v; }

private:
    QString m_name;
    TWDataSetList m_dataSets;
    TWDataSetValueList m_yAxisValues;
    quint32 m_type = TWGraphTypeBar;
    QSizeF m_size;
    double m_scale = 1.0;
    QImage m_graphImage;
};

using TWGraphPtr = std::shared_ptr<TWGraph>;
Q_DECLARE_METATYPE(TWGraphPtr)
