#include "wizard/mainwindow.h"

#include "engine/conversionrun.h"
#include "engine/core/errors.h"
#include "wizard/captions.h"
#include "wizard/windowprompts.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLinearGradient>
#include <QListWidget>
#include <QSignalBlocker>
#include <QScrollBar>
#include <QSet>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>

#include <stdexcept>

namespace tavrex {

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

// A text that acts as a link: the language switch of page 1. It keeps its
// text plain (the caption tables fill it like any label) and looks and acts
// like a link: link colour, underlined, hand cursor, click or Space.
class LinkLabel : public QLabel {
public:
    LinkLabel(QWidget *parent, std::function<void()> onClick) : QLabel(parent), onClick_(std::move(onClick))
    {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        QFont f = font();
        f.setUnderline(true);
        setFont(f);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, p.color(QPalette::Link));
        setPalette(p);
    }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick_)
            onClick_();
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) && onClick_)
            onClick_();
        else
            QLabel::keyPressEvent(event);
    }

private:
    std::function<void()> onClick_;
};

// The password boxes show one "*" per character, whatever the platform's
// style would draw.
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel *label(QWidget *parent, const char *name, int x, int y, int w, int h, bool wrap = false)
{
    auto *l = named(new QLabel(parent), name);
    l->setGeometry(x, y, w, h);
    l->setWordWrap(wrap);
    l->setAlignment(Qt::AlignLeft | (wrap ? Qt::AlignTop : Qt::AlignVCenter));
    return l;
}

QLineEdit *edit(QWidget *parent, const char *name, int x, int y, int w)
{
    auto *e = named(new QLineEdit(parent), name);
    e->setGeometry(x, y, w, 21);
    return e;
}

