#include "visits/rx_bitmaps.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>
#include <map>

namespace cn {

namespace {

const QColor kInk(30, 30, 30);
const QColor kBlue(20, 60, 160);

// Lines of text: `starts` and `lengths` per line, in pixels of the 16 x 16 tile.
void lines(QPainter& p, std::initializer_list<std::pair<int, int>> spans, int top = 3, int pitch = 3)
{
    int y = top;
    for (auto [x, w] : spans) {
        p.fillRect(QRect(x, y, w, 1), kInk);
        y += pitch;
    }
}

void letter(QPainter& p, const QString& text, bool bold, bool italic, int underlineY = -1, int strikeY = -1)
{
    QFont f(QStringLiteral("Liberation Serif"));
    f.setPixelSize(14);
    f.setBold(bold);
    f.setItalic(italic);
    p.setFont(f);
    p.setPen(kInk);
    p.drawText(QRect(0, -1, 16, 15), Qt::AlignCenter, text);
    if (underlineY >= 0)
        p.fillRect(QRect(3, underlineY, 10, 1), kInk);
    if (strikeY >= 0)
        p.fillRect(QRect(2, strikeY, 12, 1), QColor(200, 20, 30));
}

void arrow(QPainter& p, QPointF tip, int dx, int dy)
{
    // A filled triangle pointing along (dx, dy).
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(tip.x() - dx * 4 - dy * 3, tip.y() - dy * 4 - dx * 3);
    path.lineTo(tip.x() - dx * 4 + dy * 3, tip.y() - dy * 4 + dx * 3);
    path.closeSubpath();
    p.fillPath(path, kBlue);
}

const std::map<QString, std::function<void(QPainter&)>>& drawings()
{
    static const std::map<QString, std::function<void(QPainter&)>> all = {
        {"CUT",
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.drawLine(QPointF(4, 1), QPointF(10, 10));
             p.drawLine(QPointF(12, 1), QPointF(6, 10));
             p.setPen(QPen(kBlue, 1.5));
             p.drawEllipse(QRectF(2, 10, 4, 4));
             p.drawEllipse(QRectF(10, 10, 4, 4));
         }},
        {"COPY",
         [](QPainter& p) {
             p.setPen(kInk);
             p.setBrush(Qt::white);
             p.drawRect(1, 1, 8, 10);
             p.drawRect(6, 4, 8, 10);
             lines(p, {{8, 5}, {8, 5}, {8, 5}}, 7, 2);
         }},
        {"PASTE",
         [](QPainter& p) {
             p.setPen(kInk);
             p.setBrush(QColor(190, 140, 70));
             p.drawRect(2, 2, 10, 12);
             p.setBrush(QColor(160, 160, 160));
             p.drawRect(5, 1, 4, 2);
             p.setBrush(Qt::white);
             p.drawRect(7, 6, 7, 8);
             lines(p, {{9, 4}, {9, 4}}, 9, 2);
         }},
        {"LEFT", [](QPainter& p) { lines(p, {{2, 12}, {2, 8}, {2, 12}, {2, 8}}); }},
        {"CENTER", [](QPainter& p) { lines(p, {{2, 12}, {4, 8}, {2, 12}, {4, 8}}); }},
        {"RIGHT", [](QPainter& p) { lines(p, {{2, 12}, {6, 8}, {2, 12}, {6, 8}}); }},
        {"NUMBER",
         [](QPainter& p) {
             p.setPen(Qt::NoPen);
             p.setBrush(kBlue);
             for (int y : {3, 8, 13})
                 p.drawEllipse(QRectF(1.5, y - 1.5, 3, 3));
             lines(p, {{6, 9}, {6, 9}, {6, 9}}, 3, 5);
         }},
        {"OFFSET1",
         [](QPainter& p) {
             lines(p, {{2, 12}, {8, 6}, {8, 6}, {2, 12}});
             p.fillRect(QRect(1, 7, 3, 1), kBlue);
             arrow(p, QPointF(7, 7.5), 1, 0);
         }},
        {"OFFSET2",
         [](QPainter& p) {
             lines(p, {{2, 12}, {8, 6}, {8, 6}, {2, 12}});
             p.fillRect(QRect(4, 7, 3, 1), kBlue);
             arrow(p, QPointF(1, 7.5), -1, 0);
         }},
        {"BOLD", [](QPainter& p) { letter(p, QStringLiteral("B"), true, false); }},
        {"ITALIC", [](QPainter& p) { letter(p, QStringLiteral("I"), false, true); }},
        {"UNDER", [](QPainter& p) { letter(p, QStringLiteral("U"), false, false, 14); }},
        {"STRIKE", [](QPainter& p) { letter(p, QStringLiteral("S"), false, false, -1, 7); }},
        {"COLOR",
         [](QPainter& p) {
             QFont f(QStringLiteral("Liberation Sans"));
             f.setPixelSize(12);
             f.setBold(true);
             p.setFont(f);
             p.setPen(kInk);
             p.drawText(QRect(0, -2, 16, 13), Qt::AlignCenter, QStringLiteral("A"));
             p.fillRect(QRect(1, 12, 14, 3), QColor(210, 20, 30));
         }},
        {"ARROWUP",
         [](QPainter& p) {
             p.fillRect(QRect(7, 6, 3, 8), kBlue);
             arrow(p, QPointF(8.5, 1), 0, -1);
         }},
    };
    return all;
}

} // namespace

QIcon rxBitmap(const QString& name)
{
    const auto& all = drawings();
    const auto it = all.find(name);
    if (it == all.end())
        return {};
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    it->second(p);
    p.end();
    return QIcon(pm);
}

} // namespace cn
