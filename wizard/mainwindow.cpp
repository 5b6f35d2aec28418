#include "wizard/mainwindow.h"

#include "engine/conversionrun.h"
#include "engine/core/errors.h"
#include "wizard/captions.h"
#include "wizard/controls.h"
#include "wizard/windowprompts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QWindow>
#include <QTimer>
#include <QTranslator>

#include <stdexcept>

// The frame of the main window: the step panel, the page set, the button bar
// and the text holders; start and end; the navigation between the pages; the
// settings controls as one set of values; the error box. Each page's
// controls, its part of the values and its step live in wizard/pages/.

namespace tavrex {

using namespace controls;

namespace {

constexpr int kClientWidth = 594;
constexpr int kClientHeight = 425;
constexpr int kStepPanelWidth = 177;
constexpr int kButtonBarHeight = 41;
constexpr int kLogoHeight = 47;

// The logo at the foot of the step panel: a picture that acts as a second
// "Help" button. It is no label, so the caption walk leaves it alone.
class LogoImage : public QWidget {
public:
    LogoImage(QWidget *parent, std::function<void()> onClick) : QWidget(parent), onClick_(std::move(onClick))
    {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient fill(0, 0, width(), 0);
        fill.setColorAt(0, QColor(0x1f, 0x4e, 0x79));
        fill.setColorAt(1, QColor(0x2e, 0x86, 0x8c));
        p.fillRect(rect(), fill);
        // Two overlapping cylinders: a table moving from one database to another.
        const auto drum = [&p](int x, int y, QColor colour) {
            p.setPen(QPen(Qt::white, 1.5));
            p.setBrush(colour);
            p.drawRect(x, y + 4, 18, 18);
            p.drawEllipse(x, y + 18, 18, 8);
            p.drawEllipse(x, y, 18, 8);
        };
        drum(12, 9, QColor(0xf0, 0x9a, 0x2b));
        drum(28, 13, QColor(0xc0, 0x39, 0x2b));
        QFont f = font();
        f.setBold(true);
        f.setPointSize(12);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRect(56, 0, width() - 60, height()), Qt::AlignVCenter | Qt::AlignLeft, applicationTitle());
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick_)
            onClick_();
    }

private:
    std::function<void()> onClick_;
};

} // namespace

QString applicationTitle() { return QStringLiteral("Tavrex 4.0"); }

StartArguments parseStartArguments(const QStringList &arguments)
{
    StartArguments out;
    const QString option = QStringLiteral("--language");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        QString code;
        if (a == option) {
            if (i + 1 >= arguments.size()) {
                out.error = QStringLiteral("--language needs a language: en or cn");
                continue;
            }
            code = arguments.at(++i);
        } else if (a.startsWith(option + QLatin1Char('='))) {
            code = a.mid(option.size() + 1);
        } else if (a == QLatin1String("--resume")) {
            out.resume = true;
            continue;
        } else {
            out.arguments.append(a);
            continue;
        }
        if (isLanguageCode(code))
            out.language = code;
        else
            out.error = QStringLiteral("--language %1: the language is en or cn").arg(code);
    }
    return out;
}

// The title goes into the application's name, not its display name, which
// the window system would append to every other window's title ("Info").
void setApplicationTitle() { QCoreApplication::setApplicationName(applicationTitle()); }

Taaform1::Taaform1(WindowOptions options) : QWidget(nullptr), options_(std::move(options))
{
    setObjectName(QStringLiteral("Taaform1"));
    if (options_.prompts) {
        prompts_ = options_.prompts;
    } else {
        ownPrompts_ = std::make_unique<WindowPrompts>(this);
        prompts_ = ownPrompts_.get();
    }
    if (options_.helpFolder.isEmpty())
        options_.helpFolder = QCoreApplication::applicationDirPath() + QStringLiteral("/help");
    english_ = englishTable(options_.helpFolder);
    chn_ = chnTable(options_.helpFolder);
    start_ = parseStartArguments(options_.arguments);
    options_.arguments = start_.arguments;
    qtTranslator_ = new QTranslator(this);

    control_.setPump([] { QCoreApplication::processEvents(); });
    control_.setResponsivePump([] { QCoreApplication::processEvents(); });
    log_.setObserver([this](TRunLog::Change change, const QString &line) { mirrorLog(change, line); });

    buildWindow();
    connectControls();
    FormCreate();
}

Taaform1::~Taaform1()
{
    FormDestroy();
}

