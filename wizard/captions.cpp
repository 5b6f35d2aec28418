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
    {"chktabledefi", "Convert table definitions only", "只转换表定义(不导入数据)"},
    {"chkskipindex", "Skip converting indexes", "选中则不处理索引"},
    {"chkuppercase", "Make names uppercase", "名称转换为大写"},
    {"chkblobtotext", "Convert BLOB to text", "转换BLOB为TEXT类型"},
    {"helpurl", nullptr, nullptr},
    {"queryclose", "Close this Wizard ?", "退出向导 ?"},
    // Rows added after the first design: the later options of page 4 (in the
    // order of kCheckOptions) and the language link of page 1, which names
    // the other language.
    {"chkrejectrows", "Continue past rejected rows", "跳过被拒绝的行继续复制"},
    {"chkverify", "Verify copied data", "校验复制的数据"},
    {"chkkeepdetails", "Keep column details", "保留列的属性"},
    {"chkresume", "Resumable conversion", "可续传的转换"},
    {"lblspnparallel", "Tables at once", "同时转换的表数"},
    {"lnklanguage", "中文", "English"},
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

void applyTable(QWidget &window, const QStringList &table)
{
    for (QWidget *widget : window.findChildren<QWidget *>()) {
        if (!isWindowControl(widget))
            continue;
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
        applyTable(window, english);
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
        applyTable(window, chn);
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
