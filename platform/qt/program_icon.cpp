#include "platform/qt/program_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>

namespace ripwarden::qt_platform {

QImage DrawProgramIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  QRadialGradient disc(s / 2, s / 2, s / 2);
  disc.setColorAt(0.0, QColor(235, 240, 248));
  disc.setColorAt(0.7, QColor(170, 190, 220));
  disc.setColorAt(1.0, QColor(110, 130, 170));
  painter.setPen(QPen(QColor(60, 70, 90), s / 24));
  painter.setBrush(disc);
  painter.drawEllipse(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92));
  painter.setBrush(QColor(200, 60, 40));
  painter.drawEllipse(QRectF(s * 0.32, s * 0.32, s * 0.36, s * 0.36));
  painter.setBrush(QColor(250, 250, 250));
  painter.drawEllipse(QRectF(s * 0.44, s * 0.44, s * 0.12, s * 0.12));
  painter.end();
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(DrawProgramIcon(size)));
  return icon;
}

}  // namespace ripwarden::qt_platform