// ---------------------------------------------------------------------------
// The window's frame. Sizes and places of the frame are the designed ones;
// the pages are laid out inside the 415 x 372 page set.

WindowPlacement placeWindow(QSize design, QRect available, QMargins frame, int scrollBar)
{
    WindowPlacement out;
    const QSize room(std::max(1, available.width() - frame.left() - frame.right()),
                     std::max(1, available.height() - frame.top() - frame.bottom()));
    // A body that scrolls one way takes that way's scroll bar beside it, so
    // it need not scroll the other way too.
    QSize wanted = design;
    if (design.height() > room.height())
        wanted.rwidth() += scrollBar;
    if (design.width() > room.width())
        wanted.rheight() += scrollBar;
    out.client = wanted.boundedTo(room);
    const QSize outer = out.client.grownBy(frame);
    // Centred in the available area; a window as large as the area starts
    // at its top left, never above or left of it.
    out.topLeft = available.topLeft() + QPoint(std::max(0, (available.width() - outer.width()) / 2),
                                               std::max(0, (available.height() - outer.height()) / 2));
    return out;
}

void Taaform1::buildWindow()
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    // The designed client area is one fixed-size body in a scroll area: on a
    // screen that holds it the area is exactly its size and shows no bar; on
    // a smaller one (or at a larger scale) the window takes what the screen
    // has and the body scrolls, the button bar staying in view (fitToScreen).
    clientarea_ = named(new QScrollArea(this), "clientarea");
    clientarea_->setFrameShape(QFrame::NoFrame);
    clientarea_->setWidgetResizable(false);
    clientarea_->setBackgroundRole(QPalette::Window);
    body_ = named(new QWidget, "client");
    body_->setFixedSize(kClientWidth, kClientHeight);
    clientarea_->setWidget(body_);

    buildStepPanel();

    // The page set: a stacked widget has no tab strip, so the pages change
    // only through the buttons.
    pg = named(new QStackedWidget(body_), "pg");
    pg->setGeometry(kStepPanelWidth + 2, 4, kClientWidth - kStepPanelWidth - 2, 372);
    const char *sheetNames[] = {"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4", "TabSheet5", "TabSheet6"};
    QWidget *sheets[6];
    for (int i = 0; i < 6; ++i) {
        sheets[i] = named(new QWidget, sheetNames[i]);
        pg->addWidget(sheets[i]);
    }
    buildPage1(sheets[0]);
    buildPage2(sheets[1]);
    buildPage3(sheets[2]);
    buildPage4(sheets[3]);
    buildPage5(sheets[4]);
    buildPage6(sheets[5]);
    buildTextHolders();

    // The button bar belongs to the window, over the body's foot: it stays
    // in view when the body scrolls.
    Panel3 = named(new QWidget(this), "Panel3");
    Panel3->setAutoFillBackground(true);
    btback = button(Panel3, "btback", QStringLiteral("< Back"), QRect(90, 8, 75, 25));
    btnext = button(Panel3, "btnext", QStringLiteral("Next >"), QRect(168, 8, 75, 25));
    btcancel = button(Panel3, "btcancel", QStringLiteral("Close"), QRect(255, 8, 75, 25));
    bthelp = button(Panel3, "bthelp", QStringLiteral("Help"), QRect(332, 8, 75, 25));
    // Drawn as the default button: Return presses it (keyPressEvent).
    btnext->setDefault(true);

    timer1_ = named(new QTimer(this), "Timer1");
    timer1_->setInterval(1000);
    fitToScreen(QMargins());
}

void Taaform1::fitToScreen(QMargins frame)
{
    const QScreen *screen = windowHandle() && windowHandle()->screen() ? windowHandle()->screen()
                                                                      : QGuiApplication::primaryScreen();
    const QSize design(kClientWidth, kClientHeight);
    WindowPlacement place{design, pos()};
    if (screen && !options_.headless)
        place = placeWindow(design, screen->availableGeometry(), frame,
                            style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, clientarea_));
    const QSize client = place.client;
    setFixedSize(client);
    const int barWidth = kClientWidth - kStepPanelWidth;
    if (client.width() >= design.width() && client.height() >= design.height()) {
        // The designed look: the bar beside the logo, under the pages.
        clientarea_->setGeometry(0, 0, client.width(), client.height());
        Panel3->setGeometry(kStepPanelWidth, kClientHeight - kButtonBarHeight, barWidth, kButtonBarHeight);
    } else {
        // The body scrolls above the bar, which keeps its buttons at the
        // right, as far as the width allows.
        clientarea_->setGeometry(0, 0, client.width(), std::max(0, client.height() - kButtonBarHeight));
        Panel3->setGeometry(std::max(0, client.width() - barWidth), client.height() - kButtonBarHeight,
                            std::min(barWidth, client.width()), kButtonBarHeight);
    }
    Panel3->raise();
    if (screen && !options_.headless)
        move(place.topLeft);
}

