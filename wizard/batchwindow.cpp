#include "wizard/batchwindow.h"

#include "engine/core/errors.h"
#include "engine/core/prompts.h"
#include "engine/core/runlog.h"
#include "settings/launcher.h"
#include "wizard/captions.h"
#include "wizard/mainwindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QRadioButton>

namespace tavrex {

namespace {

QLabel *label(QWidget *parent, const char *name, const QString &caption, int x, int y, int w = 110)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(x, y, w, 16);
    return l;
}

QLineEdit *readOnlyBox(QWidget *parent, const char *name, int x, int y, int w)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setReadOnly(true);
    e->setGeometry(x, y, w, 21);
    return e;
}

QCheckBox *option(QWidget *parent, const char *name, const QString &caption, int x, int y, int w)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(QLatin1String(name));
    c->setGeometry(x, y, w, 18);
    return c;
}

} // namespace

QString recordingMessage(const QString &shortcut, const QString &settingsFile, const QString &logFile)
{
    const QChar q(QLatin1Char('"'));
    return QStringLiteral("已经成功创建快捷方式文件") + q + shortcut + q + QStringLiteral("。") + QLatin1Char('\r') +
           QStringLiteral("成功创建设置文件") + q + settingsFile + q + QStringLiteral("。") + QLatin1Char('\r') +
           QStringLiteral("在以快捷方式导入数据后,你可以参看Log文件") + q + logFile + q + QLatin1Char('.');
}

