#include "model/TWItemIcons.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace
{

// Every glyph is drawn in white on a rounded badge in a 32 x 32 space.
constexpr int kLogicalSize = 32;
constexpr qreal kScale = 2.0;

const QColor kAsset(44, 120, 200);
const QColor kLiability(214, 96, 44);
const QColor kIncome(52, 142, 64);
const QColor kExpense(196, 52, 52);
const QColor kEquity(122, 78, 172);
const QColor kClient(0, 134, 122);
const QColor kMerchant(160, 108, 36);
const QColor kReport(62, 82, 178);
const QColor kFilter(80, 108, 140);
const QColor kSearch(100, 108, 120);

void fillPath(QPainter &p, const QPainterPath &path)
{
    p.fillPath(path, Qt::white);
}

void arrowHead(QPainter &p, QPointF tip, qreal angle)
{
    // angle: direction the arrow points, in radians on screen (y down).
    const qreal length = 4.5;
    const qreal spread = 0.6;
    const QPointF a(tip.x() - length * std::cos(angle - spread),
                    tip.y() - length * std::sin(angle - spread));
    const QPointF b(tip.x() - length * std::cos(angle + spread),
                    tip.y() - length * std::sin(angle + spread));
    p.drawLine(tip, a);
    p.drawLine(tip, b);
}

void arrow(QPainter &p, QPointF from, QPointF to)
{
    p.drawLine(from, to);
    arrowHead(p, to, std::atan2(to.y() - from.y(), to.x() - from.x()));
}

void page(QPainter &p, const QRectF &r)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 4, r.top());
    path.lineTo(r.right(), r.top() + 4);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.drawPath(path);
}

void tray(QPainter &p)
{
    const QPointF points[] = {{6, 18}, {6, 25}, {26, 25}, {26, 18}};
    p.drawPolyline(points, 4);
}

void drawReceivable(QPainter &p)
{
    page(p, QRectF(14, 7, 12, 18));
    arrow(p, {4, 16}, {17, 16});
}

void drawPayable(QPainter &p)
{
    page(p, QRectF(6, 7, 12, 18));
    arrow(p, {14, 16}, {27, 16});
}

void drawBank(QPainter &p)
{
    QPainterPath roof;
    roof.moveTo(5, 12);
    roof.lineTo(16, 5);
    roof.lineTo(27, 12);
    roof.closeSubpath();
    fillPath(p, roof);
    for (qreal x : {7.5, 12.0, 17.5, 22.0})
        p.fillRect(QRectF(x, 13.5, 2.5, 8.5), Qt::white);
    p.fillRect(QRectF(5, 23, 22, 3), Qt::white);
}

void drawCash(QPainter &p)
{
    p.drawRoundedRect(QRectF(5, 10, 22, 13), 2, 2);
    p.drawEllipse(QPointF(16, 16.5), 3.5, 3.5);
    QPainterPath dots;
    dots.addEllipse(QPointF(8.5, 13.5), 1.2, 1.2);
    dots.addEllipse(QPointF(23.5, 19.5), 1.2, 1.2);
    fillPath(p, dots);
}

void drawInventory(QPainter &p)
{
    const QPointF top[] = {{16, 5}, {26, 10}, {16, 15}, {6, 10}};
    const QPointF left[] = {{6, 10}, {16, 15}, {16, 27}, {6, 22}};
    const QPointF right[] = {{26, 10}, {16, 15}, {16, 27}, {26, 22}};
    p.drawPolygon(top, 4);
    p.drawPolygon(left, 4);
    p.drawPolygon(right, 4);
}

void drawInvestment(QPainter &p)
{
    p.fillRect(QRectF(7, 20, 4, 6), Qt::white);
    p.fillRect(QRectF(14, 16, 4, 10), Qt::white);
    p.fillRect(QRectF(21, 12, 4, 14), Qt::white);
    arrow(p, {6, 15}, {24, 5});
}

void drawFixedAsset(QPainter &p)
{
    const QPointF roof[] = {{5, 16}, {16, 6}, {27, 16}};
    p.drawPolyline(roof, 3);
    p.drawRect(QRectF(9, 15, 14, 11));
    p.fillRect(QRectF(14, 19, 4, 7), Qt::white);
}

