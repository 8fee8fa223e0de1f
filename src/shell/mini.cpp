#include "shell/mini.h"

#include <QCloseEvent>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <chrono>
#include <string>
#include <utility>

#include "net/endpoints.h"
#include "net/socket_owner.h"
#include "news/news_ticker.h"
#include "quotes/catalogue.h"
#include "shell/control.h"
#include "shell/layout.h"
#include "shell/main_menu.h"
#include "shell/open_url.h"
#include "shell/qt_text.h"
#include "shell/skin.h"
#include "shell/tray.h"
#include "shell/twips.h"
#include "text/ascii_case.h"
#include "window/lock_and_opacity.h"

using shell::FindControl;
using shell::Text;

Mini::Mini(Environment environment, QWidget* parent)
    : QWidget(parent, shell::WindowBehaviour::PanelWindowFlags()),
      environment_(std::move(environment)),
      startup_budget_(environment_.now),
      created_at_(environment_.now()),
      controls_(shell::CreateControls(this)),
      tip_(std::string(shell::kFirstTrayTip)),
      quotes_(this,
              {FindControl(controls_, "Price"), FindControl(controls_, "PriceType"),
               FindControl(controls_, "UpImage"), FindControl(controls_, "MidImage"),
               FindControl(controls_, "DownImage"), FindControl(controls_, "ICBCImage"),
               FindControl(controls_, "CCBImage"), FindControl(controls_, "BOCImage"),
               FindControl(controls_, "OtherImage")},
              MenuLookup(), ini_, startup_budget_, environment_.server_host, environment_.now,
              environment_.wall_now, tip_,
              {[this] {
                 alerts_.Selected();
                 details_.Select(shell::Utf8(PriceTypeValue()));
                 chart_.Selected();
               },
               [this](const std::string& code, const std::string& buy) {
                 alerts_.OnQuote(code, buy);
                 details_.OnQuote(code, buy);
                 chart_.OnQuote(code, buy);
               },
               [this] { details_.Tick(); }}),
      details_(environment_.server_host, environment_.now, tip_,
               [this](std::optional<std::int64_t> market_time, std::string no_source_line) {
                 quotes_.SetDetail(market_time, std::move(no_source_line));
               }),
      news_(this, FindControl(controls_, "News"), startup_budget_, environment_.server_host,
            [this](const std::string& address) { OpenPage(address); }),
      window_(
          this,
          {FindControl(controls_, "LockImage"), FindControl(controls_, "UnLockImage"),
           FindControl(controls_, "FormImage")},
          MenuLookup(), ini_,
          // Every move over the drag surface ends the headline's hover look.
          [this] { news_.HoverOff(); }, [this](const QPoint& at) { PopUpMenu(at); }),
      services_(
          {this, [this] { KeepOnTop(); }, [this](const std::string& address) { OpenPage(address); },
           [this] { ExitSystem(); },
           // The time a person takes to answer is not the server's: the steps after the
           // question get the whole budget.
           [this] {
             if (!startup_budget_.StartupOver()) startup_budget_.Begin();
           }},
          environment_, MenuLookup(), ini_, startup_budget_),
      alerts_(
          this, MenuLookup(), ini_, [this] { return PriceTypeValue(); },
          [this](const QString& code) { return GetPriceType(code); }, environment_.notify,
          [this] { return Hidden(); }, tip_),
      chart_(this, environment_.server_host, startup_budget_,
             {[this] { return PriceTypeValue(); },
              [this](const QString& code) { return GetPriceType(code); },
              [this](const std::string& code) {
                const alerts::Levels* levels = alerts_.Book().Find(code);
                return levels ? levels->Values() : std::vector<double>{};
              },
              [this] {
                return std::chrono::duration_cast<std::chrono::seconds>(
                           environment_.wall_now().time_since_epoch())
                    .count();
              }}),
      hiding_(this,
              [this](bool hidden) {
                window_.HoldStill(hidden);
                // Out of sight the icon is the one way back and out: it must be there even when
                // the panel went before it was first drawn.
                if (hidden) ShowTrayIcon();
              }),
      boss_key_(
          this, MenuLookup(), ini_, [this] { ToggleHidden(); },
          [](const QString& text) { Tray::ShowMessage(QStringLiteral("隐藏快捷键"), text); }) {
  setObjectName(QStringLiteral("Mini"));
  setWindowTitle(Text(shell::kWindowCaption));
  setWindowIcon(shell::LogoIcon());
  Control("News")->on_move = [this](QMouseEvent* /*event*/) { NewsHoverOn(); };
  Control("News")->on_click = [this] { NewsClick(); };
  ConnectShortcuts();
  // Hidden until the tray icon or the menu shows it again; timers and icon keep running.
  Control("HideImage")->on_click = [this] { hide(); };
}