Tmarfrm_bat::Tmarfrm_bat(Prompts &prompts, QWidget *parent) : QDialog(parent), prompts_(prompts)
{
    setObjectName(QStringLiteral("marfrm_bat"));
    setFixedSize(631, 329);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    setWindowTitle(QStringLiteral("创建快捷方式"));

    gpmysql_ = new QGroupBox(QStringLiteral("连接Mysql"), this);
    gpmysql_->setObjectName(QStringLiteral("gpmysql"));
    gpmysql_->setGeometry(8, 8, 300, 150);
    label(gpmysql_, "Label10", QStringLiteral("IP或网络名"), 10, 22);
    edtmysqlip_ = readOnlyBox(gpmysql_, "edtmysqlip", 125, 20, 165);
    label(gpmysql_, "Label11", QStringLiteral("Mysql Port"), 10, 47);
    edtmysqlport_ = readOnlyBox(gpmysql_, "edtmysqlport", 125, 45, 165);
    label(gpmysql_, "Label12", QStringLiteral("Mysql Database"), 10, 72);
    edtmysqldatabase_ = readOnlyBox(gpmysql_, "edtmysqldatabase", 125, 70, 165);
    label(gpmysql_, "Label13", QStringLiteral("Mysql用户名"), 10, 97);
    edtmysqlusername_ = readOnlyBox(gpmysql_, "edtmysqlusername", 125, 95, 165);
    label(gpmysql_, "Label14", QStringLiteral("Mysql密码"), 10, 122);
    edtmysqlpassword_ = readOnlyBox(gpmysql_, "edtmysqlpassword", 125, 120, 165);

    GroupBox1_ = new QGroupBox(QStringLiteral("连接Orcle"), this);
    GroupBox1_->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1_->setGeometry(316, 8, 306, 150);
    label(GroupBox1_, "Label1", QStringLiteral("Oracle服务名"), 10, 22);
    edtoracleservice_ = readOnlyBox(GroupBox1_, "edtoracleservice", 135, 20, 160);
    label(GroupBox1_, "Label2", QStringLiteral("Oracle用户名"), 10, 47);
    edtoracleusername_ = readOnlyBox(GroupBox1_, "edtoracleusername", 135, 45, 160);
    label(GroupBox1_, "Label3", QStringLiteral("Oracle密码"), 10, 72);
    edtoraclepassword_ = readOnlyBox(GroupBox1_, "edtoraclepassword", 135, 70, 160);
    label(GroupBox1_, "Label4", QStringLiteral("如何处理已存在的表"), 10, 97, 125);
    edtoracleexits_ = readOnlyBox(GroupBox1_, "edtoracleexits", 135, 95, 160);
    label(GroupBox1_, "Label5", QStringLiteral("字符集"), 10, 122);
    edtcharset_ = readOnlyBox(GroupBox1_, "edtcharset", 135, 120, 160);

    GroupBox2_ = new QGroupBox(QStringLiteral("转换方式"), this);
    GroupBox2_->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2_->setGeometry(8, 164, 300, 120);
    // Two columns: the four options of the first design on the left, the
    // later ones on the right (closer together, so that they fit); a number
    // shows its label and a spin box.
    for (int i = 0; i < kCheckOptionCount; ++i) {
        const char *name = kCheckOptions[i].control;
        const QString caption = batchWindowOptionCaption(QLatin1String(name));
        if (isNumberOption(kCheckOptions[i])) {
            const int top = 18 + 20 * (i - 4);
            label(GroupBox2_, (QByteArrayLiteral("lbl") + name).constData(), caption, 140, top + 2, 100);
            optionSpins_[i] = new QSpinBox(GroupBox2_);
            optionSpins_[i]->setObjectName(QLatin1String(name));
            optionSpins_[i]->setGeometry(245, top, 50, 18);
            optionSpins_[i]->setRange(kCheckOptions[i].minimum, kCheckOptions[i].maximum);
            optionSpins_[i]->setValue(numberDefault(kCheckOptions[i]));
            continue;
        }
        optionBoxes_[i] = i < 4 ? option(GroupBox2_, name, caption, 10, 22 + 24 * i, 125)
                            : option(GroupBox2_, name, caption, 140, 18 + 20 * (i - 4), 155);
    }

    rgselecttable_ = new QGroupBox(QStringLiteral("要转换的表"), this);
    rgselecttable_->setObjectName(QStringLiteral("rgselecttable"));
    rgselecttable_->setGeometry(316, 164, 306, 120);
    tableChoice_ = new QButtonGroup(this);
    auto *some = new QRadioButton(QStringLiteral("部分表"), rgselecttable_);
    some->setGeometry(10, 20, 90, 18);
    auto *all = new QRadioButton(QStringLiteral("全部表"), rgselecttable_);
    all->setGeometry(10, 44, 90, 18);
    tableChoice_->addButton(some, 0);
    tableChoice_->addButton(all, 1);
    all->setChecked(true);
    mysqltableselect_ = new QListWidget(rgselecttable_);
    mysqltableselect_->setObjectName(QStringLiteral("mysqltableselect"));
    mysqltableselect_->setGeometry(110, 18, 186, 94);
    bttableselect_ = new QPushButton(QStringLiteral("重新选择"), rgselecttable_);
    bttableselect_->setObjectName(QStringLiteral("bttableselect"));
    bttableselect_->setGeometry(10, 80, 90, 25);

    Button1_ = new QPushButton(QStringLiteral("创建快捷方式"), this);
    Button1_->setObjectName(QStringLiteral("Button1"));
    Button1_->setGeometry(500, 294, 122, 27);

    connect(tableChoice_, &QButtonGroup::idClicked, this, [this](int) { rgselecttableClick(); });
    connect(bttableselect_, &QPushButton::clicked, this, [this] { bttableselectClick(); });
    connect(Button1_, &QPushButton::clicked, this, [this] {
        try {
            Button1Click();
        } catch (const std::exception &e) {
            if (errorHandler_)
                errorHandler_(e);
            else
                prompts_.error(applicationTitle(), errorMessage(e));
        }
    });
    rgselecttableClick();
}

