// Toolbar glyphs painted with QPainter.
#include "widgets/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace pagora {

namespace {

void drawHandheld(QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(40, 40, 40), 1.2));
  p.setBrush(QColor(90, 100, 120));
  p.drawRoundedRect(r, 2, 2);
  p.setBrush(QColor(170, 210, 170));
  p.drawRect(QRectF(r.left() + r.width() * 0.18, r.top() + r.height() * 0.12, r.width() * 0.64,
                    r.height() * 0.5));
}

void drawTidyPage(QPainter& p, qreal s) {
  // A page whose paragraphs run in long even lines, and a spark for the clean-up.
  p.setPen(QPen(QColor(70, 70, 70), 1.0));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(s * 0.1, s * 0.08, s * 0.64, s * 0.84));
  p.setPen(QPen(QColor(40, 80, 160), s * 0.07, Qt::SolidLine, Qt::FlatCap));
  const qreal rows[] = {0.22, 0.34, 0.5, 0.62, 0.78};
  const qreal starts[] = {0.26, 0.18, 0.26, 0.18, 0.26};
  for (int i = 0; i < 5; ++i)
    p.drawLine(QPointF(s * starts[i], s * rows[i]), QPointF(s * 0.66, s * rows[i]));
  QPainterPath spark;
  const QPointF c(s * 0.78, s * 0.24);
  for (int i = 0; i < 8; ++i) {
    const qreal r = (i % 2 == 0 ? 0.2 : 0.06) * s;
    const qreal a = i * 3.14159265 / 4;
    const QPointF pt(c.x() + r * std::sin(a), c.y() - r * std::cos(a));
    if (i == 0)
      spark.moveTo(pt);
    else
      spark.lineTo(pt);
  }
  spark.closeSubpath();
  p.setPen(QPen(QColor(160, 110, 0), 0.8));
  p.setBrush(QColor(250, 200, 40));
  p.drawPath(spark);
}

void paintGlyph(QPainter& p, Glyph glyph, qreal s) {
  p.setRenderHint(QPainter::Antialiasing);
  switch (glyph) {
    case Glyph::Go: {
      QPainterPath path;
      path.moveTo(s * 0.22, s * 0.12);
      path.lineTo(s * 0.86, s * 0.5);
      path.lineTo(s * 0.22, s * 0.88);
      path.closeSubpath();
      p.setPen(QPen(QColor(20, 90, 20), 1.2));
      p.setBrush(QColor(60, 170, 60));
      p.drawPath(path);
      break;
    }
    case Glyph::PvmPath: {
      p.setPen(QPen(QColor(120, 90, 20), 1.2));
      p.setBrush(QColor(240, 200, 90));
      p.drawRect(QRectF(s * 0.08, s * 0.3, s * 0.84, s * 0.58));
      p.drawRect(QRectF(s * 0.08, s * 0.2, s * 0.36, s * 0.12));
      p.setPen(QPen(QColor(30, 30, 30), 1.6));
      p.drawText(QRectF(0, s * 0.3, s, s * 0.58), Qt::AlignCenter, QStringLiteral("..."));
      break;
    }
    case Glyph::PvManager:
      drawHandheld(p, QRectF(s * 0.25, s * 0.08, s * 0.5, s * 0.84));
      break;
    case Glyph::Settings: {
      p.setPen(QPen(QColor(60, 60, 60), s * 0.12, Qt::SolidLine, Qt::RoundCap));
      for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(s / 2, s / 2);
        p.rotate(i * 45.0);
        p.drawLine(QPointF(0, s * 0.28), QPointF(0, s * 0.42));
        p.restore();
      }
      p.setPen(QPen(QColor(60, 60, 60), 1.2));
      p.setBrush(QColor(150, 150, 160));
      p.drawEllipse(QPointF(s / 2, s / 2), s * 0.28, s * 0.28);
      p.setBrush(Qt::white);
      p.drawEllipse(QPointF(s / 2, s / 2), s * 0.1, s * 0.1);
      break;
    }
    case Glyph::Send: {
      drawHandheld(p, QRectF(s * 0.56, s * 0.12, s * 0.38, s * 0.76));
      QPainterPath arrow;
      arrow.moveTo(s * 0.04, s * 0.4);
      arrow.lineTo(s * 0.3, s * 0.4);
      arrow.lineTo(s * 0.3, s * 0.26);
      arrow.lineTo(s * 0.52, s * 0.5);
      arrow.lineTo(s * 0.3, s * 0.74);
      arrow.lineTo(s * 0.3, s * 0.6);
      arrow.lineTo(s * 0.04, s * 0.6);
      arrow.closeSubpath();
      p.setPen(QPen(QColor(20, 60, 130), 1.0));
      p.setBrush(QColor(60, 120, 210));
      p.drawPath(arrow);
      break;
    }
    case Glyph::About: {
      p.setPen(QPen(QColor(20, 60, 130), 1.2));
      p.setBrush(QColor(80, 140, 220));
      p.drawEllipse(QRectF(s * 0.08, s * 0.08, s * 0.84, s * 0.84));
      QFont font = p.font();
      font.setBold(true);
      font.setPixelSize(static_cast<int>(s * 0.62));
      p.setFont(font);
      p.setPen(Qt::white);
      p.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, QStringLiteral("i"));
      break;
    }
    case Glyph::Tidy:
      drawTidyPage(p, s);
      break;
    case Glyph::Exit: {
      p.setPen(QPen(QColor(120, 40, 20), 1.2));
      p.setBrush(QColor(170, 110, 60));
      p.drawRect(QRectF(s * 0.2, s * 0.08, s * 0.5, s * 0.84));
      p.setBrush(QColor(240, 210, 80));
      p.drawEllipse(QPointF(s * 0.6, s * 0.52), s * 0.05, s * 0.05);
      p.setPen(QPen(QColor(200, 30, 30), s * 0.1, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(s * 0.74, s * 0.5), QPointF(s * 0.94, s * 0.5));
      break;
    }
  }
}

}  // namespace

QIcon glyphIcon(Glyph glyph, int size) {
  QIcon icon;
  for (int scale : {1, 2}) {
    QPixmap pixmap(size * scale, size * scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paintGlyph(painter, glyph, size * scale);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace pagora