Mini::~Mini() = default;

MenuItemLookup Mini::MenuLookup() {
  return [this](std::string_view name) { return MenuItem(name); };
}

Main* Mini::Menu() {
  if (!main_) {
    main_ = std::make_unique<Main>();
    QObject::connect(main_->Item("Menu_Show"), &QAction::triggered, this,
                     [this] { hiding_.Show(); });
    QObject::connect(main_->Item("Menu_Exit"), &QAction::triggered, this, [this] { ExitSystem(); });
    QObject::connect(main_->Item("Menu_About"), &QAction::triggered, this,
                     [this] { OpenPage(endpoints::HomePageUrl(environment_.server_host)); });
    quotes_.ConnectMenu(*main_);
    window_.ConnectMenu(*main_);
    services_.ConnectMenu(*main_);
    alerts_.ConnectMenu(*main_);
    chart_.ConnectMenu(*main_);
    boss_key_.ConnectMenu(*main_);
  }
  return main_.get();
}

QAction* Mini::MenuItem(std::string_view name) { return Menu()->Item(name); }

QColor Mini::ButtonTextColor() const { return shell::ButtonTextColor(*this); }

void Mini::Load() {
  // The update check and the first quote come before the panel shows, but a server that does
  // not answer must not keep it away for long.
  startup_budget_.Begin();
  // Before anything is read: an accepted update ends the program here.
  CheckUpDate(QStringLiteral("0"));
  if (ended_) return;

  ini_.SetIniFile(environment_.settings_file);
  // Each step below stores its value at once; together they make one write of the file.
  ini_.BeginBatch();
  quotes_.ReadStored();
  alerts_.ReadStored();
  window_.PlaceFromSettings();

  Install();

  PriceChange(PriceTypeValue());
  QString refresh_time = RefreshTimeValue();
  ChangeRefreshTime(refresh_time);

  window_.ApplyStoredLockAndOpacity();
  services_.ApplyStoredAutoRun();

  Tray::AddTrayIcon(this, windowIcon(), tip_.Text(), [this](int event) { TrayEvent(event); });

  KeepOnTop();

  Skin::AttachIfPresent();

  ini_.EndBatch();
  show();
  raise();
  startup_budget_.EndStartup();
  StartTimers();
}

void Mini::StartTimers() {
  // The timers count from the panel's creation, but nothing may tick while start-up runs (a
  // question may hold it): each starts when start-up ends, one whose first interval has
  // already passed ticks at once, and the others tick first when their first interval ends.
  const auto waited =
      std::chrono::duration_cast<std::chrono::milliseconds>(environment_.now() - created_at_);
  const std::pair<QTimer*, std::function<void()>> timers[] = {
      {CountTimer(), [this] { CountVisit(); }},
      {NewsTimer(), [this] { NewsTick(); }},
      {HideTimer(), [this] { HideTick(); }},
      {PriceTimer(), [this] { GetPrice(); }},
  };
  for (const auto& [timer, tick] : timers) {
    const int interval = timer->interval();
    const auto first = std::chrono::milliseconds(interval) - waited;
    timer->start();
    if (first <= std::chrono::milliseconds(0)) {
      QTimer::singleShot(0, this, tick);
    } else if (first.count() < interval) {
      // The first tick when the first interval ends, and the whole interval from it on,
      // unless the timer's owner stopped it or chose another interval meanwhile.
      QTimer::singleShot(first, timer, [timer = timer, interval, tick = tick] {
        if (!timer->isActive() || timer->interval() != interval) return;
        timer->start();
        tick();
      });
    }
  }
  // From here on the docking tick rests while it could not move the panel.
  window_.BeginTicking();
}

