#include "app/resources.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace cn {

namespace {

QPixmap iconPixmap(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // A white tile with a blue rim carrying a red cross: a note for a clinic.
    p.setPen(QPen(QColor(20, 60, 160), s / 16));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(s / 32, s / 32, s - s / 16, s - s / 16), s / 6, s / 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 20, 30));
    const qreal arm = s * 0.22, len = s * 0.62;
    p.drawRect(QRectF((s - arm) / 2, (s - len) / 2, arm, len));
    p.drawRect(QRectF((s - len) / 2, (s - arm) / 2, len, arm));
    return pm;
}

} // namespace

QIcon ICON01()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(iconPixmap(size));
    return icon;
}

namespace {

QIcon downArrow(const QColor& colour)
{
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({QPointF(1, 3), QPointF(11, 3), QPointF(6, 10)}));
    return QIcon(pm);
}

} // namespace

QIcon ARROWDN1() { return downArrow(QColor(150, 150, 150)); }
QIcon ARROWDN2() { return downArrow(Qt::black); }

QPixmap PICT01()
{
    const int w = 400, h = 300;
    QPixmap pm(w, h);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Blue and white field: a deep blue sky fading to white, crossed by a
    // white band behind the name.
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0.0, QColor(10, 40, 140));
    sky.setColorAt(0.55, QColor(70, 130, 220));
    sky.setColorAt(1.0, Qt::white);
    p.fillRect(pm.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 215));
    p.drawRect(QRectF(0, 95, w, 100));
    p.setBrush(QColor(10, 40, 140));
    p.drawRect(QRectF(0, 95, w, 4));
    p.drawRect(QRectF(0, 191, w, 4));

    // The product name in large red letters with a thin dark outline.
    QFont big(QStringLiteral("Arial"), 48, QFont::Bold);
    big.setPixelSize(62);
    QPainterPath name;
    const QString text = QStringLiteral("Curanote");
    const QFontMetricsF fm(big);
    const qreal tw = fm.horizontalAdvance(text);
    name.addText((w - tw) / 2, 145 + fm.ascent() / 2 - 4, big, text);
    p.setPen(QPen(QColor(90, 0, 0), 1.5));
    p.setBrush(QColor(215, 20, 25));
    p.drawPath(name);

    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(14);
    small.setBold(true);
    p.setFont(small);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 60, w, 24), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("Version 1.0"));

    QFont wait(QStringLiteral("Arial"));
    wait.setPixelSize(16);
    wait.setItalic(true);
    wait.setBold(true);
    p.setFont(wait);
    p.setPen(QColor(10, 40, 140));
    p.drawText(QRectF(0, 0, w - 14, h - 10), Qt::AlignRight | Qt::AlignBottom, QStringLiteral("Please Wait"));

    p.setPen(QPen(QColor(10, 40, 140), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, w - 2, h - 2));
    return pm;
}

} // namespace cn
