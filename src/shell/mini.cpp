#include "shell/mini.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <string>
#include <utility>

#include "net/counter_visitor.h"
#include "net/endpoints.h"
#include "news/news_ticker.h"
#include "quotes/catalogue.h"
#include "settings/settings_schema.h"
#include "settings/stored_values.h"
#include "shell/control.h"
#include "shell/layout.h"
#include "shell/main_menu.h"
#include "shell/open_url.h"
#include "shell/skin.h"
#include "shell/tray.h"
#include "shell/twips.h"
#include "text/ascii_case.h"
#include "window/lock_and_opacity.h"

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// How long start-up may wait for the server, all its requests together.
constexpr std::chrono::milliseconds kStartupBudget{5000};

QTimer* MakeTimer(QObject* parent, const char* name, int interval_ms) {
  auto* timer = new QTimer(parent);
  timer->setObjectName(QString::fromLatin1(name));
  timer->setInterval(interval_ms);
  return timer;
}

// Every picture is a compiled-in PNG. Read as PNG and nothing else: a reader left to guess
// loads and asks each installed image plugin (GIF, ICO, JPEG and their libraries) first.
QPixmap ReadPng(const QString& path) {
  QImageReader reader(path, QByteArrayLiteral("png"));
  reader.setAutoDetectImageFormat(false);
  return QPixmap::fromImage(reader.read());
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

QRect PixelRect(const shell::ControlRow& entry) {
  return {shell::TwipsToPixels(entry.left), shell::TwipsToPixels(entry.top),
          shell::TwipsToPixels(entry.width), shell::TwipsToPixels(entry.height)};
}

}  // namespace

Mini::Mini(Environment environment, QWidget* parent)
    : QWidget(parent, PanelWindowFlags()), environment_(std::move(environment)) {
  setObjectName(QStringLiteral("Mini"));
  setWindowTitle(Text(shell::kWindowCaption));
  setWindowIcon(LogoIcon());
  CreateControls();
  price_fetch_ = std::make_unique<shell::Fetcher>(this);
  news_fetch_ = std::make_unique<shell::Fetcher>(this);
  update_fetch_ = std::make_unique<shell::Fetcher>(this);

  count_timer_ = MakeTimer(this, "CountTimer", 60000);
  news_timer_ = MakeTimer(this, "NewsTimer", 1000);
  hide_timer_ = MakeTimer(this, "HideTimer", 100);
  price_timer_ = MakeTimer(this, "PriceTimer", 3000);
  // The timers run from creation; their first ticks come once start-up has returned to
  // the event loop.
  QObject::connect(price_timer_, &QTimer::timeout, this, [this] { GetPrice(); });
  QObject::connect(news_timer_, &QTimer::timeout, this, [this] { NewsTick(); });
  QObject::connect(hide_timer_, &QTimer::timeout, this, [this] { HideTick(); });
  QObject::connect(count_timer_, &QTimer::timeout, this, [this] { CountVisit(); });
  for (QTimer* timer : {count_timer_, news_timer_, hide_timer_, price_timer_}) timer->start();
}

Mini::~Mini() = default;

void Mini::CreateControls() {
  const QCursor hand = HandCursor();
  // Created bottom row first, so that each later control lies above the earlier ones.
  for (size_t i = shell::kControls.size(); i-- > 0;) {
    const shell::ControlRow& entry = shell::kControls[i];
    auto* control = new shell::Control(this);
    control->setObjectName(Text(entry.name));
    control->setGeometry(PixelRect(entry));
    control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (!entry.picture.empty())
      control->setPixmap(Picture(Text(entry.picture), devicePixelRatioF()));
    if (entry.kind == shell::ControlKind::kLabel) {
      control->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      control->setTextFormat(Qt::PlainText);
    }
    control->setCursor(entry.hand_cursor ? hand : QCursor(Qt::ArrowCursor));
    if (!entry.tooltip.empty()) {
      control->setToolTip(Text(entry.tooltip));
      control->setAccessibleName(Text(entry.tooltip));
    }
    control->setVisible(entry.visible);
    controls_[i] = control;
  }

  // The panel's texts are Chinese. Where SimSun is missing, one installed Chinese face serves
  // all three labels, Latin digits included, instead of a Latin face plus a fallback each.
  const QStringList families = {QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
                                QStringLiteral("Noto Sans CJK SC"),
                                QStringLiteral("Droid Sans Fallback")};
  QFont panel_font = font();
  panel_font.setFamilies(families);
  setFont(panel_font);
  QFont price_font = panel_font;
  price_font.setPointSizeF(10.5);
  price_font.setBold(true);
  Control("Price")->setFont(price_font);
  // The headline's line is sized for the design's face. A taller fallback face would clip
  // the underline of the hover look, so the headline's face shrinks until a whole line fits.
  shell::Control* news = Control("News");
  QFont news_font = panel_font;
  for (int pixels = QFontInfo(panel_font).pixelSize(); pixels > 8; --pixels) {
    news_font.setPixelSize(pixels);
    if (QFontMetrics(news_font).height() <= news->height()) break;
  }
  news->setFont(news_font);
  // Moves over the drag surface and the news line matter without a button held.
  Control("FormImage")->setMouseTracking(true);
  Control("News")->setMouseTracking(true);

  Control("News")->on_move = [this](QMouseEvent* /*event*/) { NewsHoverOn(); };
  Control("News")->on_click = [this] { NewsClick(); };
  ConnectShortcuts();
  ConnectLockButtons();
  ConnectDragSurface();

  // Hidden until the tray icon or the menu shows it again; timers and icon keep running.
  Control("HideImage")->on_click = [this] { hide(); };

  for (const char* name : {"Price", "PriceType", "News"}) {
    SetLabelColor(Control(name), ButtonTextColor());
  }
}

