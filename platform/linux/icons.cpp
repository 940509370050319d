#include "platform/icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>

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

// Draws the icon at the size asked for, when it is asked for: a program
// that never shows its icon (no tray, no window decoration) draws nothing.
class ProgramIconEngine : public QIconEngine {
public:
    explicit ProgramIconEngine(bool pInverted) : m_Inverted(pInverted) {}

    void paint(QPainter* pPainter, const QRect& pRect, QIcon::Mode pMode, QIcon::State pState) override {
        const int side = std::min(pRect.width(), pRect.height());
        if (side <= 0) return;
        const QPixmap picture = pixmap(QSize(side, side), pMode, pState);
        pPainter->drawPixmap(QRect(pRect.x() + (pRect.width() - side) / 2,
                                   pRect.y() + (pRect.height() - side) / 2, side, side),
                             picture);
    }

    QPixmap pixmap(const QSize& pSize, QIcon::Mode pMode, QIcon::State) override {
        const int side = std::min(pSize.width(), pSize.height());
        if (side <= 0) return {};
        QPixmap picture;
        const QString key = QStringLiteral("brisa-icon-%1-%2").arg(m_Inverted).arg(side);
        if (!QPixmapCache::find(key, &picture)) {
            picture = DrawIcon(side, m_Inverted);
            QPixmapCache::insert(key, picture);
        }
        if (pMode != QIcon::Normal && qobject_cast<QApplication*>(QCoreApplication::instance())) {
            QStyleOption option;
            option.palette = QApplication::palette();
            return QApplication::style()->generatedIconPixmap(pMode, picture, &option);
        }
        return picture;
    }

    QSize actualSize(const QSize& pSize, QIcon::Mode, QIcon::State) override {
        const int side = std::min(pSize.width(), pSize.height());
        return QSize(side, side);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (int size : kSizes) sizes.append(QSize(size, size));
        return sizes;
    }

    QIconEngine* clone() const override { return new ProgramIconEngine(m_Inverted); }
    QString key() const override { return QStringLiteral("brisa-program-icon"); }

private:
    static constexpr int kSizes[] = {16, 22, 24, 32, 48, 64};
    bool m_Inverted;
};

} // namespace

QIcon ProgramIcon(const std::string& pName) {
    return QIcon(new ProgramIconEngine(pName == "ID_INVERTED"));
}

QImage ProgramIconImage(int pSize) { return DrawIcon(pSize, false).toImage(); }

} // namespace brisa