QListWidget *list(QWidget *parent, const char *name, QRect geometry, QAbstractItemView::SelectionMode mode)
{
    auto *l = named(new QListWidget(parent), name);
    l->setGeometry(geometry);
    l->setSelectionMode(mode);
    return l;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, QRect geometry)
{
    auto *b = named(new QPushButton(caption, parent), name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

// Chooses the item of a radio choice; -1 (or any number outside it) none.
void chooseItem(QButtonGroup *group, int item)
{
    if (QAbstractButton *b = group->button(item)) {
        b->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton *b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

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
// The window's controls. Sizes and places of the frame are the designed ones;
// the pages are laid out inside the 415 x 372 page set.

void Taaform1::buildWindow()
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    buildStepPanel();

    // The page set: a stacked widget has no tab strip, so the pages change
    // only through the buttons.
    pg = named(new QStackedWidget(this), "pg");
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

    Panel3 = named(new QWidget(this), "Panel3");
    Panel3->setGeometry(kStepPanelWidth, kClientHeight - kButtonBarHeight, kClientWidth - kStepPanelWidth,
                        kButtonBarHeight);
    btback = button(Panel3, "btback", QStringLiteral("< Back"), QRect(90, 8, 75, 25));
    btnext = button(Panel3, "btnext", QStringLiteral("Next >"), QRect(168, 8, 75, 25));
    btcancel = button(Panel3, "btcancel", QStringLiteral("Close"), QRect(255, 8, 75, 25));
    bthelp = button(Panel3, "bthelp", QStringLiteral("Help"), QRect(332, 8, 75, 25));

    timer1_ = named(new QTimer(this), "Timer1");
    timer1_->setInterval(1000);
}

void Taaform1::buildStepPanel()
{
    Panel1 = named(new QWidget(this), "Panel1");
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

void Taaform1::buildPage1(QWidget *sheet)
{
    QFont title = font();
    title.setBold(true);
    title.setPointSize(12);
    for (QLabel *l : {label(sheet, "Label7", 20, 24, 380, 24), label(sheet, "Label8", 20, 50, 380, 24)})
        l->setFont(title);
    label(sheet, "Label9", 20, 110, 380, 40, true);
    label(sheet, "Label10", 20, 160, 380, 20);
    lnklanguage = named(new LinkLabel(sheet, [this] { guarded([this] { lnklanguageClick(); }); }), "lnklanguage");
    lnklanguage->setGeometry(300, 4, 105, 17);
    lnklanguage->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void Taaform1::buildPage2(QWidget *sheet)
{
    label(sheet, "Label11", 12, 8, 390, 28, true);

    accessmode = named(new QGroupBox(sheet), "accessmode");
    accessmode->setGeometry(12, 40, 390, 46);
    accessmodeItems_ = new QButtonGroup(this);
    auto *local = new QRadioButton(QStringLiteral("&Local"), accessmode);
    local->setGeometry(12, 19, 150, 20);
    auto *remote = new QRadioButton(QStringLiteral("&Romote"), accessmode);
    remote->setGeometry(200, 19, 150, 20);
    accessmodeItems_->addButton(local, 0);
    accessmodeItems_->addButton(remote, 1);
    local->setChecked(true);

    auto *authorization = named(new QGroupBox(sheet), "authorization");
    authorization->setGeometry(12, 92, 390, 100);
    label(authorization, "Label15", 12, 22, 105, 13);
    edtdatabase = edit(authorization, "edtdatabase", 120, 18, 255);
    label(authorization, "Label12", 12, 48, 105, 13);
    edtname = edit(authorization, "edtname", 120, 44, 255);
    label(authorization, "Label13", 12, 74, 105, 13);
    edtpassword = edit(authorization, "edtpassword", 120, 70, 255);
    edtpassword->setEchoMode(QLineEdit::Password);
    auto *stars = new StarPasswordStyle;
    stars->setParent(this);
    edtpassword->setStyle(stars);

    auto *remoteBox = named(new QGroupBox(sheet), "GroupBox2");
    remoteBox->setGeometry(12, 198, 390, 72);
    label(remoteBox, "Label14", 12, 22, 105, 13);
    edthost = edit(remoteBox, "edthost", 120, 18, 255);
    label(remoteBox, "Label16", 120, 44, 255, 13);

    auto *portBox = named(new QGroupBox(sheet), "GroupBox1");
    portBox->setGeometry(12, 276, 390, 72);
    label(portBox, "edtport111", 12, 22, 105, 13);
    edtport = edit(portBox, "edtport", 120, 18, 80);
    edtport->setText(QStringLiteral("3306"));
    label(portBox, "Label17", 120, 44, 255, 13);
}

void Taaform1::buildPage3(QWidget *sheet)
{
    label(sheet, "Label18", 12, 8, 390, 28, true);
    label(sheet, "Label19", 12, 44, 390, 28, true);
    label(sheet, "Label20", 12, 80, 390, 16);
    QLabel *service = label(sheet, "Label21", 24, 124, 100, 13);
    edtservice = edit(sheet, "edtservice", 130, 120, 250);
    QLabel *user = label(sheet, "Label22", 24, 156, 100, 13);
    edtoracleusername = edit(sheet, "edtoracleusername", 130, 152, 250);
    QLabel *password = label(sheet, "Label23", 24, 188, 100, 13);
    edtoraclepassword = edit(sheet, "edtoraclepassword", 130, 184, 250);
    edtoraclepassword->setEchoMode(QLineEdit::Password);
    edtoraclepassword->setStyle(edtpassword->style());
    // The English captions carry accelerators ("&Service:") for these boxes.
    service->setBuddy(edtservice);
    user->setBuddy(edtoracleusername);
    password->setBuddy(edtoraclepassword);
}

void Taaform1::buildPage4(QWidget *sheet)
{
    label(sheet, "Label24", 12, 8, 390, 28, true);
    label(sheet, "Label25", 12, 44, 180, 13);
    mysqldblist = list(sheet, "mysqldblist", QRect(12, 60, 180, 292), QAbstractItemView::SingleSelection);

    processtable = named(new QGroupBox(sheet), "processtable");
    processtable->setGeometry(204, 44, 198, 92);
    processtableItems_ = new QButtonGroup(this);
    const QString policies[] = {QStringLiteral("Overwrite"), QStringLiteral("Merge"), QStringLiteral("Skip")};
    for (int i = 0; i < 3; ++i) {
        auto *item = new QRadioButton(policies[i], processtable);
        item->setGeometry(12, 19 + 22 * i, 170, 20);
        processtableItems_->addButton(item, i);
    }
    processtableItems_->button(0)->setChecked(true);

    // The check-box options one below the other, each showing its default;
    // the character set follows them.
    for (int i = 0; i < kCheckOptionCount; ++i) {
        optionBoxes_[i] = named(new QCheckBox(sheet), kCheckOptions[i].control);
        optionBoxes_[i]->setGeometry(204, 146 + 22 * i, 205, 20);
        optionBoxes_[i]->setChecked(optionDefault(kCheckOptions[i]));
    }
    const int charsetTop = 146 + 22 * kCheckOptionCount + 6;
    label(sheet, "Label33", 204, charsetTop, 198, 13);
    cbcharset = named(new QComboBox(sheet), "cbcharset");
    cbcharset->setGeometry(204, charsetTop + 16, 198, 22);
    cbcharset->setEditable(true);
    cbcharset->setInsertPolicy(QComboBox::NoInsert);
    cbcharset->addItems(serverCharSetEntries());
    cbcharset->setMaxVisibleItems(6);
    cbcharset->setCurrentIndex(0);
}

void Taaform1::buildPage5(QWidget *sheet)
{
    label(sheet, "Label26", 12, 8, 390, 28, true);
    label(sheet, "Label27", 12, 44, 150, 13);
    availabletables = list(sheet, "availabletables", QRect(12, 60, 150, 262), QAbstractItemView::ExtendedSelection);
    label(sheet, "Label28", 257, 44, 148, 13);
    selecttables = list(sheet, "selecttables", QRect(257, 60, 148, 262), QAbstractItemView::ExtendedSelection);
    // Wide enough for "< Remove all" between the lists.
    Button1 = button(sheet, "Button1", QStringLiteral("Add >"), QRect(167, 100, 85, 25));
    Button2 = button(sheet, "Button2", QStringLiteral("Add all >"), QRect(167, 135, 85, 25));
    Button3 = button(sheet, "Button3", QStringLiteral("< Remove"), QRect(167, 185, 85, 25));
    Button4 = button(sheet, "Button4", QStringLiteral("< Remove all"), QRect(167, 220, 85, 25));
    btcreatebat = button(sheet, "btcreatebat", QStringLiteral("Create Shortcut File"), QRect(257, 332, 148, 25));
}

void Taaform1::buildPage6(QWidget *sheet)
{
    auto *fill = new QVBoxLayout(sheet);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->setSpacing(4);
    // Two views of the run, one click apart: the results table once a run
    // has ended, and the log memo, the only one while the run goes.
    runview = named(new QTabWidget(sheet), "runview");
    runview->setDocumentMode(true);
    results = named(new QTableWidget(0, 7, runview), "results");
    results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results->setSelectionBehavior(QAbstractItemView::SelectRows);
    results->setSelectionMode(QAbstractItemView::SingleSelection);
    results->verticalHeader()->hide();
    results->verticalHeader()->setDefaultSectionSize(20);
    results->horizontalHeader()->setHighlightSections(false);
    results->setWordWrap(false);
    results->setTextElideMode(Qt::ElideMiddle);
    results->setIconSize(QSize(16, 16));
    // The figures and the Oracle name (at most 30 characters) as wide as they
    // need, the MySQL name (up to 64) taking the rest, cut in its middle.
    for (int column = 0; column < 7; ++column)
        results->horizontalHeader()->setSectionResizeMode(
            column, column == 1 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    sc = named(new QPlainTextEdit(runview), "sc");
    sc->setReadOnly(true);
    sc->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Lines wrap at the memo's width: a long closing line or error stays
    // readable without a horizontal scroll bar.
    sc->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    runview->addTab(results, QString());
    runview->addTab(sc, QString());
    runview->setTabVisible(0, false);
    runview->setCurrentWidget(sc);
    fill->addWidget(runview, 1);

    // The progress under the log while a run goes: the tables done of the
    // tables chosen, and the rows of the table in work against the server's
    // estimate, with its rate.
    runprogress = named(new QWidget(sheet), "runprogress");
    auto *grid = new QVBoxLayout(runprogress);
    grid->setContentsMargins(2, 0, 2, 2);
    grid->setSpacing(2);
    lbltables = named(new QLabel(runprogress), "lbltables");
    pbtables = named(new QProgressBar(runprogress), "pbtables");
    auto *rowsLine = new QHBoxLayout;
    rowsLine->setContentsMargins(0, 0, 0, 0);
    lblrows = named(new QLabel(runprogress), "lblrows");
    lblrate = named(new QLabel(runprogress), "lblrate");
    lblrate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    rowsLine->addWidget(lblrows, 1);
    rowsLine->addWidget(lblrate);
    pbrows = named(new QProgressBar(runprogress), "pbrows");
    for (QProgressBar *bar : {pbtables, pbrows}) {
        bar->setFixedHeight(14);
        bar->setTextVisible(true);
    }
    // The labels may hold a long table name: cut, never widening the page.
    for (QLabel *l : {lbltables, lblrows})
        l->setMinimumWidth(1);
    lblrows->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    grid->addWidget(lbltables);
    grid->addWidget(pbtables);
    grid->addLayout(rowsLine);
    grid->addWidget(pbrows);
    runprogress->hide();
    fill->addWidget(runprogress);
}

void Taaform1::buildTextHolders()
{
    // Never shown: its labels hold the texts of the current language that
    // the run's closing lines, "Help" and the close question read.
    TabSheet7 = named(new QWidget(this), "TabSheet7");
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
    connect(btnext, &QPushButton::clicked, this, [this] { guarded([this] { btnextClick(); }); });
    connect(btback, &QPushButton::clicked, this, [this] { guarded([this] { btbackClick(); }); });
    connect(btcancel, &QPushButton::clicked, this, [this] { guarded([this] { btcancelClick(); }); });
    connect(bthelp, &QPushButton::clicked, this, [this] { guarded([this] { bthelpClick(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { guarded([this] { Button2Click(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { guarded([this] { Button3Click(); }); });
    connect(Button4, &QPushButton::clicked, this, [this] { guarded([this] { Button4Click(); }); });
    connect(btcreatebat, &QPushButton::clicked, this, [this] { guarded([this] { btcreatebatClick(); }); });
    connect(availabletables, &QListWidget::itemDoubleClicked, this,
            [this] { guarded([this] { availabletablesDblClick(); }); });
    connect(selecttables, &QListWidget::itemDoubleClicked, this,
            [this] { guarded([this] { selecttablesDblClick(); }); });
    connect(results, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { guarded([this, row] { resultsDblClick(row); }); });
    connect(accessmodeItems_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            accessmodeClick();
    });
    connect(timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
    accessmodeClick();
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

void Taaform1::lnklanguageClick()
{
    rememberedLanguage_ = otherLanguage(languageCode_);
    setLanguage(rememberedLanguage_);
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
// Pages and navigation.

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
    for (int i = 0; i < 6; ++i) {
        QFont f = stepLabels_[i]->font();
        f.setBold(i + 1 == page);
        stepLabels_[i]->setFont(f);
    }
    if (page == 5)
        btnext->setEnabled(lists_.nextEnabled());
    QWidget *focus = page == 2   ? static_cast<QWidget *>(edtdatabase)
                     : page == 3 ? static_cast<QWidget *>(edtservice)
                     : page == 4 ? static_cast<QWidget *>(mysqldblist)
                     : page == 5 ? static_cast<QWidget *>(availabletables)
                                 : nullptr;
    if (focus)
        focus->setFocus();
}

void Taaform1::btnextClick()
{
    // Any press makes the start press of a replay redundant; and while a run
    // is in progress (a press served by one of its pumps) no page step may
    // start, least of all a second run.
    if (timer1_)
        timer1_->stop();
    if (runActive_)
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
    if (runActive_)
        return;
    if (currentPage_ == 5)
        bkstep5Click();
    --currentPage_;
    ShowPage(currentPage_);
}

void Taaform1::btcancelClick()
{
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

void Taaform1::accessmodeClick()
{
    const int item = accessmodeItems_->checkedId();
    if (item < 0)
        return;
    const bool remote = item == 1;
    edthost->setEnabled(remote);
    const QColor colour = QApplication::palette().color(remote ? QPalette::Base : QPalette::Button);
    QPalette p = edthost->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::Base, colour);
    edthost->setPalette(p);
    edtport->setEnabled(true);
}

// ---------------------------------------------------------------------------
// The page steps.

void Taaform1::step2Click()
{
    const TConversionSettings settings = currentSettings();
    ListChoice databases = databaseList();
    try {
        tavrex::step2Click(db_, settings, databases, *prompts_, applicationTitle());
    } catch (const BlankDatabaseName &) {
        edtdatabase->setFocus();
        // The message box has been shown; a replay cannot go on from here.
        recordReplayFailure(QStringLiteral("请输入数据库名称"));
        throw;
    }
    reflectDatabaseList(databases);
}

void Taaform1::step3Click()
{
    tavrex::step3Click(db_, currentSettings());
}

void Taaform1::step4Click()
{
    QStringList listed;
    tavrex::step4Click(db_, databaseList(), listed);
    lists_.appendAvailable(listed);
    reflectTableLists();
    if (availabletables->count() > 0)
        availabletables->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

void Taaform1::step5Click()
{
    runSettings_ = currentSettings();
    lastLogPath_.clear();
    ConversionRun run(db_, runSettings_, log_, control_);
    RunCaptions captions{Label29->text(), Label30->text(), Label32->text()};
    captions.completedWithErrors = completedWithErrorsCaption(languageCode_);
    run.setCaptions(captions);
    RunHooks hooks;
    hooks.showLogPage = [this] { pg->setCurrentIndex(5); };
    hooks.enterRunning = [this] { enterRunning(); };
    hooks.closeMainWindow = [this] { closeWhenIdle(); };
    hooks.progress = [this](const RunProgress &progress) { showRunProgress(progress); };
    run.setHooks(std::move(hooks));
    if (batchMode_) {
        run.setBatchSettingsFile(batchSettingsFile());
        run.setMissingTables(missingTables_);
    }

    // However the run ends: no run is in progress any more, and a close asked
    // for during it is carried out once the handlers have returned.
    struct RunEnd {
        Taaform1 &window;
        ~RunEnd()
        {
            window.runActive_ = false;
            if (window.closeAfterRun_)
                window.closeWhenIdle();
        }
    };
    runActive_ = true;
    RunEnd end{*this};
    lastReport_.reset();
    startRunView();
    RunOutcome outcome;
    try {
        outcome = run.run();
    } catch (...) {
        // A run that failed keeps its record too, and its log stays in view.
        lastReport_ = run.report();
        replayRecordSaved_ = replayRecordSaved_ || !run.savedLogPath().isEmpty();
        endRunView(false);
        throw;
    }
    lastReport_ = run.report();
    lastLogPath_ = run.savedLogPath();
    replayRecordSaved_ = replayRecordSaved_ || !lastLogPath_.isEmpty();
    // A completed run shows its results; a stopped one keeps its log and its
    // progress in view, with the results one click away.
    endRunView(outcome == RunOutcome::Completed);
    // A stop the run honoured, or one confirmed after its last poll, leaves
    // the log page in view with "< Back" and "Close" (the state "Stop"
    // set); the press then ends like any silent abort, without advancing.
    if (outcome != RunOutcome::Completed)
        throw SilentAbort();
}

void Taaform1::step6Click()
{
    clearRunView();
    log_.Clear();
    lists_.clearSelected();
    reflectTableLists();
    close();
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
        close();
}

void Taaform1::closeEvent(QCloseEvent *event)
{
    if (runActive_) {
        // The close box during a run: stop at the run's next poll, then close,
        // so the run never leaves a log behind half-written.
        closeAfterRun_ = true;
        control_.requestStop();
        event->ignore();
        return;
    }
    event->accept();
}

void Taaform1::closeWhenIdle()
{
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void Taaform1::btcreatebatClick()
{
    if (options_.createShortcut)
        options_.createShortcut(*this);
}

// ---------------------------------------------------------------------------
// The table lists of page 5.

void Taaform1::Button1Click()
{
    QList<int> rows;
    for (QListWidgetItem *item : availabletables->selectedItems())
        rows.append(availabletables->row(item));
    lists_.add(rows);
    reflectTableLists();
}

void Taaform1::Button2Click()
{
    lists_.addAll();
    reflectTableLists();
}

void Taaform1::Button3Click()
{
    QList<int> rows;
    for (QListWidgetItem *item : selecttables->selectedItems())
        rows.append(selecttables->row(item));
    lists_.remove(rows);
    reflectTableLists();
}

void Taaform1::Button4Click()
{
    lists_.removeAll();
    reflectTableLists();
}

void Taaform1::availabletablesDblClick() { Button1Click(); }

void Taaform1::selecttablesDblClick() { Button3Click(); }

void Taaform1::bkstep5Click()
{
    lists_.clear();
    reflectTableLists();
}

bool Taaform1::highlightAvailable(const QString &name)
{
    availabletables->clearSelection();
    for (int i = 0; i < availabletables->count(); ++i) {
        if (availabletables->item(i)->text() == name) {
            availabletables->item(i)->setSelected(true);
            return true;
        }
    }
    return false;
}

namespace {

// Refills a list widget from the model, keeping what the operator sees of the
// entries that stay: their highlight, the current entry and the scroll place.
void refill(QListWidget *list, const QStringList &names)
{
    QSet<QString> highlighted;
    for (const QListWidgetItem *item : list->selectedItems())
        highlighted.insert(item->text());
    const QString current = list->currentItem() ? list->currentItem()->text() : QString();
    const int scroll = list->verticalScrollBar()->value();
    const QSignalBlocker blocker(list);
    list->clear();
    list->addItems(names);
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem *item = list->item(i);
        if (item->text() == current)
            list->setCurrentItem(item, QItemSelectionModel::NoUpdate);
        item->setSelected(highlighted.contains(item->text()));
    }
    list->verticalScrollBar()->setValue(scroll);
}

} // namespace

void Taaform1::reflectTableLists()
{
    refill(availabletables, lists_.available());
    refill(selecttables, lists_.selected());
    applyNextRule();
}

void Taaform1::applyNextRule()
{
    if (currentPage_ == 5)
        btnext->setEnabled(lists_.nextEnabled());
}

// ---------------------------------------------------------------------------
// Controls and values.

ListChoice Taaform1::databaseList() const
{
    ListChoice choice;
    for (int i = 0; i < mysqldblist->count(); ++i)
        choice.items.append(mysqldblist->item(i)->text());
    const QList<QListWidgetItem *> chosen = mysqldblist->selectedItems();
    choice.chosen = chosen.isEmpty() ? -1 : mysqldblist->row(chosen.first());
    return choice;
}

void Taaform1::reflectDatabaseList(const ListChoice &choice)
{
    mysqldblist->clear();
    mysqldblist->addItems(choice.items);
    if (choice.chosen >= 0 && choice.chosen < mysqldblist->count())
        mysqldblist->setCurrentRow(choice.chosen);
}

ControlValues Taaform1::controlValues() const
{
    ControlValues v;
    v.accessmode = accessmodeItems_->checkedId();
    v.edtdatabase = edtdatabase->text();
    v.edtname = edtname->text();
    v.edtpassword = edtpassword->text();
    v.edthost = edthost->text();
    v.edtport = edtport->text();
    v.cbcharsetIndex = cbcharset->currentIndex();
    v.cbcharsetText = cbcharset->currentText();
    v.edtservice = edtservice->text();
    v.edtoracleusername = edtoracleusername->text();
    v.edtoraclepassword = edtoraclepassword->text();
    v.processtable = processtableItems_->checkedId();
    for (int i = 0; i < kCheckOptionCount; ++i)
        v.options.*kCheckOptions[i].setting = optionBoxes_[i]->isChecked();
    v.language = rememberedLanguage_;
    return v;
}

void Taaform1::setControlValues(const ControlValues &v)
{
    chooseItem(accessmodeItems_, v.accessmode);
    edtdatabase->setText(v.edtdatabase);
    edtname->setText(v.edtname);
    edtpassword->setText(v.edtpassword);
    edthost->setText(v.edthost);
    edtport->setText(v.edtport);
    cbcharset->setCurrentIndex(v.cbcharsetIndex >= 0 && v.cbcharsetIndex < cbcharset->count() ? v.cbcharsetIndex : -1);
    // A replay may set a text that is no entry of the list; the choice stays.
    if (cbcharset->currentText() != v.cbcharsetText)
        cbcharset->setEditText(v.cbcharsetText);
    edtservice->setText(v.edtservice);
    edtoracleusername->setText(v.edtoracleusername);
    edtoraclepassword->setText(v.edtoraclepassword);
    chooseItem(processtableItems_, v.processtable);
    for (int i = 0; i < kCheckOptionCount; ++i)
        optionBoxes_[i]->setChecked(v.options.*kCheckOptions[i].setting);
    // The remembered language applies at once, unless the command line chose
    // one for this start.
    if (isLanguageCode(v.language)) {
        rememberedLanguage_ = v.language;
        if (start_.language.isEmpty())
            setLanguage(v.language);
    }
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
// Page 6: progress and results.

void Taaform1::clearRunView()
{
    lastProgress_.reset();
    resultRanges_.clear();
    results->setRowCount(0);
    runview->setTabVisible(0, false);
    runview->setCurrentWidget(sc);
    runprogress->hide();
}

void Taaform1::startRunView()
{
    lastProgress_.reset();
    lastRate_ = -1;
    rowRate_.reset();
    logRanges_.clear();
    resultRanges_.clear();
    results->setRowCount(0);
    runview->setTabVisible(0, false);
    runview->setCurrentWidget(sc);
    runprogress->show();
    reflectRunProgress();
}

void Taaform1::showRunProgress(const RunProgress &progress)
{
    logRanges_.update(progress, log_.size());
    lastRate_ = rowRate_.update(progress);
    lastProgress_ = progress;
    // Without a window nobody sees the bars and labels; laying them out and
    // painting them at every pump point would cost the replay a tenth of its time.
    if (!options_.headless)
        reflectRunProgress();
    if (options_.runProgress)
        options_.runProgress(progress);
}

void Taaform1::reflectRunProgress()
{
    const RunProgress progress = lastProgress_.value_or(RunProgress());
    const ProgressBars bars = progressBars(progress);
    // The range first: a value outside the old range would be ignored.
    pbtables->setRange(0, bars.tablesMaximum);
    pbtables->setValue(bars.tablesValue);
    pbrows->setRange(0, bars.rowsMaximum);
    pbrows->setValue(bars.rowsValue);
    const ProgressTexts texts = progressTexts(progress, lastRate_, runViewCaptions(languageCode_));
    lbltables->setText(lastProgress_ ? texts.tables : QString());
    lblrows->setText(lastProgress_ ? texts.rows : QString());
    lblrate->setText(lastProgress_ ? texts.rate : QString());
}

void Taaform1::reflectResults()
{
    if (!lastReport_) {
        results->setRowCount(0);
        return;
    }
    fillResults(*results, *lastReport_, runViewCaptions(languageCode_));
}

void Taaform1::endRunView(bool completed)
{
    if (lastReport_)
        resultRanges_ = logRanges_.forReport(*lastReport_);
    reflectResults();
    const bool any = lastReport_ && !lastReport_->tables.empty();
    runview->setTabVisible(0, any);
    if (completed && any) {
        runprogress->hide();
        runview->setCurrentWidget(results);
    }
}

void Taaform1::applyRunViewLanguage()
{
    const RunViewCaptions captions = runViewCaptions(languageCode_);
    runview->setTabText(0, captions.resultsTab);
    runview->setTabText(1, captions.logTab);
    results->setHorizontalHeaderLabels(captions.headers);
    reflectRunProgress();
    if (lastReport_)
        reflectResults();
}

void Taaform1::resultsDblClick(int row)
{
    if (!lastReport_ || row < 0 || row >= int(lastReport_->tables.size()))
        return;
    if (!lastReport_->tables.at(std::size_t(row)).hasProblem())
        return;
    if (std::size_t(row) >= resultRanges_.size() || !resultRanges_.at(std::size_t(row)))
        return;
    int first = 0;
    const QStringList lines = TableLogRanges::linesOf(*resultRanges_.at(std::size_t(row)), log_, &first);
    if (lines.isEmpty())
        return;
    runview->setCurrentWidget(sc);
    // The memo holds one block per log line: select the table's lines and
    // bring the first to the top.
    const QTextBlock begin = sc->document()->findBlockByNumber(first);
    const QTextBlock last = sc->document()->findBlockByNumber(first + int(lines.size()) - 1);
    if (!begin.isValid() || !last.isValid())
        return;
    QTextCursor cursor(sc->document());
    cursor.setPosition(last.position() + last.length() - 1);
    sc->setTextCursor(cursor);
    sc->ensureCursorVisible();
    cursor.setPosition(begin.position(), QTextCursor::KeepAnchor);
    sc->setTextCursor(cursor);
    sc->ensureCursorVisible();
}

void Taaform1::previewProgress(const RunProgress &progress, double rowsPerSecond)
{
    // The Running state: still page 5, the log sheet in view, "Stop".
    currentPage_ = 5;
    ShowPage(5);
    pg->setCurrentIndex(5);
    enterRunning();
    startRunView();
    lastProgress_ = progress;
    lastRate_ = rowsPerSecond;
    reflectRunProgress();
}

void Taaform1::previewResults(const RunReport &report)
{
    lastReport_ = report;
    logRanges_.clear();
    currentPage_ = 6;
    ShowPage(6);
    endRunView(true);
}

// ---------------------------------------------------------------------------
// The log memo and the error box.

void Taaform1::mirrorLog(TRunLog::Change change, const QString &line)
{
    if (options_.headless)
        return;
    switch (change) {
    case TRunLog::Change::Appended:
        // The first line replaces the empty document, so that a first empty
        // line still counts as a line.
        if (log_.size() == 1)
            sc->setPlainText(line);
        else
            sc->appendPlainText(line);
        break;
    case TRunLog::Change::RewrittenLast: {
        QTextCursor cursor(sc->document());
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(line);
        break;
    }
    case TRunLog::Change::Cleared:
        sc->clear();
        break;
    }
}

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

QString Taaform1::processtableCaption() const
{
    const QAbstractButton *chosen = processtableItems_->checkedButton();
    return chosen ? chosen->text() : QString();
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