void Mini::Install() {
  const std::string selected = text::AsciiLower(shell::Utf8(PriceTypeValue()));
  for (const quotes::Product& product : quotes::kCatalogue) {
    if (selected != product.code) MenuItem(product.menu_item)->setChecked(false);
  }
  for (const window::OpacityChoice& choice : window::kOpacityChoices) {
    if (TransparentValue() != choice.percent) MenuItem(choice.menu_item)->setChecked(false);
  }

  setFixedSize(shell::TwipsToPixels(shell::kPanelWidthTwips),
               shell::TwipsToPixels(shell::kPanelHeightTwips));
  background_ = Control("BackGround")->pixmap();

  shell::PlaceControls(controls_);
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

void Mini::ExitSystem() {
  ended_ = true;
  SavePosition();
  // An end during start-up keeps what start-up has stored so far.
  ini_.EndBatch();
  Tray::DeleteTrayIcon();
  environment_.end_program();
}

void Mini::OpenPage(const std::string& address) {
  // Another user's server on the configured address gets no visit from this panel's browser.
  if (address.starts_with(endpoints::HomePageUrl(environment_.server_host)) &&
      Code::LoopbackServerOfAnotherUser(environment_.server_host)) {
    return;
  }
  Code::OpenUrl(address, environment_.open_page);
}

void Mini::ConnectShortcuts() {
  const std::pair<const char*, std::string> shortcuts[] = {
      {"ICBCImage", std::string(endpoints::kIcbcBankUrl)},
      {"CCBImage", std::string(endpoints::kCcbBankUrl)},
      {"BOCImage", std::string(endpoints::kBocBankUrl)},
      {"OtherImage", endpoints::HomePageUrl(environment_.server_host)},
  };
  for (const auto& [name, address] : shortcuts) {
    Control(name)->on_click = [this, address = address] { OpenPage(address); };
  }
}

void Mini::TrayEvent(int event) {
  if (event == Tray::kLeftDoubleClick) {
    hiding_.Show();
  } else if (event == Tray::kRightButtonUp) {
    raise();
    activateWindow();
    PopUpMenu(QCursor::pos());
  }
}

void Mini::PopUpMenu(const QPoint& global_position) { Menu()->MenuRoot()->popup(global_position); }

void Mini::ShowTrayIcon() {
  if (tray_shown_) return;
  tray_shown_ = true;
  QTimer::singleShot(0, this, [this] {
    Tray::ShowTrayIcon();
    // The start's visit is counted on a thread of its own; its thread and connection wait
    // until the first quote is on screen.
    CountVisit();
    details_.Release();
    // Once the icon is there: a chord another program holds is told in it.
    boss_key_.ReadStoredAndGrab();
  });
}

void Mini::paintEvent(QPaintEvent* /*event*/) {
  // The icon joins the notification area once the first panel is drawn, and the quote's
  // detail is asked for then: neither may hold back the first quote on screen.
  ShowTrayIcon();
  if (background_.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, background_);
}

void Mini::hideEvent(QHideEvent* event) {
  // A panel hidden before it was ever drawn still tells its quote's source in the tip.
  if (!tray_shown_) details_.Release();
  QWidget::hideEvent(event);
}

void Mini::closeEvent(QCloseEvent* event) {
  // A close from the window manager or the session would otherwise lose the position
  // and leave a dead icon behind.
  event->ignore();
  ExitSystem();
}