void Tmarfrm_bat::fill(const BatchWindowInput &in)
{
    edtmysqlip_->setText(in.mysqlHost);
    edtmysqlport_->setText(in.port);
    edtmysqldatabase_->setText(in.database);
    database_ = in.database;
    edtmysqlusername_->setText(in.mysqlUser);
    edtmysqlpassword_->setText(in.mysqlPassword);
    edtoracleservice_->setText(in.oracleService);
    edtoracleusername_->setText(in.oracleUser);
    edtoraclepassword_->setText(in.oraclePassword);
    edtoracleexits_->setText(in.policyCaption);
    edtcharset_->setText(in.characterSet);
    for (int i = 0; i < kCheckOptionCount; ++i) {
        if (optionSpins_[i])
            optionSpins_[i]->setValue(in.options.*kCheckOptions[i].number);
        else
            optionBoxes_[i]->setChecked(in.options.*kCheckOptions[i].setting);
    }
    mysqltableselect_->clear();
    mysqltableselect_->addItems(in.selectedTables);
}

void Tmarfrm_bat::rgselecttableClick()
{
    const bool listShown = tableChoice_->checkedId() != 1;
    mysqltableselect_->setVisible(listShown);
    bttableselect_->setVisible(listShown);
}

void Tmarfrm_bat::bttableselectClick()
{
    prompts_.information(applicationTitle(),
                         QStringLiteral("现在将返回到上一个界面,当你选择好要导入的表后,请点击\"创建快捷方式\"按钮,重新进入这个界面"));
    reject();
}

BatchRecording Tmarfrm_bat::recording() const
{
    BatchRecording r;
    const BatchMainValues main = mainValues_ ? mainValues_() : BatchMainValues{};
    r.accessmode = main.accessmode;
    r.host = main.host;
    r.processtable = main.processtable;
    r.mysqldatabase = edtmysqldatabase_->text();
    r.port = edtmysqlport_->text();
    r.mysqlUser = edtmysqlusername_->text();
    r.mysqlPassword = edtmysqlpassword_->text();
    r.oracleService = edtoracleservice_->text();
    r.oracleUser = edtoracleusername_->text();
    r.oraclePassword = edtoraclepassword_->text();
    r.characterSet = edtcharset_->text();
    for (int i = 0; i < kCheckOptionCount; ++i) {
        if (optionSpins_[i])
            r.options.*kCheckOptions[i].number = optionSpins_[i]->value();
        else
            r.options.*kCheckOptions[i].setting = optionBoxes_[i]->isChecked();
    }
    r.allTables = tableChoice_->checkedId() == 1;
    for (int i = 0; i < mysqltableselect_->count(); ++i)
        r.tables.append(mysqltableselect_->item(i)->text());
    return r;
}

QString Tmarfrm_bat::chooseFileWithDialog()
{
    const QString ext = launcherExtension();
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(ext + QStringLiteral(" (*.") + ext + QLatin1Char(')'));
    dialog.setDefaultSuffix(ext);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

void Tmarfrm_bat::Button1Click()
{
    const QString shortcut = chooseFile_ ? chooseFile_() : chooseFileWithDialog();
    if (shortcut.isEmpty())
        return;
    // The launcher always carries its own extension, so that a name typed as
    // "job.qelt" or "job.log" cannot make it overwrite the settings file or
    // be overwritten by the replay's log.
    QString absoluteShortcut = QFileInfo(shortcut).absoluteFilePath();
    if (QFileInfo(absoluteShortcut).suffix().compare(launcherExtension(), Qt::CaseInsensitive) != 0)
        absoluteShortcut += QLatin1Char('.') + launcherExtension();
    const QString settingsFile = replaceExtension(absoluteShortcut, QStringLiteral(".qelt"));
    const QString logFile = replaceExtension(absoluteShortcut, QStringLiteral(".log"));
    writeBatchFile(settingsFile, batchFileLines(recording()));
    const QString program = programPath_.isEmpty() ? launcherProgram(runningProgram()) : programPath_;
    CreateShortcut(program, settingsFile, absoluteShortcut);
    prompts_.information(applicationTitle(), recordingMessage(absoluteShortcut, settingsFile, logFile));
    accept();
}

} // namespace tavrex