void drawCurrentAsset(QPainter &p, const QColor &badge)
{
    // A pile of three coins, outlined in the badge colour where they overlap.
    p.save();
    p.setPen(QPen(badge, 1.5));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 11), 6, 6);
    p.drawEllipse(QPointF(10.5, 20), 6, 6);
    p.drawEllipse(QPointF(21.5, 20), 6, 6);
    p.restore();
}

void drawCreditCard(QPainter &p)
{
    p.drawRoundedRect(QRectF(5, 9, 22, 15), 2.5, 2.5);
    p.fillRect(QRectF(5, 12.5, 22, 3.5), Qt::white);
    p.fillRect(QRectF(8, 19, 6, 2.5), Qt::white);
}

void drawLoan(QPainter &p)
{
    // A coin inside a returning arrow: money lent comes back.
    QPainterPath coin;
    coin.addEllipse(QPointF(16, 16), 4.5, 4.5);
    fillPath(p, coin);
    const QRectF ring(6, 6, 20, 20);
    QPainterPath arc;
    arc.arcMoveTo(ring, 60);
    arc.arcTo(ring, 60, 270);
    p.drawPath(arc);
    // The arc ends at 330 degrees (counter-clockwise from three o'clock, y up),
    // heading anticlockwise on screen.
    const qreal end = qDegreesToRadians(330.0);
    const QPointF tip(16 + 10 * std::cos(end), 16 - 10 * std::sin(end));
    arrowHead(p, tip, std::atan2(-std::cos(end), -std::sin(end)));
}

void drawTax(QPainter &p)
{
    p.drawEllipse(QPointF(10.5, 10.5), 3, 3);
    p.drawEllipse(QPointF(21.5, 21.5), 3, 3);
    p.drawLine(QPointF(23, 8), QPointF(9, 24));
}

void drawLongTermLiability(QPainter &p)
{
    p.drawRoundedRect(QRectF(6, 8, 20, 18), 2, 2);
    p.fillRect(QRectF(6, 8, 20, 5), Qt::white);
    p.drawLine(QPointF(11, 5.5), QPointF(11, 9));
    p.drawLine(QPointF(21, 5.5), QPointF(21, 9));
    QPainterPath dots;
    for (qreal y : {17.5, 21.5})
        for (qreal x : {11.0, 16.0, 21.0})
            dots.addEllipse(QPointF(x, y), 1.3, 1.3);
    fillPath(p, dots);
}

void drawCurrentLiability(QPainter &p)
{
    const QPointF glass[] = {{10, 7}, {22, 7}, {16, 16}, {22, 25}, {10, 25}, {16, 16}};
    p.drawPolygon(glass, 6);
    p.drawLine(QPointF(8, 6), QPointF(24, 6));
    p.drawLine(QPointF(8, 26), QPointF(24, 26));
    QPainterPath sand;
    sand.moveTo(12.5, 24);
    sand.lineTo(19.5, 24);
    sand.lineTo(16, 19.5);
    sand.closeSubpath();
    fillPath(p, sand);
}

void drawIncome(QPainter &p)
{
    tray(p);
    arrow(p, {16, 5}, {16, 20});
}

void drawExpense(QPainter &p)
{
    tray(p);
    arrow(p, {16, 20}, {16, 5});
}

void drawEquity(QPainter &p)
{
    p.drawEllipse(QPointF(16, 16), 10, 10);
    const QRectF disc(6, 6, 20, 20);
    QPainterPath wedge;
    wedge.moveTo(16, 16);
    wedge.arcTo(disc, 90, -125);
    wedge.closeSubpath();
    fillPath(p, wedge);
}

void drawClient(QPainter &p)
{
    QPainterPath person;
    person.addEllipse(QPointF(16, 11), 5, 5);
    QPainterPath body;
    body.moveTo(6, 27);
    body.arcTo(QRectF(6, 18, 20, 18), 180, -180);
    body.closeSubpath();
    person.addPath(body);
    p.save();
    p.setClipRect(QRectF(0, 0, kLogicalSize, 27));
    fillPath(p, person);
    p.restore();
}

