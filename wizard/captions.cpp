#include "wizard/captions.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QWidget>

namespace tavrex {

namespace {

struct CaptionRow {
    const char *key;
    const char *english;
    const char *chinese;
    // The control's tool tip: what it does (for an option, what it writes
    // and where). None for most rows.
    const char *tipEnglish = nullptr;
    const char *tipChinese = nullptr;
};

// Both tables in one list so they cannot drift apart: same keys, same order.
// Row 43 (helpurl) is filled in from the help folder at run time.
const CaptionRow kRows[] = {
    {"Label1", "Welcome", "欢迎"},
    {"Label2", "Connect to Mysql server", "连接MYSQL"},
    {"Label3", "Connect to Oracle server", "连接Oracle"},
    {"Label4", "Conversion Settings", "设置"},
    {"Label5", "Select table to convert", "选择要转换的表"},
    {"Label6", "Conversion is Completed", "完成转换"},
    {"Label7", "Welcome to the Database", "欢迎使用数据库转换向导"},
    {"Label8", "Conversion Wizard", ""},
    {"Label9", "This wizard helps you move Mysql database to Oracle  server.", "本向导将实现Mysql 的表到Oracle的转换"},
    {"Label10", "Click 'Next' to continue.", "点击 'Next' 按钮进行下一步"},
    {"Label11", "Provide necessary information to establish connection with MySQL server.", "请提供连接到Mysql 的必要信息"},
    {"Label12", "User name:", "用户名:"},
    {"Label13", "Password:", "密码:"},
    {"Label15", "Database :", "数据库名称 :"},
    {"Label14", "Host:", "Host:"},
    {"edtport111", "Port number:", "端口号:"},
    {"Label16", "(it could be network name or IP address)", "(网络名称或IP地址)"},
    {"Label17", "(Default Mysql Port is 3306)", "(Default Mysql Port is 3306)"},
    {"Label18", "Provide the necessary information to establish connection with Oracle server.", "请提供连接到Oracle 的必要信息"},
    {"Label19", "Enter the same values that you specify for standard Oracle applications", ""},
    {"Label20", "Link Oracle Enterprise Manager Console.", ""},
    {"Label21", "&Service:", "Service 名称:"},
    {"Label22", "&User name:", "用户名:"},
    {"Label23", "&Password", "密码:"},
    {"Label24", "On this page you can specify source database name and conversion settings.", "转换设置"},
    {"Label25", "MySQL database name:", "MySQL 数据库选择"},
    {"Label33", "Character Set", "字符集"},
    {"Label26", "Select MySQL tables to convert into Oracle format.", "选择要进行转换的表"},
    {"Label27", "Available tables:", "Mysql 表"},
    {"Label28", "Selected tables:", "已选择表"},
    {"Label29", "Conversion is Completed", "已经完成转换"},
    {"Label30", "Wizard has migrated your MySQL database to Oracle server successfully.", "向导已经完成Mysql 数据库到Orccle的转换."},
    {"Label32", "Click 'Finish' to exit the wizard.", "点击 'Finish' 离开本向导."},
    {"accessmode", "Access mode", "存取模式"},
    {"processtable", "How to process existing tables:", "如何处理已经存在的表:"},
    {"authorization", "Authorization settings", "登陆设置"},
    {"GroupBox1", "Port settings", "Port settings"},
    {"GroupBox2", "Remote settings", "远程连接设置"},
    {"chktabledefi", "Convert table definitions only", "只转换表定义(不导入数据)",
     "Create the Oracle tables and copy no rows.",
     "只在 Oracle 中创建表，不复制任何行。"},
    {"chkskipindex", "Skip converting indexes", "选中则不处理索引",
     "Create no primary keys or indexes on the Oracle tables.",
     "不在 Oracle 表上创建主键和索引。"},
    {"chkuppercase", "Make names uppercase", "名称转换为大写",
     "Give the Oracle tables and columns upper-case names; the MySQL tables are read by those names too.",
     "Oracle 的表名和列名使用大写；读取 MySQL 表时也使用大写名称。"},
    {"chkblobtotext", "Convert BLOB to text", "转换BLOB为TEXT类型",
     "Kept with the settings and the shortcut file; BLOB columns are mapped and copied the same way whether it is ticked or not.",
     "随设置和快捷方式文件保存；无论是否选中，BLOB 列的映射和复制方式都相同。"},
    {"helpurl", nullptr, nullptr},
    {"queryclose", "Close this Wizard ?", "退出向导 ?"},
    // Rows added after the first design: the later options of page 4 (in the
    // order of kCheckOptions) and the language link of page 1, which names
    // the other language.
    {"chkrejectrows", "Continue past rejected rows", "跳过被拒绝的行继续复制",
     "Go on copying when Oracle rejects a row: each rejected row is written to the ledger (.rejects.csv) and to a "
     "reload file in the .rejects folder, both beside the log.",
     "Oracle 拒绝某行时继续复制：被拒绝的行写入日志旁的记录文件 (.rejects.csv) 和 .rejects 文件夹中的重新导入文件。"},
    {"chkverify", "Verify copied data", "校验复制的数据",
     "Read each copied table back from Oracle and compare it with MySQL: the outcome goes into the log and the "
     "report (.report.json), the rows that differ into the ledger (.rejects.csv), all beside the log.",
     "从 Oracle 读回每个复制的表并与 MySQL 比较：结果写入日志和报告 (.report.json)，不一致的行写入记录文件 "
     "(.rejects.csv)，都在日志旁边。"},
    {"chkkeepdetails", "Keep column details", "保留列的属性",
     "Create each Oracle table with its columns' sizes and defaults, its identity columns and keys, and the foreign "
     "keys between the converted tables.",
     "按列的长度和默认值在 Oracle 中建表，并保留自增列、键以及转换的表之间的外键。"},
    {"chkresume", "Resumable conversion", "可续传的转换",
     "Read each table that has a primary key in key order and keep its progress in the target (TAVREX_CONVERSIONS), "
     "so that a run interrupted by a kill, a stop or a lost connection is continued after its last committed batch.",
     "按主键顺序读取有主键的表，并把进度记录在目标库中 (TAVREX_CONVERSIONS)，这样被终止、停止或断开连接的转换"
     "可以从最后提交的批次之后继续。"},
    {"lblspnparallel", "Tables at once", "同时转换的表数",
     "Convert this many tables at once, each on connections of its own; a big table keyed by one integer column is "
     "copied in that many key ranges at once. Each table's lines stay together in the log.",
     "同时转换这么多张表，每张表使用自己的连接；以单个整数列为主键的大表按同样数目的键范围同时复制。日志中每张表的行保持在一起。"},
    {"lnklanguage", "中文", "English"},
    {"lblservicehint", "embedded:PATH, or net service / host:port/service", "embedded:路径，或网络服务名 / 主机:端口/服务名",
     "embedded:PATH for the built-in target (one file at PATH); for an Oracle server a net service name or a "
     "connect identifier host:port/service",
     "内置目标填 embedded:路径（路径处的一个文件）；Oracle 服务器填网络服务名或连接标识 主机:端口/服务名"},
    {"helpmissing", "No browser could open the help page. The help file is:", "无法用浏览器打开帮助页面。帮助文件是:"},
};

// The batch window's captions of the check-box options (kCheckOptions): that
// window is Chinese only, with shorter texts than page 4's.
const struct {
    const char *control;
    const char *chinese;
} kBatchWindowOptions[] = {
    {"chktabledefi", "只转换表定义"},
    {"chkskipindex", "不创建索引"},
    {"chkuppercase", "将名称转换为大写"},
    {"chkblobtotext", "BLOB转换为Text"},
    {"chkrejectrows", "跳过被拒绝的行继续复制"},
    {"chkverify", "校验复制的数据"},
    {"chkkeepdetails", "保留列的属性"},
    {"chkresume", "可续传的转换"},
    {"spnparallel", "同时转换表数"},
};

QString helpAddress(const QString &helpFolder, const QString &page)
{
    return QUrl::fromLocalFile(QDir(helpFolder).absoluteFilePath(page)).toString();
}

QStringList tipTable(bool english)
{
    QStringList table;
    for (const CaptionRow &row : kRows)
        if (row.tipEnglish)
            table.append(QString::fromLatin1(row.key) + QLatin1Char('=') +
                         QString::fromUtf8(english ? row.tipEnglish : row.tipChinese));
    return table;
}

QStringList buildTable(bool english, const QString &helpFolder)
{
    QStringList table;
    for (const CaptionRow &row : kRows) {
        QString caption;
        if (row.english == nullptr)
            caption = helpAddress(helpFolder, english ? helpPageEnglish() : helpPageChinese());
        else
            caption = QString::fromUtf8(english ? row.english : row.chinese);
        table.append(QString::fromLatin1(row.key) + QLatin1Char('=') + caption);
    }
    return table;
}

// Qt's compound widgets keep parts of their own (named "qt_..." or unnamed);
// they are not controls of the window and keep their texts.
bool isWindowControl(const QObject *object)
{
    const QString name = object->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

void applyTable(QWidget &window, const QStringList &table, const QStringList &tips)
{
    for (QWidget *widget : window.findChildren<QWidget *>()) {
        if (!isWindowControl(widget))
            continue;
        // Only the controls with a tip of their own get one: the others keep theirs.
        const QString tip = captionFor(tips, widget->objectName());
        if (!tip.isEmpty())
            widget->setToolTip(tip);
        const QString caption = captionFor(table, widget->objectName());
        if (auto *label = qobject_cast<QLabel *>(widget))
            label->setText(caption);
        else if (auto *group = qobject_cast<QGroupBox *>(widget))
            group->setTitle(caption);
        else if (auto *check = qobject_cast<QCheckBox *>(widget))
            check->setText(caption);
    }
}

void setButtonCaption(QWidget &window, const char *name, const QString &caption)
{
    if (auto *button = window.findChild<QAbstractButton *>(QString::fromLatin1(name)))
        button->setText(caption);
}

} // namespace

QStringList englishTable(const QString &helpFolder) { return buildTable(true, helpFolder); }
QStringList toolTipTable(const QString &languageCode) { return tipTable(languageCode == languageEnglish()); }
QStringList chnTable(const QString &helpFolder) { return buildTable(false, helpFolder); }

QString rowKey(const QString &row)
{
    const qsizetype eq = row.indexOf(QLatin1Char('='));
    return eq < 0 ? row : row.left(eq);
}

QString captionFor(const QStringList &table, const QString &name)
{
    for (const QString &row : table) {
        const qsizetype eq = row.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (QStringView(row).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return row.mid(eq + 1);
    }
    return QString();
}

void ApplyLanguage(QWidget &window, const QString &languageCode, const QStringList &english, const QStringList &chn)
{
    if (languageCode == languageEnglish()) {
        applyTable(window, english, toolTipTable(languageEnglish()));
        setButtonCaption(window, "btcreatebat", QStringLiteral("Create Shortcut File"));
        // The designed captions, back after a switch from Chinese.
        setButtonCaption(window, "Button1", QStringLiteral("Add >"));
        setButtonCaption(window, "Button2", QStringLiteral("Add all >"));
        setButtonCaption(window, "Button3", QStringLiteral("< Remove"));
        setButtonCaption(window, "Button4", QStringLiteral("< Remove all"));
        setButtonCaption(window, "bthelp", QStringLiteral("Help"));
    }
    if (isLanguageCode(languageCode))
        setButtonCaption(window, "btcheck", checkViewCaptions(languageCode).button);
    if (languageCode == languageChinese()) {
        applyTable(window, chn, toolTipTable(languageChinese()));
        setButtonCaption(window, "btcreatebat", QStringLiteral("创建快捷方式"));
        setButtonCaption(window, "Button1", QStringLiteral("添加>"));
        setButtonCaption(window, "Button2", QStringLiteral("添加全部>"));
        setButtonCaption(window, "Button3", QStringLiteral("<去除"));
        setButtonCaption(window, "Button4", QStringLiteral("<去除全部"));
        setButtonCaption(window, "bthelp", QStringLiteral("帮助"));
    }
}

QString batchWindowOptionCaption(const QString &control)
{
    for (const auto &row : kBatchWindowOptions)
        if (control == QLatin1String(row.control))
            return QString::fromUtf8(row.chinese);
    return QString();
}

QString completedWithErrorsCaption(const QString &languageCode)
{
    return languageCode == languageEnglish() ? QStringLiteral("Conversion completed with errors: see the summary above.")
                                             : QStringLiteral("转换已完成，但有错误：请查看上面的汇总。");
}

RunViewCaptions runViewCaptions(const QString &languageCode)
{
    RunViewCaptions c;
    if (languageCode == languageEnglish()) {
        c.resultsTab = QStringLiteral("Results");
        c.logTab = QStringLiteral("Log");
        c.tablesProgress = QStringLiteral("Tables: %1 of %2 done");
        c.rowsProgress = QStringLiteral("%1: %2 of about %3 rows");
        c.rowsNoEstimate = QStringLiteral("%1: %2 rows");
        c.rowsPerSecond = QStringLiteral("%1 rows/s");
        c.allTablesDone = QStringLiteral("All tables done");
        c.headers = QStringList{QString(), QStringLiteral("MySQL table"), QStringLiteral("Oracle table"),
                                QStringLiteral("Rows"), QStringLiteral("Rejected"), QStringLiteral("Verified"),
                                QStringLiteral("Seconds")};
        c.rejectedTip = QStringLiteral("Rejected values / rejected rows");
        c.statusOk = QStringLiteral("Converted");
        c.statusSkipped = QStringLiteral("Skipped: the table exists");
        c.statusRejected = QStringLiteral("Converted with rejected values or rows");
        c.statusFailed = QStringLiteral("Failed");
        c.verifiedEqual = QStringLiteral("equal");
        c.verifiedDiffers = QStringLiteral("differs");
        c.notVerified = QStringLiteral("no");
        c.errorRowTip = QStringLiteral("Double-click to see this table's log lines");
        c.timeRemaining = QStringLiteral("about %1 left");
        c.statusStopped = QStringLiteral("stopped");
        c.statusNotStarted = QStringLiteral("not started");
        c.stoppedAt = QStringLiteral("Stopped in %1: tables %2 of %3 done");
        c.stoppedBefore = QStringLiteral("Stopped before %1: tables %2 of %3 done");
        c.stoppedAfter = QStringLiteral("Stopped after the last table: tables %2 of %3 done");
        c.rowsKept = QStringLiteral("%1: %2 rows kept in Oracle");
        c.statusHeader = QStringLiteral("Status");
        c.rejectionLine = QStringLiteral("%1: %2, row %3: %4");
        c.moreRejections = QStringLiteral("... and %1 more in the ledger");
        c.openFolder = QStringLiteral("Open folder");
        c.openFolderTip = QStringLiteral("Open the folder of the log, ledger and report:\n%1");
    } else {
        c.resultsTab = QStringLiteral("结果");
        c.logTab = QStringLiteral("日志");
        c.tablesProgress = QStringLiteral("表: 已完成 %1 / %2");
        c.rowsProgress = QStringLiteral("%1: 已复制 %2 行，约 %3 行");
        c.rowsNoEstimate = QStringLiteral("%1: 已复制 %2 行");
        c.rowsPerSecond = QStringLiteral("%1 行/秒");
        c.allTablesDone = QStringLiteral("所有表已完成");
        c.headers = QStringList{QString(), QStringLiteral("MySQL 表"), QStringLiteral("Oracle 表"),
                                QStringLiteral("行数"), QStringLiteral("拒绝"), QStringLiteral("校验"),
                                QStringLiteral("秒")};
        c.rejectedTip = QStringLiteral("被拒绝的值 / 被拒绝的行");
        c.statusOk = QStringLiteral("已转换");
        c.statusSkipped = QStringLiteral("已跳过: 表已存在");
        c.statusRejected = QStringLiteral("已转换，有被拒绝的值或行");
        c.statusFailed = QStringLiteral("失败");
        c.verifiedEqual = QStringLiteral("一致");
        c.verifiedDiffers = QStringLiteral("不一致");
        c.notVerified = QStringLiteral("未校验");
        c.errorRowTip = QStringLiteral("双击查看此表的日志");
        c.timeRemaining = QStringLiteral("剩余约 %1");
        c.statusStopped = QStringLiteral("已停止");
        c.statusNotStarted = QStringLiteral("未开始");
        c.stoppedAt = QStringLiteral("在 %1 停止: 表已完成 %2 / %3");
        c.stoppedBefore = QStringLiteral("在 %1 之前停止: 表已完成 %2 / %3");
        c.stoppedAfter = QStringLiteral("在最后一个表之后停止: 表已完成 %2 / %3");
        c.rowsKept = QStringLiteral("%1: Oracle 中保留 %2 行");
        c.statusHeader = QStringLiteral("状态");
        c.rejectionLine = QStringLiteral("%1: %2, 第 %3 行: %4");
        c.moreRejections = QStringLiteral("... 记录文件中还有 %1 条");
        c.openFolder = QStringLiteral("打开文件夹");
        c.openFolderTip = QStringLiteral("打开日志、记录和报告所在的文件夹:\n%1");
    }
    return c;
}

CheckViewCaptions checkViewCaptions(const QString &languageCode)
{
    CheckViewCaptions c;
    c.report.languageCode = languageCode == languageEnglish() ? languageEnglish() : languageChinese();
    if (languageCode == languageEnglish()) {
        c.button = QStringLiteral("Check");
        c.windowTitle = QStringLiteral("Check before converting");
        c.save = QStringLiteral("Save...");
        c.saveTitle = QStringLiteral("Save the check");
        c.running = QStringLiteral("Checking %1...");
        c.summary = QStringLiteral("%1 tables, %2 to look at; the run would take about %3 s");
        c.headers = QStringList{QString(), QStringLiteral("MySQL table"), QStringLiteral("Oracle table"),
                                QStringLiteral("Action"), QStringLiteral("Rows"), QStringLiteral("Values"),
                                QStringLiteral("Rows rejected"), QStringLiteral("Refused")};
        c.detailsTip = QStringLiteral("Double-click to see what the run would do with this table");
        return c;
    }
    c.button = QStringLiteral("检查");
    c.windowTitle = QStringLiteral("转换前检查");
    c.save = QStringLiteral("保存...");
    c.saveTitle = QStringLiteral("保存检查结果");
    c.running = QStringLiteral("正在检查 %1...");
    c.summary = QStringLiteral("%1 个表，%2 个需要注意；转换约需 %3 秒");
    c.headers = QStringList{QString(), QStringLiteral("MySQL 表"), QStringLiteral("Oracle 表"), QStringLiteral("操作"),
                            QStringLiteral("行数"), QStringLiteral("值"), QStringLiteral("被拒绝的行"),
                            QStringLiteral("被拒绝的语句")};
    c.detailsTip = QStringLiteral("双击查看转换将如何处理此表");
    CheckCaptions &r = c.report;
    r.title = QStringLiteral("转换前检查");
    r.settings = QStringLiteral("设置文件");
    r.mapping = QStringLiteral("映射");
    r.plainMapping = QStringLiteral("普通");
    r.keptDetails = QStringLiteral("保留列的细节");
    r.checked = QStringLiteral("检查时间");
    r.status = QStringLiteral("状态");
    r.table = QStringLiteral("MySQL 表");
    r.target = QStringLiteral("Oracle 表");
    r.action = QStringLiteral("操作");
    r.rows = QStringLiteral("行数");
    r.bytes = QStringLiteral("字节");
    r.values = QStringLiteral("将被改变或拒绝的值");
    r.rowsRejected = QStringLiteral("被拒绝的行");
    r.refused = QStringLiteral("被拒绝的语句");
    r.statements = QStringLiteral("语句");
    r.column = QStringLiteral("列");
    r.wholeRow = QStringLiteral("(整行)");
    r.reason = QStringLiteral("原因");
    r.count = QStringLiteral("数量");
    r.examples = QStringLiteral("示例 (行: 值)");
    r.errors = QStringLiteral("错误");
    r.log = QStringLiteral("转换日志");
    r.estimate = QStringLiteral("估计");
    r.time = QStringLiteral("转换时间");
    r.space = QStringLiteral("行在 Oracle 中占用的空间");
    r.readSpeed = QStringLiteral("检查测得的读取速度: %1 行/秒");
    r.writeFromReport = QStringLiteral("上次转换到此目标的写入速度 (%1): %2 行/秒");
    r.writeFromBenchmark = QStringLiteral("基准测试的写入速度 (此前没有转换到此目标): %1 行/秒");
    r.existing = QStringLiteral("Oracle 表已存在，有 %1 行");
    r.ok = QStringLiteral("按原样复制");
    r.attention = QStringLiteral("将被拒绝、改变或失败");
    r.noTables = QStringLiteral("没有选择表。");
    r.runErrors = QStringLiteral("转换的错误");
    r.actionCreate = QStringLiteral("创建");
    r.actionDropCreate = QStringLiteral("删除后创建");
    r.actionMerge = QStringLiteral("合并");
    r.actionSkip = QStringLiteral("跳过");
    r.actionFail = QStringLiteral("失败");
    return c;
}

} // namespace tavrex