shell::Control* Mini::Control(std::string_view name) const {
  for (size_t i = 0; i < shell::kControls.size(); ++i) {
    if (shell::kControls[i].name == name) return controls_[i];
  }
  throw std::logic_error("no control " + std::string(name));
}

Main* Mini::Menu() {
  if (!main_) {
    main_ = std::make_unique<Main>();
    ConnectMenu();
  }
  return main_.get();
}

QAction* Mini::MenuItem(std::string_view name) { return Menu()->Item(name); }

void Mini::ConnectMenu() {
  QObject::connect(main_->Item("Menu_Show"), &QAction::triggered, this, [this] { show(); });
  QObject::connect(main_->Item("Menu_Exit"), &QAction::triggered, this, [this] { ExitSystem(); });
  QObject::connect(main_->Item("Menu_About"), &QAction::triggered, this,
                   [this] { OpenPage(endpoints::HomePageUrl(environment_.server_host)); });
  ConnectQuoteMenu();
  ConnectWindowMenu();
  ConnectServicesMenu();
}

QColor Mini::ButtonTextColor() const { return palette().color(QPalette::ButtonText); }

void Mini::SetLabelColor(shell::Control* label, const QColor& color) {
  QPalette label_palette = label->palette();
  label_palette.setColor(QPalette::WindowText, color);
  label->setPalette(label_palette);
}

void Mini::Load() {
  // The update check and the first quote come before the panel shows, but a server that does
  // not answer must not keep it away for long.
  startup_deadline_ = std::chrono::steady_clock::now() + kStartupBudget;
  // Before anything is read: an accepted update ends the program here.
  CheckUpDate(QStringLiteral("0"));
  if (ended_) return;

  ini_.SetIniFile(environment_.settings_file);

  const quotes::StoredProduct product = quotes::ReadStoredProduct(Read("PriceType"));
  if (product.write_default) Write("PriceType", product.code);
  price_type_value_ = QString::fromStdString(product.code);

  refresh_time_value_ = QString::fromStdString(Read("RefreshTime"));

  if (const auto position = settings::ReadStoredPosition(Read("Left"), Read("Top"))) {
    MoveToTwips(position->left, position->top);
  } else {
    // Clear of the screen's edges, where an unlocked panel would dock and hide.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const int width = shell::TwipsToPixels(shell::kPanelWidthTwips);
    MoveToTwips(shell::PixelsToTwips(screen.right() - width - 100),
                shell::PixelsToTwips(screen.top() + 100));
  }

  Install();

  PriceChange(price_type_value_);
  ChangeRefreshTime(refresh_time_value_);

  const std::string lock_state = Read("LockState");
  const std::string transparent = Read("Transparent");
  transparent_value_ = settings::ReadStoredTransparent(transparent);
  Write("Transparent", std::to_string(transparent_value_));
  LockAndUnLock(QString::fromStdString(settings::LockArgument(lock_state)));

  QString auto_run = QString::fromStdString(Read("AutoRun"));
  SetAutoRun(auto_run);

  Tray::AddTrayIcon(this, windowIcon(), Text(shell::kFirstTrayTip),
                    [this](int event) { TrayEvent(event); });

  KeepOnTop();

  CountVisit();

  Skin::AttachIfPresent();

  show();
  raise();
  running_ = true;
}

