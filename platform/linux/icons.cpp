#include "platform/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace brisa {

namespace {

QPixmap DrawIcon(int size, bool inverted) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor sea(22, 112, 160);
    const QColor foam(245, 250, 252);
    const QColor back = inverted ? foam : sea;
    const QColor fore = inverted ? sea : foam;
    const qreal s = size;
    p.setPen(QPen(inverted ? sea : QColor(10, 70, 105), s / 32.0));
    p.setBrush(back);
    p.drawEllipse(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92));
    // A microphone: capsule, stand and foot.
    p.setPen(Qt::NoPen);
    p.setBrush(fore);
    p.drawRoundedRect(QRectF(s * 0.40, s * 0.20, s * 0.20, s * 0.36), s * 0.10, s * 0.10);
    QPen stand(fore, s * 0.06, Qt::SolidLine, Qt::RoundCap);
    p.setPen(stand);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(s * 0.31, s * 0.30, s * 0.38, s * 0.36), 200 * 16, 140 * 16);
    p.drawLine(QPointF(s * 0.5, s * 0.66), QPointF(s * 0.5, s * 0.76));
    p.drawLine(QPointF(s * 0.38, s * 0.78), QPointF(s * 0.62, s * 0.78));
    return pixmap;
}

} // namespace

QIcon ProgramIcon(const std::string& pName) {
    const bool inverted = pName == "ID_INVERTED";
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(DrawIcon(size, inverted));
    return icon;
}

QImage ProgramIconImage(int pSize) { return DrawIcon(pSize, false).toImage(); }

} // namespace brisa