void Taaform1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The frame the window manager gives is known once the window is shown:
    // fit again with it, and whenever the window moves to another screen.
    if (!screenWatched_ && windowHandle()) {
        screenWatched_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { refitToScreen(); });
    }
    QTimer::singleShot(0, this, [this] { refitToScreen(); });
    QTimer::singleShot(300, this, [this] { refitToScreen(); });
}

void Taaform1::refitToScreen()
{
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    if (frame != lastFrame_ || !fitted_) {
        lastFrame_ = frame;
        fitted_ = true;
        fitToScreen(frame);
    }
}

void Taaform1::buildStepPanel()
{
    Panel1 = named(new QWidget(body_), "Panel1");
    Panel1->setGeometry(0, 0, kStepPanelWidth, kClientHeight);
    Panel1->setAutoFillBackground(true);
    QPalette panel = Panel1->palette();
    panel.setColor(QPalette::Window, QColor(0xe8, 0xee, 0xf4));
    Panel1->setPalette(panel);
    const char *names[] = {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"};
    // As wide as the panel allows and as high as a line of the bold caption
    // of the page in view.
    for (int i = 0; i < 6; ++i)
        stepLabels_[i] = label(Panel1, names[i], 13, 22 + 40 * i, kStepPanelWidth - 17, 17);
    Image1 = named(new LogoImage(Panel1, [this] { guarded([this] { Image1Click(); }); }), "Image1");
    Image1->setGeometry(0, kClientHeight - kLogoHeight, kStepPanelWidth, kLogoHeight);
}

void Taaform1::buildTextHolders()
{
    // Never shown: its labels hold the texts of the current language that
    // the run's closing lines, "Help" and the close question read.
    TabSheet7 = named(new QWidget(body_), "TabSheet7");
    TabSheet7->hide();
    Label29 = label(TabSheet7, "Label29", 0, 0, 10, 10);
    Label30 = label(TabSheet7, "Label30", 0, 0, 10, 10);
    Label32 = label(TabSheet7, "Label32", 0, 0, 10, 10);
    helpurl = label(TabSheet7, "helpurl", 0, 0, 10, 10);
    queryclose = label(TabSheet7, "queryclose", 0, 0, 10, 10);
    helpmissing = label(TabSheet7, "helpmissing", 0, 0, 10, 10);
}

void Taaform1::connectControls()
{
    connect(pg, &QStackedWidget::currentChanged, this, [this](int index) { markStep(index + 1); });
    connect(btnext, &QPushButton::clicked, this, [this] { guarded([this] { btnextClick(); }); });
    connect(btback, &QPushButton::clicked, this, [this] { guarded([this] { btbackClick(); }); });
    connect(btcancel, &QPushButton::clicked, this, [this] { guarded([this] { btcancelClick(); }); });
    connect(bthelp, &QPushButton::clicked, this, [this] { guarded([this] { bthelpClick(); }); });
    connect(timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

// ---------------------------------------------------------------------------
// Start and end.

void Taaform1::FormCreate()
{
    EnsureLogFolder();
    batchMode_ = !options_.arguments.isEmpty();
    languageCode_ = languageChinese();
    ApplyLanguage();
    // A --language that cannot be used is shown; the language stays as it is.
    if (!start_.error.isEmpty())
        guarded([this] { throw std::invalid_argument(start_.error.toStdString()); });
    control_.clearStop();
    cancelAction_ = CancelAction::QueryClose;
    setWindowTitle(applicationTitle());
    guarded([this] {
        if (!options_.loadSettings)
            return;
        ControlValues values = controlValues();
        try {
            options_.loadSettings(values);
        } catch (...) {
            // The values read before the error stay in the controls.
            setControlValues(values);
            throw;
        }
        setControlValues(values);
    });
    // The command line's language holds for this start only: the remembered
    // choice stays what the store said.
    if (!start_.language.isEmpty())
        setLanguage(start_.language);
    if (batchMode_ && options_.batchStart)
        guarded([this] {
            try {
                options_.batchStart(*this);
            } catch (...) {
                // A settings file in error leaves an ordinary window: no press
                // may then start the unattended run with other settings.
                batchMode_ = false;
                if (timer1_)
                    timer1_->stop();
                throw;
            }
        });
    currentPage_ = 1;
    ShowPage(1);
    // The focus on "Next >" shows as the keyboard's from the start: its
    // frame says that Return and Space go on.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void Taaform1::FormDestroy()
{
    if (!options_.saveSettings)
        return;
    try {
        options_.saveSettings(controlValues());
    } catch (const std::exception &e) {
        showError(errorMessage(e));
    }
}

void Taaform1::ApplyLanguage()
{
    tavrex::ApplyLanguage(*this, languageCode_, english_, chn_);
    applyRunViewLanguage();
    // Qt's own texts (the Yes and No of the boxes, the file dialogs) follow:
    // its Chinese catalogue from Qt's translations folder, none in English.
    QCoreApplication::removeTranslator(qtTranslator_);
    if (languageCode_ == languageChinese() &&
        qtTranslator_->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTranslator_);
}

void Taaform1::setLanguage(const QString &code)
{
    if (code == languageCode_ || !isLanguageCode(code))
        return;
    languageCode_ = code;
    ApplyLanguage();
}

bool Taaform1::qtTranslationLoaded() const
{
    return languageCode_ == languageChinese() && !qtTranslator_->isEmpty();
}

QString Taaform1::batchSettingsFile() const
{
    return options_.arguments.isEmpty() ? QString() : options_.arguments.first();
}

void Taaform1::armStartTimer()
{
    if (options_.headless)
        timer1_->setInterval(0);
    timer1_->start();
}

void Taaform1::endProgram()
{
    endRequested_ = true;
    closeWhenIdle();
}

// ---------------------------------------------------------------------------
// Navigation.

void Taaform1::ShowPage(int page)
{
    btback->setEnabled(true);
    btnext->setEnabled(true);
    btcancel->setEnabled(true);
    bthelp->setEnabled(true);
    btnext->setText(QStringLiteral("Next >"));
    if (page == 1)
        btback->setEnabled(false);
    if (page == 6) {
        btback->setEnabled(false);
        btnext->setText(QStringLiteral("Finish"));
        btcancel->setEnabled(false);
        bthelp->setEnabled(false);
    }
    if (page >= 1 && page <= 6)
        pg->setCurrentIndex(page - 1);
    markStep(page);
    if (page == 5)
        btnext->setEnabled(lists_.nextEnabled());
    // Page 1 starts on "Next >", so that Return and Space go on at once.
    QWidget *focus = page == 1   ? static_cast<QWidget *>(btnext)
                     : page == 2 ? static_cast<QWidget *>(edtdatabase)
                     : page == 3 ? static_cast<QWidget *>(edtservice)
                     : page == 4 ? static_cast<QWidget *>(mysqldblist)
                     : page == 5 ? static_cast<QWidget *>(availabletables)
                                 : nullptr;
    if (focus)
        focus->setFocus();
}

void Taaform1::markStep(int sheet)
{
    // The sheet in view, which during a run is the log's while the page
    // is still 5; any other number leaves all six regular.
    for (int i = 0; i < 6; ++i) {
        QFont f = stepLabels_[i]->font();
        f.setBold(i + 1 == sheet);
        stepLabels_[i]->setFont(f);
    }
}

void Taaform1::btnextClick()
{
    // Any press makes the start press of a replay redundant; and while a run
    // is in progress (a press served by one of its pumps) no page step may
    // start, least of all a second run.
    if (timer1_)
        timer1_->stop();
    if (runActive_ || connecting_)
        return;
    switch (currentPage_) {
    case 2: step2Click(); break;
    case 3: step3Click(); break;
    case 4: step4Click(); break;
    case 5: step5Click(); break;
    case 6: step6Click(); break;
    default: break;
    }
    if (!control_.StopRequested()) {
        if (currentPage_ < 6) {
            ++currentPage_;
            ShowPage(currentPage_);
        } else if (!batchMode_) {
            currentPage_ = 1;
            ShowPage(1);
        }
    }
    if (batchMode_)
        continueUnattendedRun();
}

void Taaform1::continueUnattendedRun()
{
    // Each press is nested and may carry the chain further; every check reads
    // the page anew, so after a nested press has moved on the rest do nothing.
    for (int page = 1; page <= 4; ++page)
        if (currentPage_ == page)
            btnextClick();
    if (currentPage_ == 5) {
        if (options_.batchTableChoice)
            options_.batchTableChoice(*this);
        btnextClick();
    }
}

void Taaform1::btbackClick()
{
    // "< Back" is enabled by a confirmed stop while the run still unwinds to
    // its next poll; the page changes once it has.
    if (runActive_ || connecting_)
        return;
    if (currentPage_ == 5)
        bkstep5Click();
    --currentPage_;
    ShowPage(currentPage_);
}

void Taaform1::btcancelClick()
{
    // While a step connects, the third button gives the connect up.
    if (connecting_) {
        giveUp_ = true;
        return;
    }
    if (cancelAction_ == CancelAction::Stop)
        StopClick();
    else
        QueryCloseClick();
}

void Taaform1::bthelpClick()
{
    const QUrl address(helpurl->text());
    const bool opened = options_.openUrl ? options_.openUrl(address) : QDesktopServices::openUrl(address);
    // Without a browser the operator can still open the file by hand.
    if (!opened)
        prompts_->information(applicationTitle(), helpmissing->text() + QLatin1Char('\n') +
                                                      QDir::toNativeSeparators(address.isLocalFile()
                                                                                   ? address.toLocalFile()
                                                                                   : address.toString()));
}

void Taaform1::Image1Click()
{
    bthelpClick();
}

void Taaform1::Timer1Timer()
{
    timer1_->stop();
    guarded([this] { btnextClick(); });
}

void Taaform1::enterRunning()
{
    btback->setEnabled(false);
    btnext->setEnabled(false);
    btcancel->setText(QStringLiteral("Stop"));
    btcancel->setEnabled(true);
    cancelAction_ = CancelAction::Stop;
}

void Taaform1::StopClick()
{
    if (!prompts_->question(QStringLiteral("Info"), QStringLiteral("Stop"))) {
        control_.clearStop();
        return;
    }
    // A request is made only for a run in progress: after a failed run there
    // is nothing left to stop, and a request would outlive it.
    if (runActive_)
        control_.requestStop();
    btback->setEnabled(true);
    btcancel->setText(QStringLiteral("Close"));
    cancelAction_ = CancelAction::QueryClose;
}

bool Taaform1::requestStopAndSave()
{
    if (!runActive_)
        return false;
    control_.requestStopAndSave();
    // The program ends once the stopped run has saved its record.
    closeAfterRun_ = true;
    return true;
}

void Taaform1::QueryCloseClick()
{
    if (prompts_->question(QStringLiteral("Information"), queryclose->text()))
        closeConfirmed();
}

void Taaform1::closeConfirmed()
{
    closeConfirmed_ = true;
    close();
    closeConfirmed_ = false;
}

void Taaform1::closeEvent(QCloseEvent *event)
{
    // A close the program asked for itself (Finish, a Yes to the close
    // question, the end of a replay, a window without a screen) asks nothing.
    if (!runActive_ && (closeConfirmed_ || options_.headless)) {
        event->accept();
        return;
    }
    event->ignore();
    if (runActive_) {
        // Nobody could read the log, the ledger or the report of a run whose
        // window is gone: a stop for closing saves them as a stopped replay
        // does, and the window closes once the run has ended.
        if (closeAfterRun_)
            return;
        if (!control_.StopRequested() && !closeConfirmed_ &&
            !prompts_->question(QStringLiteral("Info"), QStringLiteral("Stop")))
            return;
        control_.requestStopAndSave();
        closeAfterRun_ = true;
        btback->setEnabled(true);
        btcancel->setText(QStringLiteral("Close"));
        cancelAction_ = CancelAction::QueryClose;
        return;
    }
    if (!prompts_->question(QStringLiteral("Information"), queryclose->text()))
        return;
    if (connecting_) {
        // The connect is given up first; the window closes once its step
        // has returned.
        giveUp_ = true;
        closeAfterRun_ = true;
        return;
    }
    event->accept();
}

void Taaform1::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && connecting_) {
        giveUp_ = true;
        event->accept();
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        // A focused button takes Return as its own press; anywhere else
        // (the boxes, the lists, the options) it is "Next >" or "Finish".
        auto *focused = qobject_cast<QPushButton *>(focusWidget());
        QPushButton *target = focused && focused->isEnabled() ? focused : btnext;
        if (target->isEnabled() && target->isVisible()) {
            event->accept();
            target->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void Taaform1::closeWhenIdle()
{
    QMetaObject::invokeMethod(this, [this] { closeConfirmed(); }, Qt::QueuedConnection);
}

namespace {

// A connect or listing given up by the operator: the step ends without a box.
class ConnectGivenUp : public SilentAbort {
};

} // namespace

void Taaform1::whileConnecting(const std::function<void()> &step)
{
    if (connecting_) {
        step();
        return;
    }
    struct Busy {
        Taaform1 &window;
        bool cursor = false;
        ~Busy()
        {
            for (auto *c : {&window.db_.oracleconn, &window.db_.oracledata})
                c->serveWaits({});
            window.db_.mysqlconnect.serveWaits({});
            if (cursor)
                QApplication::restoreOverrideCursor();
            window.connecting_ = false;
            window.giveUp_ = false;
            if (window.closeAfterRun_ && !window.runActive_)
                window.closeWhenIdle();
        }
    } busy{*this};
    connecting_ = true;
    giveUp_ = false;
    // The busy cursor from the first wait on: a step that fails at once (a
    // blank name, a bad port) never shows it.
    const auto serve = [this, &busy] {
        if (!busy.cursor) {
            busy.cursor = true;
            QApplication::setOverrideCursor(Qt::BusyCursor);
        }
        QCoreApplication::processEvents();
        if (giveUp_)
            throw ConnectGivenUp();
    };
    db_.mysqlconnect.serveWaits(serve);
    db_.oracleconn.serveWaits(serve);
    db_.oracledata.serveWaits(serve);
    try {
        step();
    } catch (const ConnectGivenUp &) {
        // A replay cannot go on from here; its record says why.
        recordReplayFailure(QStringLiteral("Connecting was given up"));
        throw;
    }
}

// ---------------------------------------------------------------------------
// The settings controls as values (each page reads and sets its own).

ControlValues Taaform1::controlValues() const
{
    ControlValues v;
    page2Values(v);
    page3Values(v);
    page4Values(v);
    page1Values(v);
    return v;
}

void Taaform1::setControlValues(const ControlValues &v)
{
    setPage2Values(v);
    setPage3Values(v);
    setPage4Values(v);
    // The language last: it applies at once to every caption.
    setPage1Values(v);
}

TConversionSettings Taaform1::currentSettings() const
{
    TConversionSettings s;
    applyControlValues(controlValues(), s);
    const ListChoice databases = databaseList();
    s.SourceDatabaseChosen = databases.chosen >= 0;
    s.SourceDatabase = s.SourceDatabaseChosen ? databases.items.at(databases.chosen) : QString();
    s.SelectedTables = lists_.selected();
    return s;
}

void Taaform1::setPump(RunControl::Pump pump)
{
    control_.setPump(std::move(pump));
}

void Taaform1::previewPage(int page, const ListChoice &databases, const QStringList &available,
                           const QStringList &selected)
{
    reflectDatabaseList(databases);
    lists_ = TableLists();
    lists_.appendAvailable(available + selected);
    QList<int> rows;
    for (int i = 0; i < selected.size(); ++i)
        rows.append(int(available.size()) + i);
    lists_.add(rows);
    // Out of a previewed run: "Close" again, the log alone on page 6.
    btcancel->setText(QStringLiteral("Close"));
    cancelAction_ = CancelAction::QueryClose;
    lastReport_.reset();
    clearRunView();
    currentPage_ = page;
    reflectTableLists();
    ShowPage(page);
}

// ---------------------------------------------------------------------------
// The error box.

void Taaform1::guarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const SilentAbort &) {
        // Ends the operation without a box.
    } catch (const std::exception &e) {
        showError(errorMessage(e));
    }
}

void Taaform1::recordReplayFailure(const QString &message)
{
    if (!batchSettingsFile().isEmpty() && !replayRecordSaved_ && options_.batchFailed) {
        replayRecordSaved_ = true;
        options_.batchFailed(*this, message);
    }
}

void Taaform1::showError(const QString &message)
{
    // A replay that cannot go on leaves its record saying so, before the
    // error is shown (without a window, showing it ends the program).
    recordReplayFailure(standardErrorText(message));
    prompts_->error(applicationTitle(), standardErrorText(message));
}

} // namespace tavrex