void Mini::Fetch(shell::Fetcher& fetcher, shell::Fetcher::Work work, shell::Fetcher::Apply apply) {
  if (running_) {
    // A tick that finds the previous fetch of its kind still running does nothing.
    fetcher.Start(std::move(work), std::move(apply));
    return;
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      startup_deadline_ - std::chrono::steady_clock::now());
  if (left <= std::chrono::milliseconds(0)) {
    apply({});
    return;
  }
  Code::HttpLimits limits;
  limits.total_timeout = left;
  limits.connect_timeout = std::min(limits.connect_timeout, left);
  apply(work(limits));
}

bool Mini::FetchesIdle() const {
  return !price_fetch_->Busy() && !news_fetch_->Busy() && !update_fetch_->Busy();
}

void Mini::Install() {
  const std::string selected = text::AsciiLower(price_type_value_.toStdString());
  for (const quotes::Product& product : quotes::kCatalogue) {
    if (selected != product.code) MenuItem(product.menu_item)->setChecked(false);
  }
  for (const window::OpacityChoice& choice : window::kOpacityChoices) {
    if (transparent_value_ != choice.percent) MenuItem(choice.menu_item)->setChecked(false);
  }

  setFixedSize(shell::TwipsToPixels(shell::kPanelWidthTwips),
               shell::TwipsToPixels(shell::kPanelHeightTwips));
  background_ = Control("BackGround")->pixmap();

  for (size_t i = 0; i < shell::kControls.size(); ++i) {
    controls_[i]->setGeometry(PixelRect(shell::kControls[i]));
  }
  for (const char* name :
       {"ICBCImage", "CCBImage", "BOCImage", "OtherImage", "UpImage", "DownImage"}) {
    Control(name)->hide();
  }
  for (const char* name : {"Price", "PriceType", "News"}) {
    Control(name)->setAutoFillBackground(false);
  }
  Control("Price")->setText(Text(shell::kPriceLoadingText));
  Control("News")->setText(Text(news::kNewsLoadingText));
}

std::string Mini::Read(const char* key) const {
  return ini_.GetIniString(std::string(settings::kSection), key);
}

void Mini::Write(const char* key, const std::string& value) const {
  ini_.WriteIniString(std::string(settings::kSection), key, value);
}

void Mini::SavePosition() {
  Write("Left", settings::FormatSingle(static_cast<float>(LeftTwips())));
  Write("Top", settings::FormatSingle(static_cast<float>(TopTwips())));
}

void Mini::ExitSystem() {
  ended_ = true;
  SavePosition();
  Tray::DeleteTrayIcon();
  environment_.end_program();
}

void Mini::OpenPage(const std::string& address) { Code::OpenUrl(address, environment_.open_page); }

void Mini::ConnectShortcuts() {
  const std::vector<std::pair<const char*, std::string>> shortcuts = {
      {"ICBCImage", std::string(endpoints::kIcbcBankUrl)},
      {"CCBImage", std::string(endpoints::kCcbBankUrl)},
      {"BOCImage", std::string(endpoints::kBocBankUrl)},
  };
  for (const auto& [name, address] : shortcuts) {
    Control(name)->on_click = [this, address = address] { OpenPage(address); };
  }
  Control("OtherImage")->on_click = [this] {
    OpenPage(endpoints::HomePageUrl(environment_.server_host));
  };
}

void Mini::TrayEvent(int event) {
  if (event == Tray::kLeftDoubleClick) {
    show();
  } else if (event == Tray::kRightButtonUp) {
    raise();
    activateWindow();
    PopUpMenu(QCursor::pos());
  }
}

void Mini::PopUpMenu(const QPoint& global_position) { Menu()->MenuRoot()->popup(global_position); }

int Mini::LeftTwips() const {
  return x() == shell::TwipsToPixels(left_twips_) ? left_twips_ : shell::PixelsToTwips(x());
}

int Mini::TopTwips() const {
  return y() == shell::TwipsToPixels(top_twips_) ? top_twips_ : shell::PixelsToTwips(y());
}

void Mini::MoveToTwips(int left, int top) {
  left_twips_ = left;
  top_twips_ = top;
  move(shell::TwipsToPixels(left), shell::TwipsToPixels(top));
}

void Mini::paintEvent(QPaintEvent* /*event*/) {
  if (!tray_shown_) {
    // The icon joins the notification area once the first panel is drawn: looking for the
    // area must not hold back the first quote on screen.
    tray_shown_ = true;
    QTimer::singleShot(0, this, [] { Tray::ShowTrayIcon(); });
  }
  if (background_.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, background_);
}

void Mini::closeEvent(QCloseEvent* event) {
  // A close from the window manager or the session would otherwise lose the position
  // and leave a dead icon behind.
  event->ignore();
  ExitSystem();
}
