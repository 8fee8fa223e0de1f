#include "shell/panel_controls.h"

#include <QCursor>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QWidget>
#include <stdexcept>
#include <string>

#include "shell/baked_pictures.h"
#include "shell/control.h"
#include "shell/qt_text.h"
#include "shell/twips.h"

namespace shell {
namespace {

// Every picture is a compiled-in PNG, and the ones a start shows are also baked into ready
// pixels. Otherwise read as PNG and nothing else: a reader left to guess loads and asks each
// installed image plugin (GIF, ICO, JPEG and their libraries) first.
QPixmap ReadPng(const QString& path) {
  if (const BakedPicture* baked = FindBakedPicture(Utf8(path))) {
    return QPixmap::fromImage(
        QImage(baked->pixels, baked->width, baked->height, static_cast<qsizetype>(baked->width) * 4,
               baked->alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32));
  }
  QImageReader reader(path, QByteArrayLiteral("png"));
  reader.setAutoDetectImageFormat(false);
  return QPixmap::fromImage(reader.read());
}

QCursor HandCursor() {
  // The pointing hand's fingertip is its hot spot.
  return QCursor(ReadPng(QStringLiteral(":/hand.png")), 5, 0);
}

// A screen at 200 % gets the @2x drawing through an icon, which picks and scales it; at
// 100 % the drawing is the file itself, decoded once.
QPixmap Picture(const QString& path, qreal ratio) {
  if (ratio <= 1) return ReadPng(path);
  return QIcon(path).pixmap(QImageReader(path).size(), ratio);
}

QRect PixelRect(const ControlRow& entry) {
  return {TwipsToPixels(entry.left), TwipsToPixels(entry.top), TwipsToPixels(entry.width),
          TwipsToPixels(entry.height)};
}

void SetFaces(QWidget* panel, const ControlSet& controls) {
  // The panel's texts are Chinese. Where SimSun is missing, one installed Chinese face serves
  // all three labels, Latin digits included, instead of a Latin face plus a fallback each.
  const QStringList families = {QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
                                QStringLiteral("Noto Sans CJK SC"),
                                QStringLiteral("Droid Sans Fallback")};
  QFont panel_font = panel->font();
  panel_font.setFamilies(families);
  panel->setFont(panel_font);
  QFont price_font = panel_font;
  price_font.setPointSizeF(10.5);
  price_font.setBold(true);
  FindControl(controls, "Price")->setFont(price_font);
  // The headline's line is sized for the design's face. A taller fallback face would clip
  // the underline of the hover look, so the headline's face shrinks until a whole line fits.
  // The panel's own size is tried on its face as loaded already; each smaller size loads the
  // face again at that size.
  Control* news = FindControl(controls, "News");
  QFont news_font = panel_font;
  if (QFontMetrics(panel_font).height() > news->height()) {
    for (int pixels = QFontInfo(panel_font).pixelSize() - 1; pixels > 8; --pixels) {
      news_font.setPixelSize(pixels);
      if (QFontMetrics(news_font).height() <= news->height()) break;
    }
  }
  news->setFont(news_font);
}

}  // namespace

ControlSet CreateControls(QWidget* panel) {
  ControlSet controls{};
  const QCursor hand = HandCursor();
  // Created bottom row first, so that each later control lies above the earlier ones.
  for (size_t i = kControls.size(); i-- > 0;) {
    const ControlRow& entry = kControls[i];
    auto* control = new Control(panel);
    control->setObjectName(Text(entry.name));
    control->setGeometry(PixelRect(entry));
    control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (!entry.picture.empty()) {
      control->setPixmap(Picture(Text(entry.picture), panel->devicePixelRatioF()));
    }
    if (entry.kind == ControlKind::kLabel) {
      control->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      control->setTextFormat(Qt::PlainText);
    }
    control->setCursor(entry.hand_cursor ? hand : QCursor(Qt::ArrowCursor));
    if (!entry.tooltip.empty()) {
      control->setToolTip(Text(entry.tooltip));
      control->setAccessibleName(Text(entry.tooltip));
    }
    control->setVisible(entry.visible);
    controls[i] = control;
  }
  SetFaces(panel, controls);
  // Moves over the drag surface and the news line matter without a button held.
  FindControl(controls, "FormImage")->setMouseTracking(true);
  FindControl(controls, "News")->setMouseTracking(true);
  for (const char* name : {"Price", "PriceType", "News"}) {
    SetTextColor(FindControl(controls, name), ButtonTextColor(*panel));
  }
  return controls;
}

Control* FindControl(const ControlSet& controls, std::string_view name) {
  for (size_t i = 0; i < kControls.size(); ++i) {
    if (kControls[i].name == name) return controls[i];
  }
  throw std::logic_error("no control " + std::string(name));
}

void PlaceControls(const ControlSet& controls) {
  // A fixed size also spares the panel a layout request on every new text: nothing here is
  // laid out by Qt.
  for (size_t i = 0; i < kControls.size(); ++i) {
    const QRect place = PixelRect(kControls[i]);
    controls[i]->setGeometry(place);
    controls[i]->setFixedSize(place.size());
  }
}

QIcon LogoIcon() {
  QIcon icon;
  // Every size added is decoded and handed to the window system at start; a panel and a
  // tray icon never need more than these.
  for (const int size : {16, 22, 24, 32, 48}) {
    icon.addPixmap(ReadPng(QStringLiteral(":/other_logo_%1.png").arg(size)));
  }
  return icon;
}

}  // namespace shell