void drawMerchant(QPainter &p)
{
    QPainterPath awning;
    awning.addRect(QRectF(5, 7, 22, 6));
    for (qreal x : {7.75, 13.25, 18.75, 24.25}) {
        QPainterPath scallop;
        scallop.moveTo(x - 2.75, 13);
        scallop.arcTo(QRectF(x - 2.75, 10.25, 5.5, 5.5), 180, 180);
        scallop.closeSubpath();
        awning.addPath(scallop);
    }
    fillPath(p, awning);
    p.drawRect(QRectF(7, 16, 18, 10));
    p.fillRect(QRectF(13.5, 19, 5, 7), Qt::white);
}

void drawReport(QPainter &p)
{
    page(p, QRectF(8, 6, 16, 20));
    p.fillRect(QRectF(11, 17, 2.5, 6), Qt::white);
    p.fillRect(QRectF(14.75, 12, 2.5, 11), Qt::white);
    p.fillRect(QRectF(18.5, 15, 2.5, 8), Qt::white);
}

void drawFilter(QPainter &p)
{
    QPainterPath funnel;
    funnel.moveTo(6, 8);
    funnel.lineTo(26, 8);
    funnel.lineTo(18, 17);
    funnel.lineTo(18, 24);
    funnel.lineTo(14, 27);
    funnel.lineTo(14, 17);
    funnel.closeSubpath();
    fillPath(p, funnel);
}

void drawSearch(QPainter &p)
{
    p.save();
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawEllipse(QPointF(14, 14), 7, 7);
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(19.5, 19.5), QPointF(25.5, 25.5));
    p.restore();
}

struct IconRecipe {
    const char *name;
    QColor colour;
    void (*draw)(QPainter &);
};

// The coin pile needs its badge colour; the other glyphs are white only.
void drawCurrentAssetOnAsset(QPainter &p)
{
    drawCurrentAsset(p, kAsset);
}

const QList<IconRecipe> &recipes()
{
    static const QList<IconRecipe> list = {
        {"AccountsReceivable", kAsset, drawReceivable},
        {"Bank", kAsset, drawBank},
        {"Cash", kAsset, drawCash},
        {"Inventory", kAsset, drawInventory},
        {"Investment", kAsset, drawInvestment},
        {"FixedAsset", kAsset, drawFixedAsset},
        {"CurrentAsset", kAsset, drawCurrentAssetOnAsset},
        {"AccountsPayable", kLiability, drawPayable},
        {"CreditCard", kLiability, drawCreditCard},
        {"Loan", kLiability, drawLoan},
        {"Tax", kLiability, drawTax},
        {"LongTermLiability", kLiability, drawLongTermLiability},
        {"CurrentLiability", kLiability, drawCurrentLiability},
        {"Income", kIncome, drawIncome},
        {"Expense", kExpense, drawExpense},
        {"Equity", kEquity, drawEquity},
        {"Client", kClient, drawClient},
        {"Merchant", kMerchant, drawMerchant},
        {"Report", kReport, drawReport},
        {"Filter", kFilter, drawFilter},
        {"Search", kSearch, drawSearch},
    };
    return list;
}

QImage render(const IconRecipe &recipe)
{
    const int pixels = int(kLogicalSize * kScale);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(kScale, kScale);

        QLinearGradient fill(0, 1, 0, kLogicalSize - 1);
        fill.setColorAt(0, recipe.colour.lighter(118));
        fill.setColorAt(1, recipe.colour.darker(112));
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(1, 1, kLogicalSize - 2, kLogicalSize - 2), 7, 7);

        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        recipe.draw(p);
    }
    image.setDevicePixelRatio(kScale);
    return image;
}

} // namespace

namespace TWItemIcons
{

QImage image(const QString &name)
{
    static QHash<QString, QImage> cache;
    const auto cached = cache.constFind(name);
    if (cached != cache.constEnd())
        return cached.value();
    for (const IconRecipe &recipe : recipes()) {
        if (name == QLatin1String(recipe.name)) {
            const QImage drawn = render(recipe);
            cache.insert(name, drawn);
            return drawn;
        }
    }
    return QImage();
}

QStringList names()
{
    QStringList list;
    for (const IconRecipe &recipe : recipes())
        list.append(QString::fromLatin1(recipe.name));
    return list;
}

} // namespace TWItemIcons
